#pragma once

#include <QString>

// The desktop and the recycle bin, described the way the special-folder
// commands find them: by scanning the drive list for the drive that holds a
// probe folder, then opening a folder on that drive.
//
// A drive here is a mount point from the drive table. A folder is located on
// a drive by its path below the drive's mount point, so the same description
// names the folder on any drive and the scan decides which drive holds it:
//
//   desktop  (user dirs, e.g. /home/u/Desktop on the drive "/home")
//     probe "u/Desktop", expected name "Desktop", folder "u/Desktop/"
//   trash    (XDG_DATA_HOME/Trash, e.g. /home/u/.local/share/Trash)
//     probe "u/.local/share/Trash", expected name "Trash",
//     folder "u/.local/share/Trash/files"
//
// The trash, like the recycle bin it stands for, may exist without the
// folder that is opened: its "files" folder appears with the first file
// thrown away.
struct SpecialFolder {
    QString probe;        // below a drive: its presence marks the drive
    QString expectedName; // what the directory search must return for the probe
    QString folder;       // below the matching drive: the folder that is opened
};

// The user's desktop folder (XDG user dirs) and trash folder (freedesktop),
// unless the services (see services.h) place them elsewhere.
QString desktopLocation();
QString trashLocation();

// The descriptions above, against the drive table in force.
SpecialFolder desktopFolder();
SpecialFolder recycleBinFolder();

// A path on a drive: the drive's text unchanged, then the path below it,
// with one separator between them (the root's own one where it has it).
QString onDrive(const QString& drive, const QString& below);
