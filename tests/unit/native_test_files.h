#pragma once

// File helpers for tests of the file functions: writing under any native
// name, and running a step without root's right to read everything.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>

#include "platform/native_names.h"

namespace native_test_files {

// Writes the bytes to the path (a native name, may be invalid UTF-8).
inline bool writeFile(const QByteArray& nativePath, const QByteArray& bytes)
{
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    return writeFile(native_names::encode(path), bytes);
}

inline bool exists(const QString& path)
{
    struct stat info {};
    return ::lstat(native_names::encode(path).constData(), &info) == 0;
}

// While alive, the process acts as an ordinary user ("nobody") when it runs
// as root, since root may read and delete any file; as an ordinary user it
// changes nothing. active() is false when the switch was refused.
class Unprivileged {
public:
    Unprivileged()
    {
        if (::geteuid() == 0)
            switched_ = ::seteuid(65534) == 0;
        active_ = ::geteuid() != 0;
    }
    ~Unprivileged()
    {
        if (switched_)
            (void)::seteuid(0);
    }
    Unprivileged(const Unprivileged&) = delete;
    Unprivileged& operator=(const Unprivileged&) = delete;
    bool active() const { return active_; }

private:
    bool switched_ = false;
    bool active_ = false;
};

} // namespace native_test_files
