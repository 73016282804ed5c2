#include "runtime/private_folder.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtGlobal>

namespace private_folder {
namespace {

QString errorText() { return QString::fromLocal8Bit(std::strerror(errno)); }

QString problemOf(const struct stat& info, Kind kind)
{
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("it is a symbolic link");
    const bool rightKind = kind == Kind::Folder ? S_ISDIR(info.st_mode)
                           : kind == Kind::File ? S_ISREG(info.st_mode)
                                                : S_ISSOCK(info.st_mode);
    if (!rightKind)
        return QStringLiteral("it is not a %1")
            .arg(kind == Kind::Folder ? "folder" : kind == Kind::File ? "regular file" : "socket");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("it belongs to user %1").arg(info.st_uid);
    if (info.st_mode & 077)
        return QStringLiteral("it is open to other users (mode %1)").arg(info.st_mode & 07777, 0, 8);
    return {};
}

} // namespace

QString problem(const QString& path, Kind kind)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errorText();
    return problemOf(info, kind);
}

QString problem(int descriptor, Kind kind)
{
    struct stat info {};
    if (::fstat(descriptor, &info) != 0)
        return errorText();
    return problemOf(info, kind);
}

QString made(const QString& path)
{
    // An existing one is checked like a new one: mkdir never changes what is there.
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST) {
        qWarning("kiriview: cannot make %s: %s", qPrintable(path), qPrintable(errorText()));
        return {};
    }
    if (const QString why = problem(path); !why.isEmpty()) {
        qWarning("kiriview: %s is not used: %s", qPrintable(path), qPrintable(why));
        return {};
    }
    return path;
}

} // namespace private_folder
