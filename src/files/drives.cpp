#include "files/drives.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStorageInfo>

#include "files/native_names.h"
#include "files/paths.h"
#include "runtime/services.h"

namespace {

QHash<QString, QString> currentFolders;

bool isUserVisible(const QStorageInfo& volume)
{
    const QString root = volume.rootPath();
    if (root == QLatin1String("/"))
        return true;
    if (!volume.isValid() || !volume.isReady())
        return false;
    const QByteArray type = volume.fileSystemType();
    static const QList<QByteArray> pseudo = {
        "proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "pstore",
        "debugfs", "tracefs", "mqueue", "hugetlbfs", "configfs", "fusectl", "binfmt_misc", "autofs",
        "bpf", "overlay", "squashfs", "nsfs", "efivarfs", "ramfs", "rpc_pipefs", "fuse.portal",
        "fuse.gvfsd-fuse", "fuse.snapfuse",
    };
    if (pseudo.contains(type))
        return false;
    // Removable media and other disks live under these; system mounts do not.
    for (const char* prefix : {"/media/", "/mnt/", "/run/media/", "/home", "/srv", "/data"})
        if (root.startsWith(QLatin1String(prefix)))
            return true;
    return false;
}

} // namespace

QStringList MountedDrives::drives() const
{
    QStringList result{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (isUserVisible(volume) && !result.contains(volume.rootPath()))
            result << volume.rootPath();
    return result;
}

DriveTable& driveTable()
{
    static MountedDrives system;
    return services().drives ? *services().drives : system;
}

namespace {

bool isFolder(const QString& path)
{
    struct stat status {};
    return ::stat(native_names::encode(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace

QString driveOf(const QString& path)
{
    QString best;
    for (const QString& drive : driveTable().drives()) {
        const bool holds = path == drive
                           || path.startsWith(fullPath(drive, QString()));
        if (holds && drive.size() > best.size())
            best = drive;
    }
    return best;
}

QString currentFolderOf(const QString& drive)
{
    const auto found = currentFolders.constFind(drive);
    if (found != currentFolders.constEnd()) {
        // A remembered folder deleted since gives way to its nearest existing
        // ancestor on the drive; the drive's root is the last resort.
        QString folder = *found;
        while (folder.size() > drive.size() && !isFolder(folder))
            folder = folder.left(qMax(folder.lastIndexOf(QLatin1Char('/')), 1));
        return folder.size() >= drive.size() ? folder : drive;
    }
    const QString start = native_names::currentFolder();
    if (driveOf(start) == drive)
        return start;
    return drive;
}

void rememberCurrentFolder(const QString& folder)
{
    const QString drive = driveOf(folder);
    if (!drive.isEmpty())
        currentFolders.insert(drive, folder);
}

void forgetCurrentFolders() { currentFolders.clear(); }
