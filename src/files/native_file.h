#pragma once

#include <QString>
#include <QtGlobal>

// An open, read-only handle on a regular file. Opening never blocks (a FIFO
// named like a picture is refused, not waited on) and throws RunTimeError:
// 53 missing, 75 not a regular file or no permission, 7 out of memory,
// 57 read error.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Gives the descriptor away (the caller closes it).
    int release();
    int descriptor() const { return fd_; }
    qint64 size() const { return size_; }
    // Reads up to maxSize bytes from the given offset without moving the file position.
    QByteArray peek(qint64 offset, qint64 maxSize) const;

private:
    int fd_ = -1;
    qint64 size_ = 0;
};

// The run-time error number for an errno value of a file operation.
int runTimeErrorForErrno(int error);
// Throws the run-time error for an errno value.
[[noreturn]] void throwForErrno(int error, const QString& path);
