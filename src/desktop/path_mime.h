#pragma once

#include <QString>

class QMimeData;

// What the path copy puts on the clipboard: the path as text only (no file
// URI, so a paste into a file manager copies no file), as its own bytes when
// they are not valid UTF-8.
QMimeData* pathMimeData(const QString& path);
