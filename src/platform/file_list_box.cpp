#include "platform/file_list_box.h"

#include <algorithm>

#include <QDir>

#include "platform/native_names.h"
#include "platform/wildcard.h"

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
    , path_(QDir::currentPath())
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
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
    QStringList patterns;
    for (const QString& part : pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        patterns << part.trimmed();
    // Names are read byte for byte, so files whose names are not valid UTF-8 are listed too.
    QStringList names;
    for (const QString& name : native_names::entries(path_, native_names::EntryKind::Files))
        if (std::any_of(patterns.cbegin(), patterns.cend(),
                        [&](const QString& pattern) { return matchesWildcard(name, pattern); }))
            names << name;
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    addItems(names);
    setCurrentRow(-1);
    listing_ = false;
}
