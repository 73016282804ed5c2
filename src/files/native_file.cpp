#include "files/native_file.h"

#include <cerrno>

#include <QtGlobal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/native_names.h"
#include "runtime/run_time_error.h"

int runTimeErrorForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return RunTimeError::FileNotFound;
    case ENOMEM:
        return RunTimeError::OutOfMemory;
    case EIO:
        return RunTimeError::DeviceIO;
    case ENXIO:
    case ENODEV:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
#ifdef ESTALE
    case ESTALE:
#endif
        return RunTimeError::DeviceUnavailable;
    default:
        return RunTimeError::PathFileAccess;
    }
}

void throwForErrno(int error, const QString& path)
{
    const int number = runTimeErrorForErrno(error);
    throw RunTimeError(number, "run-time error " + std::to_string(number) + ": " + path.toStdString());
}

ReadOnlyFile::ReadOnlyFile(const QString& path)
{
    // O_NONBLOCK keeps a FIFO or device from blocking the open; it does not
    // change reads of regular files, the only kind accepted.
    fd_ = ::open(native_names::encode(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        throwForErrno(errno, path);
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        const int error = errno;
        ::close(fd_);
        throwForErrno(error, path);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw RunTimeError(RunTimeError::PathFileAccess, "not a regular file: " + path.toStdString());
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = info.st_size;
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QByteArray ReadOnlyFile::peek(qint64 offset, qint64 maxSize) const
{
    QByteArray bytes(maxSize, Qt::Uninitialized);
    qint64 done = 0;
    while (done < maxSize) {
        const ssize_t got = ::pread(fd_, bytes.data() + done, size_t(maxSize - done), off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throwForErrno(errno, QString());
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

int ReadOnlyFile::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}
