#pragma once

#include <functional>
#include <utility>

#include <QString>

class DialogService;
class DriveTable;
class Launcher;

// Everything the program takes from its surroundings that tests stand in
// for, in one place. An empty member means the real thing.
struct Services {
    QString programFolder;                   // App::path()
    QString lockFolder;                      // where App::anotherInstanceRuns() takes its lock
    std::function<void()> end;               // End(); must not return, may throw ProgramEnded
    DialogService* dialogs = nullptr;        // every box a user sees
    Launcher* launcher = nullptr;            // opens paths and the clipboard viewer
    DriveTable* drives = nullptr;            // the drives of the machine
    QString desktopFolder;                   // the special folders
    QString trashFolder;
    // Runs between writing a replacement file and renaming it into place (on
    // the writing thread); false abandons the write, as a failure at that moment would.
    std::function<bool(const QString& target, const QString& temporary)> beforeRename;
};

inline Services& services()
{
    static Services installed;
    return installed;
}

// Installs other services for its lifetime, then restores the ones before.
class ScopedServices {
public:
    explicit ScopedServices(Services replacement)
        : saved_(std::exchange(services(), std::move(replacement)))
    {
    }
    ~ScopedServices() { services() = std::move(saved_); }
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    Services saved_;
};
