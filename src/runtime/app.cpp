#include "runtime/app.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include "runtime/private_folder.h"
#include "runtime/services.h"

namespace {

// Where the lock and the socket are, or empty names when this process has no
// door: then it runs as the only instance and takes no hand-overs.
struct Door {
    QString lock, socket;
};

// The instance check runs once; its descriptor holds the lock until the process ends.
std::optional<Door> door;
std::optional<bool> otherInstance;
int lockDescriptor = -1;

QString withoutTrailingSeparator(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

// $XDG_RUNTIME_DIR when it is the user's alone; anything else counts as unset.
QString runtimeFolder()
{
    const QString folder =
        services().lockFolder.isEmpty() ? qEnvironmentVariable("XDG_RUNTIME_DIR") : services().lockFolder;
    if (!QDir::isAbsolutePath(folder))
        return {};
    if (const QString why = private_folder::problem(folder); !why.isEmpty()) {
        qWarning("kiriview: the runtime folder %s is not used: %s", qPrintable(folder), qPrintable(why));
        return {};
    }
    return withoutTrailingSeparator(folder);
}

QString userId() { return QString::number(::geteuid()); }

// The lock and the socket carry the user id, so users never share a name even in
// a shared folder, and this executable's path, so two copies do not hand over to each other.
Door findDoor()
{
    const QString folder = App::privateFolder();
    if (folder.isEmpty()) {
        qWarning("kiriview: no instance door: this start runs on its own");
        return {};
    }
    const QByteArray exe = QCoreApplication::applicationFilePath().toUtf8();
    const QByteArray id = QCryptographicHash::hash(exe, QCryptographicHash::Sha1).toHex().left(16);
    const QString base = folder + QStringLiteral("/kiriview-") + userId() + QLatin1Char('-') + QString::fromLatin1(id);
    return {base + QStringLiteral(".lock"), base + QStringLiteral(".sock")};
}

// Tells whether the lock is held by another instance, or nothing when there is
// no lock to take (then there is no door). flock() locks die with their
// process, so a crashed instance never blocks a new one.
std::optional<bool> lockHeldElsewhere(const QString& name)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning("kiriview: no instance door: cannot open %s: %s", qPrintable(name), std::strerror(errno));
        return std::nullopt;
    }
    // A lock someone else made, even one held, is not this user's door.
    if (const QString why = private_folder::problem(fd, private_folder::Kind::File); !why.isEmpty()) {
        qWarning("kiriview: no instance door: %s is not used: %s", qPrintable(name), qPrintable(why));
        ::close(fd);
        return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockDescriptor = fd;
        return false;
    }
    ::close(fd);
    return true;
}

const Door& currentDoor()
{
    if (!door)
        door = findDoor();
    return *door;
}

} // namespace

QString App::path()
{
    if (!services().programFolder.isEmpty())
        return withoutTrailingSeparator(services().programFolder);
    return withoutTrailingSeparator(QCoreApplication::applicationDirPath());
}

QString App::privateFolder()
{
    const QString folder = runtimeFolder();
    return folder.isEmpty() ? private_folder::made(QDir::tempPath() + QStringLiteral("/kiriview-runtime-") + userId())
                            : folder;
}

bool App::anotherInstanceRuns()
{
    if (!otherInstance) {
        std::optional<bool> held;
        if (!currentDoor().lock.isEmpty())
            held = lockHeldElsewhere(currentDoor().lock);
        if (!held)
            door = Door{}; // without a lock of its own, no socket either
        otherInstance = held.value_or(false);
    }
    return *otherInstance;
}

void App::forgetInstanceCheck()
{
    if (lockDescriptor >= 0)
        ::close(lockDescriptor);
    lockDescriptor = -1;
    otherInstance.reset();
    door.reset();
}

QString App::instanceSocket()
{
    anotherInstanceRuns();
    return currentDoor().socket;
}

void End()
{
    if (services().end)
        services().end();
    std::fflush(nullptr);
    std::_Exit(0);
}
