#include "files/stand_in_folder.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/native_names.h"
#include "files/paths.h"

namespace {

// What Qt makes of the name: invalid bytes become U+FFFD.
QString asQtHoldsIt(const QString& name) { return QString::fromUtf8(native_names::encode(name)); }

bool qtHolds(const QString& name) { return asQtHoldsIt(name) == name; }

const QString namePrefix = QStringLiteral("kiriview-");

bool running(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// Written into each stand-in as it is made, naming that very folder (device and
// inode), so the sweep tells it from any folder a person named alike or copied.
const char markName[] = ".kiriview-stand-in";

QByteArray markFor(const struct stat& folder)
{
    return "kiriview stand-in " + QByteArray::number(quint64(folder.st_dev)) + ' '
           + QByteArray::number(quint64(folder.st_ino)) + '\n';
}

bool markFolder(const QByteArray& path)
{
    const int folder = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (folder < 0 || ::fstat(folder, &info) != 0) {
        if (folder >= 0)
            ::close(folder);
        return false;
    }
    const QByteArray mark = markFor(info);
    const int fd = ::openat(folder, markName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool written = fd >= 0 && ::write(fd, mark.constData(), size_t(mark.size())) == mark.size();
    if (fd >= 0)
        ::close(fd);
    ::close(folder);
    return written;
}

bool carriesItsMark(int folder, const struct stat& info)
{
    const int fd = ::openat(folder, markName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat file {};
    char contents[128] = {};
    const bool regular = ::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && file.st_uid == ::geteuid();
    const ssize_t length = regular ? ::read(fd, contents, sizeof contents) : -1;
    ::close(fd);
    return length > 0 && QByteArray(contents, length) == markFor(info);
}

// Removes a stand-in only as the program leaves one: this user's private folder
// bearing its own mark and otherwise only this user's links. Anything else in it
// means a person made or used it, and it stays whole. unlinkat() never follows a link.
void removeStandIn(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat info {};
    DIR* folder = ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0
                          && carriesItsMark(fd, info)
                      ? ::fdopendir(fd)
                      : nullptr;
    if (!folder) {
        ::close(fd);
        return;
    }
    QList<QByteArray> links;
    bool onlyLinks = true;
    while (const dirent* entry = ::readdir(folder)) {
        const QByteArray entryName(entry->d_name);
        if (entryName == "." || entryName == ".." || entryName == markName)
            continue;
        struct stat inner {};
        onlyLinks = onlyLinks && ::fstatat(fd, entry->d_name, &inner, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISLNK(inner.st_mode) && inner.st_uid == ::geteuid();
        links << entryName;
    }
    if (onlyLinks) {
        for (const QByteArray& link : links)
            ::unlinkat(fd, link.constData(), 0);
        ::unlinkat(fd, markName, 0);
        ::unlinkat(parent, name, AT_REMOVEDIR);
    }
    ::closedir(folder);
}

} // namespace

StandInFolder::StandInFolder(const QString& path)
    : path_(path)
    , shown_(path)
{
    if (qtHolds(path))
        return;
    const bool isFolder = native_names::kindOf(path) == native_names::EntryKind::Folders;
    QString name;
    folder_ = path;
    if (!isFolder && path.contains(QLatin1Char('/'))) {
        folder_ = folderOf(path);
        name = nameOf(path);
    }
    shown_ = asQtHoldsIt(path);
    if (qtHolds(folder_)) {
        shown_ = fullPath(folder_, asQtHoldsIt(name));
        folder_.clear();
        return;
    }
    // The link is named like the folder as Qt shows it, so the dialog shows a familiar name.
    QByteArray privateFolder = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + namePrefix
                                                 + QString::number(::getpid()) + QStringLiteral("-XXXXXX"));
    if (!::mkdtemp(privateFolder.data()))
        return;
    privateFolder_ = privateFolder;
    if (!markFolder(privateFolder_))
        return;
    QString linkName = asQtHoldsIt(nameOf(folder_));
    if (linkName.isEmpty())
        linkName = QStringLiteral("folder");
    const QString link = QFile::decodeName(privateFolder_) + QLatin1Char('/') + linkName;
    if (::symlink(native_names::encode(folder_).constData(), QFile::encodeName(link).constData()) != 0)
        return;
    link_ = link;
    shown_ = name.isEmpty() ? link_ : link_ + QLatin1Char('/') + asQtHoldsIt(name);
}

StandInFolder::~StandInFolder()
{
    if (!link_.isEmpty())
        ::unlink(QFile::encodeName(link_).constData());
    if (!privateFolder_.isEmpty()) {
        ::unlink((privateFolder_ + '/' + markName).constData());
        ::rmdir(privateFolder_.constData());
    }
}

void StandInFolder::removeStale()
{
    static const QRegularExpression standIn(QStringLiteral("^kiriview-([0-9]+)-[A-Za-z0-9]{6}$"));
    const int parent = ::open(QFile::encodeName(QDir::tempPath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return;
    DIR* temporary = ::fdopendir(::dup(parent));
    if (!temporary) {
        ::close(parent);
        return;
    }
    while (const dirent* entry = ::readdir(temporary)) {
        const QRegularExpressionMatch match = standIn.match(QString::fromLatin1(entry->d_name));
        bool valid = false;
        const pid_t pid = match.hasMatch() ? match.captured(1).toInt(&valid) : 0;
        if (!valid || pid <= 0 || running(pid))
            continue;
        struct stat info {};
        if (::fstatat(parent, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)
            && info.st_uid == ::geteuid())
            removeStandIn(parent, entry->d_name);
    }
    ::closedir(temporary);
    ::close(parent);
}

QString StandInFolder::restore(const QString& chosen) const
{
    if (chosen == shown_)
        return path_; // the proposed name, even where Qt could not hold it
    if (!link_.isEmpty() && chosen.startsWith(link_ + QLatin1Char('/')))
        return folder_ + chosen.mid(link_.size());
    if (!link_.isEmpty() && chosen == link_)
        return folder_;
    return chosen;
}
