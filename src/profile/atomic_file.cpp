#include "profile/atomic_file.h"

#include "files/replacing_file.h"

namespace profile {

bool replaceFileAtomically(const QString& fileName, QByteArrayView contents)
{
    ReplacingFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents.data(), contents.size()) != contents.size())
        return false;
    return file.commit();
}

} // namespace profile
