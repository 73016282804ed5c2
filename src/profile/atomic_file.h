#pragma once

#include <functional>

#include <QByteArrayView>
#include <QString>

// Replacing a file as one step: the new contents go to a temporary file in the
// same folder, are flushed to disk, and only then take the old file's place by a
// rename. A failure at any point (full disk, no permission, a crash) leaves the
// old file as it was, or no file when there was none; the temporary file is
// removed on failure.
namespace profile {

bool replaceFileAtomically(const QString& fileName, QByteArrayView contents);

// Tests stand in for a failure between writing the temporary file and renaming
// it: the hook runs at that moment with the target's name, and returning false
// abandons the write. An empty function removes the hook.
void setBeforeRenameHookForTesting(std::function<bool(const QString& fileName)> hook);

} // namespace profile
