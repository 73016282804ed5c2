#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <utility>

#include <QSize>
#include <QString>
#include <QStringList>

class DialogService;
class DriveTable;
class Launcher;
class PictureSource;
class QImage;
class QWindow;
struct PreviewJob;
struct PreviewResult;
struct ShownPicture;
namespace userfiles {
struct Environment;
}

// The steps of writing a file whole (ReplacingFile), where a test injects a failure.
enum class FileStep {
    CreateUnnamed, // the unnamed temporary file (O_TMPFILE)
    CreateNamed,   // a named temporary file, where the file system has no unnamed ones
    Write,
    Flush,
    Name,   // giving the unnamed file its temporary name
    Rename, // over the target
    Remove, // the named temporary file, on a failure
};

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
    // Hands a window to the window manager to move while the button is held; false where none can.
    std::function<bool(QWindow* window)> startWindowMove;
    // Runs between writing a replacement file and renaming it into place (on
    // the writing thread); false abandons the write, as a failure at that moment would.
    std::function<bool(const QString& target, const QString& temporary)> beforeRename;
    // Runs before each step of writing a file whole (on the writing thread) with the
    // target the write replaces: an errno value fails the step as the system call would
    // with it; 0 lets the step run.
    std::function<int(FileStep step, const QString& target)> fileStep;
    // The pages the help command tries after "View.hlp"; empty means the installed and source-tree pages.
    QStringList helpPages;
    // The surroundings that decide where the settings and the preview file go.
    std::function<userfiles::Environment()> userEnvironment;
    // The size of a picture encoded at a quality, as the save dialog's target search measures it.
    std::function<std::optional<qint64>(const QImage& picture, int quality, std::stop_token stop)> encodedSize;
    // One preview of the save dialog made (on its worker): encoded, read back and measured.
    std::function<PreviewResult(const PreviewJob& job, std::stop_token stop)> encodePreview;
    // A file's picture decoded for the image window (on the window's or the read-ahead's worker).
    std::function<ShownPicture(const QString& path, QSize box, std::stop_token stop)> decodeForView;
    // A shown picture decoded at its natural size for a save or a copy (on the image window's worker).
    std::function<QImage(const PictureSource& source, std::stop_token stop)> decodeFull;
};

namespace services_detail {
// The services a worker's job was queued with, on that job's thread while it runs.
inline thread_local Services* forThisJob = nullptr;
} // namespace services_detail

// The services in force: on the window thread the installed ones; in a worker's
// job the ones installed when the job was queued, so replacing them never races
// with a job already on its way.
inline Services& services()
{
    if (services_detail::forThisJob)
        return *services_detail::forThisJob;
    static Services installed;
    return installed;
}

// Makes `taken` the services of the current thread for its lifetime (a worker's job).
class JobServices {
public:
    explicit JobServices(Services* taken)
        : saved_(std::exchange(services_detail::forThisJob, taken))
    {
    }
    ~JobServices() { services_detail::forThisJob = saved_; }
    JobServices(const JobServices&) = delete;
    JobServices& operator=(const JobServices&) = delete;

private:
    Services* saved_;
};

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
