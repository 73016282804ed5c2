#include "platform/dir_list_box.h"

#include <QDir>
#include <QKeyEvent>
#include <QStyle>

#include "platform/drives.h"
#include "platform/run_time_error.h"

namespace {
constexpr int PathRole = Qt::UserRole + 1;
}

DirListBox::DirListBox(QWidget* parent)
    : QListWidget(parent)
    , path_(QDir::currentPath())
{
    list();
    QObject::connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { enter(item); });
}

void DirListBox::setPath(const QString& path)
{
    QString folder = path;
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        throw RunTimeError(RunTimeError::PathNotFound);
    QDir dir(folder);
    if (!dir.isReadable())
        throw RunTimeError(RunTimeError::PathFileAccess);
    folder = QDir::cleanPath(dir.absolutePath());
    rememberCurrentFolder(folder);
    if (folder == path_)
        return;
    path_ = folder;
    list();
    if (onChange)
        onChange();
}

void DirListBox::list()
{
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // Ancestors, root first, each indented one step deeper.
    QStringList chain;
    for (QDir dir(path_);; ) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& folder : chain) {
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(PathRole, folder);
        ++depth;
    }
    setCurrentRow(count() - 1);

    const QFileInfoList subfolders
        = QDir(path_).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& sub : subfolders) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + sub.fileName(), this);
        item->setData(PathRole, sub.absoluteFilePath());
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
