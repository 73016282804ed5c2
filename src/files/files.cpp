#include "files/files.h"

#include <cerrno>

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QDir>
#include <QFile>
#include <QFileInfo>
#endif

#include "files/native_file.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"

namespace {

bool isSeparator(QChar c)
{
#ifdef Q_OS_UNIX
    return c == QLatin1Char('/');
#else
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
#endif
}

// The path without trailing separators; the root stays as it is.
QString withoutTrailingSeparators(QString path)
{
    while (path.size() > 1 && isSeparator(path.back()))
        path.chop(1);
    return path;
}

QString lastComponent(const QString& path)
{
    qsizetype start = path.size();
    while (start > 0 && !isSeparator(path.at(start - 1)))
        --start;
    return path.mid(start);
}

} // namespace

#ifdef Q_OS_UNIX

namespace {

struct stat statOrThrow(const QString& path)
{
    struct stat info {};
    if (::stat(native_names::encode(path).constData(), &info) != 0)
        throwForErrno(errno, path);
    return info;
}

} // namespace

qint64 FileLen(const QString& path)
{
    const struct stat info = statOrThrow(path);
    return S_ISDIR(info.st_mode) ? 0 : qint64(info.st_size);
}

QDateTime FileDateTime(const QString& path)
{
    const struct stat info = statOrThrow(path);
    return QDateTime::fromSecsSinceEpoch(qint64(info.st_mtime), Qt::LocalTime);
}

void deleteFile(const QString& path)
{
    const QByteArray native = native_names::encode(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        throwForErrno(errno, path);
    if (S_ISDIR(info.st_mode))
        throw RunTimeError(RunTimeError::FileNotFound, "a folder is not a file: " + path.toStdString());
    if (::unlink(native.constData()) != 0)
        throwForErrno(errno, path);
}

QString Dir(const QString& path, int attributes)
{
    if (path.isEmpty())
        return {};
    const QString literal = withoutTrailingSeparators(path);
    struct stat info {};
    if (::stat(native_names::encode(literal).constData(), &info) != 0) {
        const int error = errno;
        if (runTimeErrorForErrno(error) == RunTimeError::FileNotFound)
            return {};
        throwForErrno(error, path);
    }
    if (S_ISDIR(info.st_mode) && !(attributes & vbDirectory))
        return {};
    return lastComponent(literal);
}

#else

namespace {

QFileInfo existingOrThrow(const QString& path)
{
    QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        throw RunTimeError(RunTimeError::FileNotFound, "file not found: " + path.toStdString());
    return info;
}

} // namespace

qint64 FileLen(const QString& path)
{
    const QFileInfo info = existingOrThrow(path);
    return info.isDir() ? 0 : info.size();
}

QDateTime FileDateTime(const QString& path)
{
    const QDateTime modified = existingOrThrow(path).lastModified();
    return QDateTime::fromSecsSinceEpoch(modified.toSecsSinceEpoch(), Qt::LocalTime);
}

void deleteFile(const QString& path)
{
    const QFileInfo info = existingOrThrow(path);
    if (info.isDir())
        throw RunTimeError(RunTimeError::FileNotFound, "a folder is not a file: " + path.toStdString());
    if (!QFile::remove(path))
        throw RunTimeError(RunTimeError::PathFileAccess, "cannot delete: " + path.toStdString());
}

QString Dir(const QString& path, int attributes)
{
    if (path.isEmpty())
        return {};
    const QString literal = withoutTrailingSeparators(path);
    const QFileInfo info(literal);
    if (!info.exists() || (info.isDir() && !(attributes & vbDirectory)))
        return {};
    return lastComponent(literal);
}

#endif
