#include "files/stand_in_folder.h"

#include <cstdlib>

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include "files/native_names.h"

namespace {

// What Qt makes of the name: invalid bytes become U+FFFD.
QString asQtHoldsIt(const QString& name) { return QString::fromUtf8(native_names::encode(name)); }

bool qtHolds(const QString& name) { return asQtHoldsIt(name) == name; }

} // namespace

StandInFolder::StandInFolder(const QString& path)
    : path_(path)
    , shown_(path)
{
    if (qtHolds(path))
        return;
    struct stat info {};
    const bool isFolder = ::stat(native_names::encode(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString name;
    folder_ = path;
    if (!isFolder && slash >= 0) {
        folder_ = slash == 0 ? QStringLiteral("/") : path.left(slash);
        name = path.mid(slash + 1);
    }
    shown_ = asQtHoldsIt(path);
    if (qtHolds(folder_)) {
        shown_ = folder_ + (folder_.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + asQtHoldsIt(name);
        folder_.clear();
        return;
    }
    // The link is named like the folder as Qt shows it, so the dialog shows a familiar name.
    QByteArray privateFolder = QFile::encodeName(QDir::tempPath() + QStringLiteral("/kiriview-XXXXXX"));
    if (!::mkdtemp(privateFolder.data()))
        return;
    privateFolder_ = privateFolder;
    QString linkName = asQtHoldsIt(folder_.mid(folder_.lastIndexOf(QLatin1Char('/')) + 1));
    if (linkName.isEmpty())
        linkName = QStringLiteral("folder");
    const QString link = QFile::decodeName(privateFolder_) + QLatin1Char('/') + linkName;
    if (::symlink(native_names::encode(folder_).constData(), QFile::encodeName(link).constData()) != 0)
        return;
    link_ = link;
    shown_ = name.isEmpty() ? link_ : link_ + QLatin1Char('/') + asQtHoldsIt(name);
}

StandInFolder::~StandInFolder()
{
    if (!link_.isEmpty())
        ::unlink(QFile::encodeName(link_).constData());
    if (!privateFolder_.isEmpty())
        ::rmdir(privateFolder_.constData());
}

QString StandInFolder::restore(const QString& chosen) const
{
    if (chosen == shown_)
        return path_; // the proposed name, even where Qt could not hold it
    if (!link_.isEmpty() && chosen.startsWith(link_ + QLatin1Char('/')))
        return folder_ + chosen.mid(link_.size());
    if (!link_.isEmpty() && chosen == link_)
        return folder_;
    return chosen;
}
