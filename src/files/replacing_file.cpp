#include "files/replacing_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>
#include <string>

#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/native_names.h"
#include "runtime/app.h"
#include "runtime/services.h"

namespace {

constexpr char temporaryLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int temporarySuffixLength = 6;
constexpr int maxLinks = 40; // as many as the kernel follows
const QByteArray recordMark = "kiriview temporary file";

bool injected(FileStep step, const QByteArray& target)
{
    const auto& hook = services().fileStep;
    const int error = hook ? hook(step, native_names::decode(target)) : 0;
    if (error)
        errno = error;
    return error != 0;
}

QByteArray randomSuffix()
{
    QByteArray suffix;
    for (int i = 0; i < temporarySuffixLength; ++i)
        suffix += temporaryLetters[QRandomGenerator::global()->bounded(int(sizeof temporaryLetters - 1))];
    return suffix;
}

bool isTemporaryNameOf(const QByteArray& name, const QByteArray& target)
{
    const QByteArray suffix = name.mid(target.size() + 1);
    return name.size() == target.size() + 1 + temporarySuffixLength && name.startsWith(target + '.')
           && suffix.toStdString().find_first_not_of(temporaryLetters) == std::string::npos;
}

struct Split {
    QByteArray folder, name;
};

Split split(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {".", path};
    return {slash == 0 ? QByteArray("/") : path.left(slash), path.mid(slash + 1)};
}

bool isPlainName(const QByteArray& name) { return !name.isEmpty() && name != "." && name != ".."; }

int openFolder(int at, const QByteArray& path)
{
    return ::openat(at, path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// The path of an open folder, links resolved, as the kernel keeps it; empty without /proc.
QByteArray pathOf(int folder)
{
    char buffer[PATH_MAX];
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(folder);
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer);
    return n > 0 && size_t(n) < sizeof buffer && buffer[0] == '/' ? QByteArray(buffer, n) : QByteArray();
}

QByteArray joined(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// When the file was made, where the file system keeps it (a freed inode's number
// comes back soon for a new file; its birth time does not); empty where it does not.
QByteArray birthOf(int folder, const char* name, int flags)
{
    struct statx info {};
    if (::statx(folder, name, flags | AT_SYMLINK_NOFOLLOW, STATX_BTIME, &info) != 0 || !(info.stx_mask & STATX_BTIME))
        return {};
    return QByteArray::number(qint64(info.stx_btime.tv_sec)) + '.' + QByteArray::number(info.stx_btime.tv_nsec);
}

// Where a write goes: the folder, held open, and the name in it.
struct Place {
    int folder = -1;
    QByteArray name;
    QByteArray path; // as given, or the path of the file at the end of the links followed
};

// Follows links hop by hop, each from the folder the last one lay in, so what
// is checked is what is written; a link goes on only when it is this user's or
// root's. A missing target is fine: its folder decides when the file is made.
std::optional<Place> placeOf(const QByteArray& path, ReplacingFile::Links links)
{
    Split at = split(path);
    if (!isPlainName(at.name))
        return std::nullopt;
    int folder = openFolder(AT_FDCWD, at.folder);
    bool followed = false;
    for (int hop = 0; folder >= 0 && hop <= maxLinks; ++hop) {
        struct stat info {};
        if (::fstatat(folder, at.name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            // A dangling link would create its target somewhere else.
            if (errno == ENOENT && !followed)
                return Place{folder, at.name, path};
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            // The rename would turn a device or a FIFO (or, through a link, /dev/null
            // itself) into a JPEG file. Renaming would also replace a file its owner
            // made read-only.
            if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0
                || ::faccessat(folder, at.name.constData(), W_OK, 0) != 0)
                break;
            const QByteArray there = pathOf(folder);
            return Place{folder, at.name, followed && !there.isEmpty() ? joined(there, at.name) : path};
        }
        if (links == ReplacingFile::Links::Refuse)
            break;
        if (info.st_uid != ::geteuid() && info.st_uid != 0) {
            qWarning("kiriview: %s is not written through: the link belongs to user %u", path.constData(),
                     unsigned(info.st_uid));
            break;
        }
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlinkat(folder, at.name.constData(), target.data(), target.size());
        if (length <= 0 || length >= target.size())
            break;
        target.truncate(length);
        at = split(target);
        if (!isPlainName(at.name))
            break;
        const int next = openFolder(target.startsWith('/') ? AT_FDCWD : folder, at.folder);
        ::close(folder);
        folder = next;
        followed = true;
    }
    if (folder >= 0)
        ::close(folder);
    return std::nullopt;
}

// Notes a named temporary file in the program's private folder, so that removeLeftovers()
// can tell it from every file a person made, even one of the same name. Gives the
// record's path, or nothing where there is no private folder (the file is then not swept).
QByteArray record(int folder, const QByteArray& name, int descriptor)
{
    struct stat info {};
    const QByteArray where = pathOf(folder);
    const QString privateFolder = App::privateFolder();
    if (where.isEmpty() || privateFolder.isEmpty() || ::fstat(descriptor, &info) != 0)
        return {};
    const QByteArray contents = recordMark + '\0' + QByteArray::number(quint64(info.st_dev)) + '\0'
                                + QByteArray::number(quint64(info.st_ino)) + '\0' + QByteArray::number(info.st_uid)
                                + '\0' + birthOf(descriptor, "", AT_EMPTY_PATH) + '\0' + where + '\0' + name;
    const QByteArray prefix = QFile::encodeName(privateFolder) + "/kiriview-" + QByteArray::number(::geteuid())
                              + "-writing-" + QByteArray::number(::getpid()) + '-';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray path = prefix + randomSuffix();
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return {};
        const bool written = ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
        if (::close(fd) == 0 && written)
            return path;
        ::unlink(path.constData());
        return {};
    }
    return {};
}

// Removes the file a record names while it is still the file recorded. True when the
// record has served: that file is gone, or what bears its name is another file.
bool removeRecorded(const QByteArray& recordPath)
{
    const int fd = ::open(recordPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    QByteArray contents(4 * PATH_MAX, Qt::Uninitialized);
    const bool ours = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
    const ssize_t length = ours ? ::read(fd, contents.data(), contents.size()) : -1;
    ::close(fd);
    if (length <= 0 || length >= contents.size())
        return false;
    contents.truncate(length);
    const QList<QByteArray> fields = contents.split('\0');
    bool numbers[3] = {};
    const quint64 device = fields.value(1).toULongLong(&numbers[0]);
    const quint64 inode = fields.value(2).toULongLong(&numbers[1]);
    const uint owner = fields.value(3).toUInt(&numbers[2]);
    const QByteArray birth = fields.value(4), name = fields.value(6);
    const qsizetype dot = name.lastIndexOf('.');
    if (fields.size() != 7 || fields[0] != recordMark || !fields[5].startsWith('/') || !numbers[0] || !numbers[1]
        || !numbers[2] || name.contains('/') || dot <= 0 || !isTemporaryNameOf(name, name.left(dot)))
        return false; // not a record this program wrote
    const int folder = openFolder(AT_FDCWD, fields[5]);
    if (folder < 0)
        return errno == ENOENT;
    struct stat file {};
    bool done = true;
    if (::fstatat(folder, name.constData(), &file, AT_SYMLINK_NOFOLLOW) != 0)
        done = errno == ENOENT;
    else if (S_ISREG(file.st_mode) && quint64(file.st_dev) == device && quint64(file.st_ino) == inode
             && file.st_uid == owner && birthOf(folder, name.constData(), 0) == birth)
        // A file written to within the last minute may belong to a write still under way elsewhere.
        done = file.st_mtime < std::time(nullptr) - 60 && ::unlinkat(folder, name.constData(), 0) == 0;
    ::close(folder);
    return done;
}

bool running(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

} // namespace

std::optional<QString> ReplacingFile::destination(const QString& target, Links links)
{
    const std::optional<Place> place = placeOf(native_names::encode(target), links);
    if (!place)
        return std::nullopt;
    ::close(place->folder);
    return native_names::decode(place->path);
}

ReplacingFile::ReplacingFile(const QString& target, Links links, Access access)
    : target_(target)
    , links_(links)
    , access_(access)
{
}

ReplacingFile::~ReplacingFile() { discard(); }

bool ReplacingFile::open(OpenMode mode)
{
    if (isOpen() || (mode & ~QIODevice::Unbuffered) != QIODevice::WriteOnly)
        return false;
    discard();
    std::optional<Place> place = placeOf(native_names::encode(target_), links_);
    if (!place)
        return false;
    folder_ = place->folder;
    name_ = place->name;
    path_ = place->path;
    if (createTemporary() && QIODevice::open(mode | QIODevice::Unbuffered))
        return true;
    discard();
    return false;
}

bool ReplacingFile::createTemporary()
{
    // An unnamed file is named through /proc: without it, one could never be named.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0;
    if (canName) {
        // 0666 lets the umask decide for a new file, as for any other file the user makes.
        fd_ = injected(FileStep::CreateUnnamed, path_) ? -1 : ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            unnamed_ = true;
            return takeOverAccess();
        }
        // Refused by a file system (or a kernel) without unnamed files.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = name_ + '.' + randomSuffix();
        fd_ = injected(FileStep::CreateNamed, path_)
                  ? -1
                  : ::openat(folder_, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = name;
            if (!takeOverAccess())
                return false;
            record_ = record(folder_, temporary_, fd_);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

// The new file stands in for the old one: same owner and group where this
// process may give them (a user may not give a file away; root may, and
// otherwise a root save would take another user's file), then the same mode,
// after the owner since a change of owner clears the set-id bits.
bool ReplacingFile::takeOverAccess()
{
    if (access_ == Access::Private)
        return ::fchmod(fd_, 0600) == 0;
    struct stat old {};
    if (::fstatat(folder_, name_.constData(), &old, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(old.st_mode))
        return true; // a new file: the umask decides
    struct stat made {};
    if (::fstat(fd_, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid))
        (void)!::fchown(fd_, ::geteuid() == 0 ? old.st_uid : uid_t(-1), old.st_gid);
    return ::fchmod(fd_, old.st_mode & 07777) == 0;
}

// Gives the complete unnamed file a temporary name beside the target (a link
// cannot replace a name); recorded first, so that a kill from here to the
// rename leaves nothing the next start cannot prove its own.
bool ReplacingFile::nameTemporary()
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = name_ + '.' + randomSuffix();
        record_ = record(folder_, name, fd_);
        if (!injected(FileStep::Name, path_)
            && ::linkat(AT_FDCWD, self.constData(), folder_, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
            temporary_ = name;
            return true;
        }
        const int error = errno;
        if (!record_.isEmpty())
            ::unlink(record_.constData());
        record_.clear();
        if (error != EEXIST)
            return false;
    }
    return false;
}

qint64 ReplacingFile::readData(char*, qint64) { return -1; }

qint64 ReplacingFile::writeData(const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = injected(FileStep::Write, path_) ? -1 : ::write(fd_, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            writeFailed_ = true;
            setErrorString(qt_error_string(errno));
            return -1;
        }
        done += n;
    }
    return done;
}

bool ReplacingFile::commit()
{
    if (!isOpen() || fd_ < 0)
        return false;
    QIODevice::close();
    bool done = !writeFailed_ && !injected(FileStep::Flush, path_) && ::fsync(fd_) == 0;
    done = done && (!unnamed_ || nameTemporary());
    done = ::close(fd_) == 0 && done;
    fd_ = -1;
    const auto& hook = services().beforeRename;
    done = done && (!hook || hook(native_names::decode(path_), native_names::decode(path_ + temporary_.mid(name_.size()))));
    done = done && !injected(FileStep::Rename, path_)
           && ::renameat(folder_, temporary_.constData(), folder_, name_.constData()) == 0;
    if (done)
        temporary_.clear();
    discard();
    return done;
}

void ReplacingFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_); // an unnamed file goes with it
    fd_ = -1;
    bool removed = true;
    if (!temporary_.isEmpty())
        removed = !injected(FileStep::Remove, path_)
                  && (::unlinkat(folder_, temporary_.constData(), 0) == 0 || errno == ENOENT);
    if (!record_.isEmpty()) {
        if (removed) {
            ::unlink(record_.constData());
        } else {
            // The file outlives this write (a folder turned read-only): its record no
            // longer waits for this process to end.
            const qsizetype writing = record_.lastIndexOf("-writing-");
            const QByteArray left = record_.left(writing) + "-left-" + randomSuffix();
            ::rename(record_.constData(), left.constData());
        }
    }
    record_.clear();
    temporary_.clear();
    unnamed_ = false;
    writeFailed_ = false;
    if (folder_ >= 0)
        ::close(folder_);
    folder_ = -1;
    if (isOpen())
        QIODevice::close();
}

void ReplacingFile::removeLeftovers()
{
    const QString privateFolder = App::privateFolder();
    if (privateFolder.isEmpty())
        return;
    const QByteArray folder = QFile::encodeName(privateFolder);
    const QByteArray user = "kiriview-" + QByteArray::number(::geteuid());
    DIR* records = ::opendir(folder.constData());
    if (!records)
        return;
    while (const dirent* entry = ::readdir(records)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith(user + "-writing-")) {
            // kiriview-UID-writing-PID-XXXXXX: this user's write in a process that may still run.
            const QList<QByteArray> parts = name.mid(user.size() + 9).split('-');
            bool valid = parts.size() == 2;
            const pid_t pid = valid ? parts[0].toInt(&valid) : 0;
            if (!valid || pid <= 0 || running(pid))
                continue;
        } else if (!name.startsWith(user + "-left-")) {
            continue;
        }
        const QByteArray path = folder + '/' + name;
        if (removeRecorded(path))
            ::unlink(path.constData());
    }
    ::closedir(records);
}
