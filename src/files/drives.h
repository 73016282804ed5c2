#pragma once

#include <QString>
#include <QStringList>

// The drives of this machine: "/" and the user-visible mounted volumes, each
// named by its mount point. Tests install a table of their own.
class DriveTable {
public:
    virtual ~DriveTable() = default;
    virtual QStringList drives() const = 0;
};

// Reads the mount table of the running system.
class MountedDrives : public DriveTable {
public:
    QStringList drives() const override;
};

// The installed table (see services.h), else the system's.
DriveTable& driveTable();

// The drive (mount point) that holds a path: the longest matching mount point.
QString driveOf(const QString& path);

// Each drive remembers its current folder: its root until visited, the
// process's start folder for the drive that holds it.
QString currentFolderOf(const QString& drive);
void rememberCurrentFolder(const QString& folder);
// Forgets every remembered folder (tests).
void forgetCurrentFolders();
