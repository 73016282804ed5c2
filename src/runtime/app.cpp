#include "runtime/app.h"

#include <cstdlib>
#include <optional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "runtime/services.h"

namespace {

// The instance check runs once; its descriptor holds the lock until the process ends.
std::optional<bool> otherInstance;
int lockDescriptor = -1;

QString withoutTrailingSeparator(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

QString lockFolder()
{
    if (!services().lockFolder.isEmpty())
        return services().lockFolder;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

// Per-user files of this executable's instance, in the lock folder.
QString instanceFile(const QString& suffix)
{
    const QByteArray exe = QCoreApplication::applicationFilePath().toUtf8();
    const QByteArray id = QCryptographicHash::hash(exe, QCryptographicHash::Sha1).toHex().left(16);
    return lockFolder() + QStringLiteral("/kiriview-") + QString::fromLatin1(id) + suffix;
}

// Tells whether the lock for this executable is held by someone else.
// flock() locks die with their process, so a crashed instance never blocks a new one.
bool lockHeldElsewhere()
{
    const QString name = instanceFile(QStringLiteral(".lock"));
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false; // nowhere to lock: never refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockDescriptor = fd;
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace

QString App::Path()
{
    if (!services().programFolder.isEmpty())
        return withoutTrailingSeparator(services().programFolder);
    return withoutTrailingSeparator(QCoreApplication::applicationDirPath());
}

bool App::PrevInstance()
{
    if (!otherInstance)
        otherInstance = lockHeldElsewhere();
    return *otherInstance;
}

void App::forgetInstanceCheck()
{
    if (lockDescriptor >= 0)
        ::close(lockDescriptor);
    lockDescriptor = -1;
    otherInstance.reset();
}

QString App::instanceSocket() { return instanceFile(QStringLiteral(".sock")); }

void End()
{
    if (services().end)
        services().end();
    std::fflush(nullptr);
    std::_Exit(0);
}
