#pragma once

#include <QStringList>

#include "platform/drives.h"

// A drive table of the test's own folders; a drive that is not ready is a
// folder that does not exist. Installed for the object's lifetime.
class FakeDrives : public DriveTable {
public:
    explicit FakeDrives(QStringList drives)
        : drives_(std::move(drives))
    {
        setDriveTable(this);
        forgetCurrentFolders();
    }
    ~FakeDrives() override
    {
        setDriveTable(nullptr);
        forgetCurrentFolders();
    }
    QStringList drives() const override { return drives_; }
    // A volume mounted or removed while the program runs.
    void setDrives(QStringList drives) { drives_ = std::move(drives); }

private:
    QStringList drives_;
};
