// Browsing: drive and folder changes, and the filter buttons.
#include "forms/main/main_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "runtime/dialogs.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "files/drives.h"
#include "controls/file_list_box.h"
#include "viewing/picture_model.h"
#include "runtime/run_time_error.h"

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

void MainWindow::onDriveChanged()
{
    try {
        // A drive's text stands for that drive's current folder. On Linux "/"
        // is both a drive and a folder, so the folder list takes paths only.
        folderList->setPath(currentFolderOf(driveList->drive()));
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("デバイスの準備ができていません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("ドライブ情報"));
        // The folder list may have crossed into the drive that failed: then it
        // starts again from the root.
        if (driveOf(folderList->path()) == driveList->drive())
            folderList->setPath(QStringLiteral("/"));
        // Back to the drive of the folder still listed; this runs the change once more.
        driveList->setDrive(folderList->path());
    }
}

void MainWindow::onFolderChanged()
{
    fileList->setPath(folderList->path());
    pathBox->setText(folderList->path());
    selectedPath.clear();
    dateValue->clear();
    sizeValue->clear();
    // Nothing is selected now, so this is the folder itself.
    model_->enterFolder(fileList->path() + fileList->fileName());
}

void MainWindow::filterFiles(int index)
{
    for (QPushButton* button : filterButtons)
        button->setEnabled(true);
    filterButtons[index]->setEnabled(false);
    fileList->setPattern(filterPatterns[index]);
    model_->changeFilter();
    selectedPath.clear();
    dateValue->clear();
    sizeValue->clear();
}
