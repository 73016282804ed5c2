#pragma once


#include <QListWidget>

// The folder list: the current folder's ancestors shown open above its
// subfolders. A single click only highlights an entry; a double click or
// Enter moves into it. Every change of Path runs onChange as a plain call.
class DirListBox : public QListWidget {
    Q_OBJECT

public:
    explicit DirListBox(QWidget* parent);

    QString path() const { return path_; }
    // Throws RunTimeError when the folder does not exist or cannot be listed.
    // The folder becomes its drive's current folder.
    void setPath(const QString& path);

signals:
    // The folder listed changed, by the person or by setPath().
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void list();
    void enter(QListWidgetItem* item);

    QString path_;
};
