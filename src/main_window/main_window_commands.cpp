// Commands on the shown name and the selected file: copy, run, delete.
#include "main_window/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

#include "controls/placement.h"
#include "ui/dialogs.h"
#include "controls/file_list_box.h"
#include "files/files.h"
#include "desktop/launcher.h"
#include "desktop/path_mime.h"
#include "runtime/run_time_error.h"

// The clipboard stays empty while the message shows, so the text copied is
// the one in pathBox when the message is closed.
void MainWindow::copyPath()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    setTextColour(pathBox, Qt::red);
    dialogs().msgBox(QStringLiteral("コピー完了"), MsgBoxStyle::OkOnly, QStringLiteral("クリップボード"));
    clipboard->setMimeData(pathMimeData(pathBox->text()));
    setTextColour(pathBox, Qt::black);
}

void MainWindow::copyPathFromMenu() { copyPath(); }

void MainWindow::runFile()
{
    const QString notFound = QStringLiteral("ファイルが見つかりません"), title = QStringLiteral("エラー");
    try {
        launcher().open(pathBox->text(), reportLater(notFound, title));
    } catch (const RunTimeError&) {
        dialogs().msgBox(notFound, MsgBoxStyle::OkOnly, title);
    }
}

// Deletes selectedPath, not pathBox's text: only a file picked in the list is ever deleted,
// and only the one the question named.
void MainWindow::deleteSelectedFile()
{
    const QString path = selectedPath;
    try {
        const MsgBoxResult answer = dialogs().msgBox(QStringLiteral("ファイル 【　") + path + QStringLiteral("　】を削除しますか？"),
                                            MsgBoxStyle::OkCancel, QStringLiteral("ファイルの削除"));
        if (answer == MsgBoxResult::Ok) {
            deleteFile(path);
            dialogs().msgBox(path + QStringLiteral("を削除しました"), MsgBoxStyle::OkOnly, QStringLiteral("削除終了"));
            fileList->refresh();
        } else if (answer == MsgBoxResult::Cancel) {
            dialogs().msgBox(QStringLiteral("削除をキャンセルしました"), MsgBoxStyle::OkOnly, QStringLiteral("削除キャンセル"));
        }
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("ファイルの削除"));
    }
}
