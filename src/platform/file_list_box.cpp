#include "platform/file_list_box.h"

#include <QDir>

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
    , path_(QDir::currentPath())
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    QObject::connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!listing_ && row >= 0 && onClick)
            onClick();
    });
    list();
}

void FileListBox::setPath(const QString& path)
{
    path_ = path;
    list();
}

void FileListBox::setPattern(const QString& pattern)
{
    pattern_ = pattern;
    list();
}

QString FileListBox::FileName() const
{
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

QString FileListBox::List(int index) const
{
    const QListWidgetItem* item = this->item(index);
    return item ? item->text() : QString();
}

void FileListBox::setListIndex(int index)
{
    if (index < 0) {
        listing_ = true;
        setCurrentRow(-1);
        clearSelection();
        listing_ = false;
        return;
    }
    setCurrentRow(index);
}

void FileListBox::Refresh() { list(); }

void FileListBox::list()
{
    listing_ = true;
    clear();
    QStringList filters;
    for (const QString& part : pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        filters << part.trimmed();
    const QStringList names
        = QDir(path_).entryList(filters, QDir::Files | QDir::System, QDir::Name | QDir::IgnoreCase);
    addItems(names);
    setCurrentRow(-1);
    listing_ = false;
}
