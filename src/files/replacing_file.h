#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

// A file that takes its target's place in one step. It is written beside the
// target under a temporary name, flushed to disk by commit() and only then
// renamed over the target, so a failure at any point leaves the target as it
// was (or absent) and removes the temporary file; one that ends uncommitted
// removes it too. A replaced file keeps its permissions, and its owner and
// group where the process may give them (root saving over another user's file);
// a private one is the user's alone (0600), new or replaced.
//
// The target is named as native_names names files, so a folder or a name that
// is not valid UTF-8 is written under its exact bytes. Only a regular file is
// replaced: open() refuses an empty path, a folder, a device, a FIFO, a
// dangling link, any link under Links::Refuse, and a read-only file (one with
// no write permission at all is read-only for the superuser too). A link to a
// regular file is otherwise followed: the file it points to is replaced.
class ReplacingFile : public QIODevice {
public:
    enum class Links { Follow, Refuse };
    enum class Access { AsBefore, Private };

    explicit ReplacingFile(const QString& target, Links links = Links::Follow, Access access = Access::AsBefore);
    ~ReplacingFile() override;

    // Creates the temporary file; only QIODevice::WriteOnly is accepted.
    bool open(OpenMode mode) override;
    // Flushes the written bytes to disk and renames them over the target.
    bool commit();

    // Removes the temporary files a write of `target` left when its process was
    // killed: regular files of this user named as the temporary names are, not
    // written to for a minute (a write under way keeps its file fresh).
    static void removeLeftovers(const QString& target);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool createTemporary();
    bool takeOverAccess();
    void discard();

    QString target_;
    Links links_;
    Access access_;
    QByteArray resolved_;  // the target's bytes, links followed
    QByteArray temporary_; // empty once renamed or removed
    int fd_ = -1;
    bool writeFailed_ = false;
};
