// Special folders: the desktop and recycle-bin buttons point the browser at
// a folder found by scanning the drive list.
#include "main_window/main_window.h"

#include <QLineEdit>

#include "ui/dialogs.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "files/files.h"
#include "runtime/run_time_error.h"
#include "desktop/special_folders.h"

namespace {

// Every entry of the drive list is selected in turn, and the last drive whose
// probe answers with the expected name is opened. Each statement is its own
// unit for errors: a failing one is abandoned without storing its result and
// the next one runs, so a drive that cannot be searched right after a
// matching one keeps that one's result and matches too. Only "path not
// found" is reported.
void openSpecialFolder(MainWindow& form, const SpecialFolder& target, const QString& notFoundMessage)
{
    auto step = [&](auto&& statement) {
        try {
            statement();
        } catch (const RunTimeError& error) {
            if (error.number() == RunTimeError::PathNotFound)
                dialogs().msgBox(notFoundMessage, MsgBoxStyle::Exclamation, QStringLiteral("パスが見つかりません"));
        }
    };

    int count = 0;
    QString drive;
    QString found;
    int matched = 0; // the first entry when no drive matches

    step([&] { count = form.driveList->listCount(); });
    for (int k = 0; k < count; ++k) {
        step([&] { form.driveList->setListIndex(k); });
        // Read back: a drive that is not ready puts the list back on another one.
        step([&] { drive = form.driveList->drive(); });
        step([&] { found = Dir(onDrive(drive, target.probe), DirEntries::FilesAndFolders); });
        step([&] {
            if (found == target.expectedName)
                matched = k;
        });
    }
    step([&] { form.driveList->setListIndex(matched); });
    step([&] { drive = form.driveList->drive(); });
    step([&] { form.folderList->setPath(onDrive(drive, target.folder)); });
    step([&] { form.onFolderChanged(); });
    step([&] { form.pathBox->setText(form.folderList->path()); });
}

} // namespace

void MainWindow::openDesktop()
{
    openSpecialFolder(*this, desktopFolder(), QStringLiteral("【ﾃﾞｽｸﾄｯﾌﾟ】が見つかりませんでした"));
}

void MainWindow::openTrash()
{
    openSpecialFolder(*this, recycleBinFolder(), QStringLiteral("【Recycled】が見つかりませんでした"));
}
