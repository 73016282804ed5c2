// The save button: ask for a name, confirm an overwrite, encode, report.
#include "forms/save/form3.h"

#include <QFileInfo>

#include "app/forms.h"
#include "app/module1.h"
#include "encoder/save_jpg.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/file_list_box.h"
#include "platform/files.h"

namespace {

// The common dialog's flag that hides the read-only check box.
constexpr int hideReadOnly = 4;

const QString saveTitle = QStringLiteral("保存情況");

void report(const QString& text) { dialogs().msgBox(text, MsgBoxStyle::OkOnly, saveTitle); }

} // namespace

void Form3::Command1_Click()
{
    // Taken before the unload; nothing of this form is touched afterwards.
    const std::int16_t chosenQuality = quality;
    forms::unload<Form3>();

    try {
        SaveFileRequest request;
        request.flags = hideReadOnly;
        request.filter = QStringLiteral("JPEG (*.jpg)|*.jpg|") + QStringLiteral("きりファイル？ (*.kir)|*.kir|");
        request.filterIndex = 1;
        // A path ending in the separator is a drive's root folder, not a picture.
        const QString& curpath = Module1::curpath;
        if (!curpath.endsWith(QLatin1Char('/'))) {
            request.initDir = curpath;
            request.fileName = curpath;
        } else {
            request.initDir = App::Path();
            request.fileName = App::Path();
        }
        const QString target = dialogs().showSave(request);

        if (!Dir(target).isEmpty()) {
            const int answer = dialogs().msgBox(QStringLiteral("同名のファイルが存在します。上書きしますか？"),
                                                MsgBoxStyle::OkCancel, QFileInfo(target).fileName());
            if (answer == MsgBoxResult::Cancel) {
                enableOtherWindows();
                bringMainWindowForward();
                return;
            }
        }

        const Form2& form2 = forms::get<Form2>();
        const std::int16_t status
            = DCSavetoJPEG(form2.Picture1.picture(), form2.Picture1.ScaleWidth(), form2.Picture1.ScaleHeight(), target,
                           static_cast<std::uint8_t>(chosenQuality), 0);
        enableOtherWindows();
        switch (status) {
        case jpeg_status::Written:
            report(QStringLiteral("JPEG変換完了♪"));
            bringMainWindowForward();
            // A new file in the listed folder shows up in the list.
            forms::get<Form1>().File1->Refresh();
            break;
        case jpeg_status::CannotOpen:
            report(QStringLiteral("ファイルがオープンできません"));
            break;
        case jpeg_status::CannotWrite:
            report(QStringLiteral("ファイルが書きこめません"));
            break;
        case jpeg_status::FormatError:
            report(QStringLiteral("フォーマットエラーです"));
            break;
        case jpeg_status::OutOfMemory:
            report(QStringLiteral("スタックオーバーフローです"));
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
        // The dialog cancelled or anything else failing: no message, just back.
        enableOtherWindows();
        bringMainWindowForward();
    }
}
