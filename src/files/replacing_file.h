#pragma once

#include <optional>

#include <QByteArray>
#include <QIODevice>
#include <QString>

// A file that takes its target's place in one step. It is written as an
// unnamed file in the target's folder (O_TMPFILE), given a temporary name by
// commit() once complete and flushed, and renamed over the target at once; a
// file system without unnamed files gets a named temporary file instead. A
// failure at any point leaves the target as it was (or absent) and removes the
// temporary file; one that ends uncommitted removes it too. A replaced file
// keeps its permissions, and its owner and group where the process may give
// them (root saving over another user's file); a private one is the user's
// alone (0600), new or replaced.
//
// The target is named as native_names names files, so a folder or a name that
// is not valid UTF-8 is written under its exact bytes. Only a regular file is
// replaced: open() refuses an empty path, a folder, a device, a FIFO, a
// dangling link, any link under Links::Refuse, and a read-only file (one with
// no write permission at all is read-only for the superuser too). A link is
// otherwise followed, hop by hop, only when it belongs to this user or to root:
// a link another user planted (in a folder anyone may write to) is refused, as
// the kernel refuses such links in sticky folders. The folder found is held
// from the check to the rename, and the rename replaces the name there, never
// what a link put in its place meanwhile points to.
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

    // The file a write of `target` makes or replaces: `target` itself, or, when
    // it is a link the write follows, the path of the file at its end. Nothing
    // when such a write is refused.
    static std::optional<QString> destination(const QString& target, Links links = Links::Follow);

    // Removes the named temporary files of this user's writes whose process
    // ended (was killed) before it could remove them. Only files proven to be
    // such are removed: each is recorded, when it is named, in the program's
    // private folder (App::privateFolder()) with its folder, name, device and
    // inode, and goes only while all of them still match, it is a regular file
    // of the owner it was given, and it has not been written to for a minute.
    static void removeLeftovers();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool createTemporary();
    bool takeOverAccess();
    bool nameTemporary();
    void discard();

    QString target_;
    Links links_;
    Access access_;
    int folder_ = -1;      // the target's folder, links followed, held open
    QByteArray name_;      // the target's name in it
    QByteArray path_;      // the target as given, or the file at the end of its links
    QByteArray temporary_; // the temporary file's name in it; empty while unnamed, renamed or removed
    QByteArray record_;    // the record of the named temporary file, if one was made
    int fd_ = -1;
    bool unnamed_ = false;
    bool writeFailed_ = false;
};
