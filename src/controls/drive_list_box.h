#pragma once


#include <QComboBox>

// The drive list. Selecting another entry, by the user or from code, runs
// onChange as a plain call.
class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveListBox(QWidget* parent);

    // The selected drive's text (its mount point).
    QString drive() const;
    // Selects the drive that holds the path.
    void setDrive(const QString& path);

    int listIndex() const { return currentIndex(); }
    void setListIndex(int index);
    int listCount() const { return count(); }
    QString entry(int index) const { return itemText(index); }

    // Re-reads the drive table, keeping the selection where it can.
    void refresh();

signals:
    // The drive chosen changed, by the person or by setDrive().
    void changed();

public:

    // Opening the list re-reads the drive table, so a volume mounted since shows.
    void showPopup() override;

private:
    void select(int index);
    bool selecting_ = false;
};
