#include "files/replacing_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <QDir>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/native_names.h"
#include "runtime/services.h"

namespace {

constexpr char temporaryLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr int temporarySuffixLength = 6;

// The target's bytes with a final link followed, or nothing when it may not be
// replaced. A missing target is fine: its folder decides when the file is made.
std::optional<QByteArray> replaceableTarget(const QByteArray& path, ReplacingFile::Links links)
{
    if (path.isEmpty())
        return std::nullopt;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return errno == ENOENT ? std::optional(path) : std::nullopt;
    QByteArray resolved = path;
    if (S_ISLNK(info.st_mode)) {
        if (links == ReplacingFile::Links::Refuse)
            return std::nullopt;
        // A dangling link would create its target somewhere else.
        char* target = ::realpath(path.constData(), nullptr);
        if (!target)
            return std::nullopt;
        resolved = target;
        std::free(target);
        if (::stat(resolved.constData(), &info) != 0)
            return std::nullopt;
    }
    // The rename would turn a device or a FIFO (or, through a link, /dev/null
    // itself) into a JPEG file. Renaming would also replace a file its owner
    // made read-only.
    if (!S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0 || ::access(resolved.constData(), W_OK) != 0)
        return std::nullopt;
    return resolved;
}

} // namespace

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
    const std::optional<QByteArray> resolved = replaceableTarget(native_names::encode(target_), links_);
    if (!resolved)
        return false;
    resolved_ = *resolved;
    return createTemporary() && QIODevice::open(mode | QIODevice::Unbuffered);
}

bool ReplacingFile::createTemporary()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = resolved_ + '.';
        for (int i = 0; i < temporarySuffixLength; ++i)
            name += temporaryLetters[QRandomGenerator::global()->bounded(int(sizeof temporaryLetters - 1))];
        // 0666 lets the umask decide for a new file, as for any other file the user makes.
        fd_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = name;
            if (!takeOverAccess()) {
                discard();
                return false;
            }
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
    if (::stat(resolved_.constData(), &old) != 0)
        return true; // a new file: the umask decides
    struct stat made {};
    if (::fstat(fd_, &made) == 0 && (made.st_uid != old.st_uid || made.st_gid != old.st_gid))
        (void)!::fchown(fd_, ::geteuid() == 0 ? old.st_uid : uid_t(-1), old.st_gid);
    return ::fchmod(fd_, old.st_mode & 07777) == 0;
}

qint64 ReplacingFile::readData(char*, qint64) { return -1; }

qint64 ReplacingFile::writeData(const char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, size_t(size - done));
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
    const bool written = !writeFailed_ && ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    const auto& hook = services().beforeRename;
    const bool goOn = !hook || hook(native_names::decode(resolved_), native_names::decode(temporary_));
    if (!written || !closed || !goOn || ::rename(temporary_.constData(), resolved_.constData()) != 0) {
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

void ReplacingFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
    if (isOpen())
        QIODevice::close();
}

void ReplacingFile::removeLeftovers(const QString& target)
{
    const QByteArray prefix = native_names::encode(target) + '.';
    const int slash = prefix.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : prefix.left(std::max(slash, 1));
    const QByteArray stem = prefix.mid(slash + 1);
    const QDir dir(native_names::decode(folder));
    const std::time_t quiet = std::time(nullptr) - 60;
    for (const QString& entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QByteArray name = native_names::encode(entry);
        const QByteArray suffix = name.mid(stem.size());
        if (!name.startsWith(stem) || suffix.size() != temporarySuffixLength
            || suffix.toStdString().find_first_not_of(temporaryLetters) != std::string::npos)
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat info {};
        if (::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
            && info.st_mtime < quiet)
            ::unlink(path.constData());
    }
}
