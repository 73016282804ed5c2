#pragma once

#include <QStringList>

#include "files/drives.h"
#include "runtime/services.h"

// A drive table of the test's own folders; a drive that is not ready is a folder that does not exist.
class FakeDrives : public DriveTable {
public:
    explicit FakeDrives(QStringList drives) : drives_(std::move(drives)) { install(this); }
    ~FakeDrives() override { install(nullptr); }
    QStringList drives() const override { return drives_; }
    void setDrives(QStringList drives) { drives_ = std::move(drives); }

private:
    static void install(DriveTable* table)
    {
        services().drives = table;
        forgetCurrentFolders();
    }
    QStringList drives_;
};
