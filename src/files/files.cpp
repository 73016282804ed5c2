#include "files/files.h"

#include <cerrno>

#include <QtGlobal>

#include <sys/stat.h>
#include <unistd.h>

#include "files/native_file.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/');
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

std::optional<qint64> FileLenIfAny(const QString& path)
{
    try {
        return FileLen(path);
    } catch (const RunTimeError& error) {
        if (error.number() == RunTimeError::FileNotFound)
            return std::nullopt;
        throw;
    }
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

QString Dir(const QString& path, DirEntries entries)
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
    if (S_ISDIR(info.st_mode) && entries == DirEntries::Files)
        return {};
    return lastComponent(literal);
}

