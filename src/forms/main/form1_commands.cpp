// Commands on the shown name and the selected file: copy, run, delete.
#include "forms/main/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

#include "platform/dialogs.h"
#include "platform/file_list_box.h"
#include "platform/files.h"
#include "platform/launcher.h"
#include "platform/run_time_error.h"

namespace {

void setTextColour(QLineEdit* box, const QColor& colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    box->setPalette(palette);
}

} // namespace

// The clipboard stays empty while the message shows, so the text copied is
// the one in Text1 when the message is closed.
void Form1::Command4_Click()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    setTextColour(Text1, Qt::red);
    dialogs().msgBox(QStringLiteral("コピー完了"), MsgBoxStyle::OkOnly, QStringLiteral("クリップボード"));
    clipboard->setText(Text1->text());
    setTextColour(Text1, Qt::black);
}

void Form1::mnupassc_Click() { Command4_Click(); }

void Form1::Command5_Click()
{
    try {
        launcher().Shell(QStringLiteral("Start ") + Text1->text(), vbMinimizedFocus);
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }
}

// Deletes selpath, not Text1's text: only a file picked in the list is ever deleted.
void Form1::Command7_Click()
{
    try {
        const int answer = dialogs().msgBox(QStringLiteral("ファイル 【　") + selpath + QStringLiteral("　】を削除しますか？"),
                                            MsgBoxStyle::OkCancel, QStringLiteral("ファイルの削除"));
        if (answer == MsgBoxResult::Ok) {
            Kill(selpath);
            dialogs().msgBox(selpath + QStringLiteral("を削除しました"), MsgBoxStyle::OkOnly, QStringLiteral("削除終了"));
            File1->Refresh();
        } else if (answer == MsgBoxResult::Cancel) {
            dialogs().msgBox(QStringLiteral("削除をキャンセルしました"), MsgBoxStyle::OkOnly, QStringLiteral("削除キャンセル"));
        }
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("ファイルの削除"));
    }
}
