#pragma once

#include <QString>

class QMimeData;

// What the path copy puts on the clipboard: the path as text when its name
// bytes are valid UTF-8 (a name that is not cannot be text without changing),
// and an absolute path always as a file URI (text/uri-list) with its exact
// bytes percent-encoded, so a file manager finds that very file.
QMimeData* pathMimeData(const QString& path);
