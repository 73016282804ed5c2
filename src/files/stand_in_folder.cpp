#include "files/stand_in_folder.h"

#include <cstdlib>

#include <QDir>
#include <QFile>

#include <unistd.h>

#include "files/native_names.h"
#include "files/paths.h"

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
    const bool isFolder = native_names::kindOf(path) == native_names::EntryKind::Folders;
    QString name;
    folder_ = path;
    if (!isFolder && path.contains(QLatin1Char('/'))) {
        folder_ = folderOf(path);
        name = nameOf(path);
    }
    shown_ = asQtHoldsIt(path);
    if (qtHolds(folder_)) {
        shown_ = fullPath(folder_, asQtHoldsIt(name));
        folder_.clear();
        return;
    }
    // The link is named like the folder as Qt shows it, so the dialog shows a familiar name.
    QByteArray privateFolder = QFile::encodeName(QDir::tempPath() + QStringLiteral("/kiriview-XXXXXX"));
    if (!::mkdtemp(privateFolder.data()))
        return;
    privateFolder_ = privateFolder;
    QString linkName = asQtHoldsIt(nameOf(folder_));
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
