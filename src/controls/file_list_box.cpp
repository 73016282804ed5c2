#include "controls/file_list_box.h"

#include <algorithm>

#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>

#include "files/native_names.h"
#include "files/wildcard.h"

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
    , path_(native_names::currentFolder())
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    // A selection, not a current row, is a click: focus alone moves the
    // current row to the first entry without selecting it.
    QObject::connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!listing_ && !selectedItems().isEmpty())
            emit fileClicked();
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

QString FileListBox::fileName() const
{
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.constFirst()->text();
}

QString FileListBox::entry(int index) const
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

void FileListBox::refresh() { list(); }

void FileListBox::keyPressEvent(QKeyEvent* event)
{
    // With nothing selected, the first arrow key selects the entry under the
    // focus frame instead of skipping past it.
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (arrow && selectedItems().isEmpty() && count() > 0) {
        setCurrentRow(std::max(currentRow(), 0));
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FileListBox::mousePressEvent(QMouseEvent* event)
{
    // Only the left button picks a file; the others leave the selection alone.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListWidgetItem* pressed = itemAt(event->position().toPoint());
    const bool again = pressed && pressed->isSelected();
    QListWidget::mousePressEvent(event);
    // The selection does not change, yet the person clicked the file: show it again.
    if (again && pressed->isSelected())
        emit fileClicked();
}

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
