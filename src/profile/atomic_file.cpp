#include "profile/atomic_file.h"

#include <QSaveFile>

#include "runtime/services.h"

namespace profile {

bool replaceFileAtomically(const QString& fileName, QByteArrayView contents)
{
    // QSaveFile writes "<name>.XXXXXX" beside the target, syncs it and renames
    // it over the target on commit; without commit the temporary is deleted.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    qsizetype written = 0;
    while (written < contents.size()) {
        const qint64 n = file.write(contents.data() + written, contents.size() - written);
        if (n <= 0) {
            file.cancelWriting();
            return false;
        }
        written += n;
    }
    if (!file.flush()) {
        file.cancelWriting();
        return false;
    }
    if (const auto& hook = services().beforeRename; hook && !hook(fileName)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace profile
