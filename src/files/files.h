#pragma once

#include <optional>

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// File information and deletion. Paths are native paths; names that are not
// valid UTF-8 on Linux are reached through the text native_names gives them.
// Failures throw RunTimeError: 53 when the file is missing, 75 when it cannot
// be accessed, 68 when its device cannot be read, 7 when memory runs out.

// Size in bytes of a file (symbolic links followed). A folder has size 0.
qint64 FileLen(const QString& path);
// The same for a file that may not be there yet: empty when it is missing;
// any other failure throws as FileLen does.
std::optional<qint64> FileLenIfAny(const QString& path);

// Local date and time of the last modification, in whole seconds.
QDateTime FileDateTime(const QString& path);

// Deletes exactly the named file: no wildcards, no trimming, no recycle bin.
// A folder is not a file (53); a symbolic link is removed itself.
void deleteFile(const QString& path);

// What Dir() answers for: files only, or folders as well.
enum class DirEntries { Files, FilesAndFolders };

// The name of the file (or, with FilesAndFolders, the file or folder) the path
// names, or an empty text when there is none. The path is taken literally:
// no wildcards, and "\" is an ordinary character on Linux. Trailing
// separators are ignored; the root has no name. Linux has no hidden or system
// attribute, so every existing file counts as a normal one. A path that
// cannot be examined (no permission, device not readable) throws.
QString Dir(const QString& path, DirEntries entries = DirEntries::Files);
