#include "controls/dir_list_box.h"

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

#include <QDir>
#include <QKeyEvent>
#include <QStyle>

#include "files/drives.h"
#include "files/paths.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"

namespace {

constexpr int PathRole = Qt::UserRole + 1;

// Throws unless the path is a folder that can be listed. Works on the native
// bytes, so folders whose names are not valid UTF-8 can be entered too.
void checkListable(const QString& folder)
{
    const QByteArray native = native_names::encode(folder);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw RunTimeError(RunTimeError::PathNotFound);
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        throw RunTimeError(RunTimeError::PathFileAccess);
    ::closedir(dir);
}

QString absoluteClean(const QString& path)
{
    const QString absolute = path.startsWith(QLatin1Char('/')) ? path : native_names::currentFolder() + QLatin1Char('/') + path;
    return QDir::cleanPath(absolute);
}

// "/a/b/c" -> "/", "/a", "/a/b", "/a/b/c", by text alone.
QStringList chainOf(const QString& folder)
{
    QStringList chain{QStringLiteral("/")};
    QString sofar;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        sofar += QLatin1Char('/') + part;
        chain << sofar;
    }
    return chain;
}

} // namespace

DirListBox::DirListBox(QWidget* parent)
    : QListWidget(parent)
    , path_(native_names::currentFolder())
{
    setUniformItemSizes(true);
    list();
    QObject::connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { enter(item); });
}

void DirListBox::setPath(const QString& path)
{
    const QString folder = absoluteClean(path);
    checkListable(folder);
    rememberCurrentFolder(folder);
    if (folder == path_)
        return;
    path_ = folder;
    list();
    emit changed();
}

void DirListBox::list()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // Ancestors, root first, each indented one step deeper.
    const QStringList chain = chainOf(path_);
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = depth == 0 ? folder : folder.section(QLatin1Char('/'), -1);
        auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(PathRole, folder);
        ++depth;
    }
    setCurrentRow(count() - 1);

    QStringList subfolders = native_names::entries(path_, native_names::EntryKind::Folders);
    std::sort(subfolders.begin(), subfolders.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(PathRole, fullPath(path_, name));
    }
}

void DirListBox::enter(QListWidgetItem* item)
{
    if (!item)
        return;
    try {
        setPath(item->data(PathRole).toString());
    } catch (const RunTimeError&) {
        // A folder that vanished or cannot be read: stay where we are.
        list();
    }
}

void DirListBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        enter(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}
