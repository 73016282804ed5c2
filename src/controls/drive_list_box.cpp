#include "controls/drive_list_box.h"

#include <QDir>

#include "files/drives.h"
#include "files/native_names.h"

DriveListBox::DriveListBox(QWidget* parent)
    : QComboBox(parent)
{
    refresh();
    const int start = findText(driveOf(native_names::currentFolder()));
    QComboBox::setCurrentIndex(start >= 0 ? start : 0);
    // A user's choice arrives as Qt's signal; it runs the same change as code does.
    QObject::connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
        if (!selecting_)
            emit changed();
    });
}

QString DriveListBox::drive() const { return currentText(); }

void DriveListBox::setDrive(const QString& path)
{
    const int index = findText(driveOf(path));
    if (index >= 0)
        select(index);
}

void DriveListBox::setListIndex(int index)
{
    if (index >= 0 && index < count())
        select(index);
}

void DriveListBox::select(int index)
{
    if (index == currentIndex())
        return;
    selecting_ = true;
    QComboBox::setCurrentIndex(index);
    selecting_ = false;
    emit changed();
}

void DriveListBox::showPopup()
{
    refresh();
    QComboBox::showPopup();
}

void DriveListBox::refresh()
{
    const QString selected = currentText();
    selecting_ = true;
    clear();
    addItems(driveTable().drives());
    const int index = findText(selected);
    QComboBox::setCurrentIndex(index >= 0 ? index : 0);
    selecting_ = false;
}
