#include "desktop/special_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "files/drives.h"
#include "files/paths.h"
#include "runtime/services.h"

namespace {

// The location's path below the drive that holds it. Links are resolved
// first where the folder exists, so a home reached through a link is found
// on the drive it really lies on.
QString belowItsDrive(const QString& location)
{
    const QString canonical = QFileInfo(location).canonicalFilePath();
    const QString path = canonical.isEmpty() ? QDir::cleanPath(location) : canonical;
    QString below = path.mid(driveOf(path).size());
    while (below.startsWith(QLatin1Char('/')))
        below.remove(0, 1);
    return below;
}

} // namespace

QString desktopLocation()
{
    if (!services().desktopFolder.isEmpty())
        return services().desktopFolder;
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QString trashLocation()
{
    if (!services().trashFolder.isEmpty())
        return services().trashFolder;
    // The home trash as freedesktop.org defines it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash");
}

SpecialFolder desktopFolder()
{
    const QString below = belowItsDrive(desktopLocation());
    // Opened with a final separator, as the desktop always was.
    return {below, nameOf(below), below + QLatin1Char('/')};
}

SpecialFolder recycleBinFolder()
{
    const QString below = belowItsDrive(trashLocation());
    return {below, nameOf(below), below + QStringLiteral("/files")};
}

QString onDrive(const QString& drive, const QString& below)
{
    return fullPath(drive, below);
}
