// Browsing: drive and folder changes, and the filter buttons.
#include "forms/main/form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/module1.h"
#include "platform/dialogs.h"
#include "platform/dir_list_box.h"
#include "platform/drive_list_box.h"
#include "platform/drives.h"
#include "platform/file_list_box.h"
#include "platform/run_time_error.h"

namespace {

// Patterns of the filter buttons, by index: BMP, JPG, GIF, ALL, KIR.
const QString filterPatterns[5] = {
    QStringLiteral("*.bmp"),
    QStringLiteral("*.jpg;*.jpeg"),
    QStringLiteral("*.gif"),
    QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg"),
    QStringLiteral("*.kir"),
};

} // namespace

void Form1::Drive1_Change()
{
    try {
        // A drive's text stands for that drive's current folder. On Linux "/"
        // is both a drive and a folder, so the folder list takes paths only.
        Dir1->setPath(currentFolderOf(Drive1->Drive()));
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("デバイスの準備ができていません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("ドライブ情報"));
        // Back to the drive of the folder still listed; this runs the change once more.
        Drive1->setDrive(Dir1->Path());
    }
}

void Form1::Dir1_Change()
{
    File1->setPath(Dir1->Path());
    Text1->setText(Dir1->Path());
    selpath.clear();
    Label2->clear();
    Label5->clear();
    // Nothing is selected now, so this is the folder itself.
    Module1::curpath = File1->Path() + File1->FileName();
}

void Form1::Command3_Click(int Index)
{
    for (QPushButton* button : Command3)
        button->setEnabled(true);
    Command3[Index]->setEnabled(false);
    File1->setPattern(filterPatterns[Index]);
    selpath.clear();
    Label2->clear();
    Label5->clear();
}
