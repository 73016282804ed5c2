#pragma once


#include <QListWidget>

// The file list: the files of Path whose names match any of the patterns in
// Pattern (separated by ";", matched without regard to case). Selecting an
// entry by a left click or arrow key runs onClick, and so does a left click on
// the entry already selected; other buttons select nothing. A change of path
// or pattern clears the selection.
class FileListBox : public QListWidget {
    Q_OBJECT

public:
    explicit FileListBox(QWidget* parent);

    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // The selected entry's name without folder; empty when nothing is selected.
    QString fileName() const;
    int listCount() const { return count(); }
    QString entry(int index) const;
    int listIndex() const { return currentRow(); }
    // Selects an entry as a click would (runs onClick); -1 clears the selection.
    void setListIndex(int index);

    // Re-reads the folder.
    void refresh();

signals:
    // A file was chosen: a left click, an arrow key, or setListIndex().
    void fileClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void list();

    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    bool listing_ = false;
};
