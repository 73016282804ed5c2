#pragma once

#include <QByteArrayView>
#include <QString>

// Replacing a file as one step: the new contents go to a temporary file in the
// same folder, are flushed to disk, and only then take the old file's place by a
// rename. A failure at any point (full disk, no permission, a crash) leaves the
// old file as it was, or no file when there was none; the temporary file is
// removed on failure.
namespace profile {

bool replaceFileAtomically(const QString& fileName, QByteArrayView contents);

} // namespace profile
