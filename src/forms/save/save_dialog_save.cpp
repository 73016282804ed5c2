// The save button: ask for a name, confirm an overwrite, encode, report.
#include "forms/save/save_dialog.h"

#include <QFileInfo>

#include "runtime/run_time_error.h"
#include "runtime/forms.h"
#include "encoder/save_jpeg.h"
#include "forms/main/main_window.h"
#include "forms/save/preview_encoder.h"
#include "runtime/app.h"
#include "runtime/dialogs.h"
#include "controls/file_list_box.h"
#include "files/files.h"
#include "files/replacing_file.h"
#include "files/stand_in_folder.h"

namespace {

const QString saveTitle = QStringLiteral("保存情況");

void report(const QString& text) { dialogs().msgBox(text, MsgBoxStyle::OkOnly, saveTitle); }

} // namespace

void SaveDialog::save()
{
    // Taken before the unload; nothing of this form is touched afterwards.
    const int chosenQuality = quality;
    const Subject chosen = subject_;
    const std::shared_ptr<const JpegMarkers> markers = keptMarkers_;
    previewEncoder->stop();
    cancelTargetSearch();
    forms::unload<SaveDialog>();

    try {
        SaveFileRequest request;
        request.nameFilters = {QStringLiteral("JPEG (*.jpg)"), QStringLiteral("きりファイル？ (*.kir)")};
        request.selectedFilter = request.nameFilters.constFirst();
        // A path ending in the separator is a drive's root folder, not a picture.
        const StandInFolder proposed(chosen.path.endsWith(QLatin1Char('/')) ? App::path() : chosen.path);
        request.folder = proposed.shown();
        request.fileName = proposed.shown();
        const std::optional<QString> named = dialogs().showSave(request);
        if (!named) {
            enableOtherWindows();
            bringMainWindowForward();
            return;
        }
        const QString target = proposed.restore(*named);

        if (!Dir(target).isEmpty()) {
            QString question = QStringLiteral("同名のファイルが存在します。上書きしますか？");
            // A link the save follows: the file replaced is the one at its end.
            if (const std::optional<QString> replaced = ReplacingFile::destination(target); replaced && *replaced != target)
                question += QStringLiteral("\n\nこの名前はリンクです。上書きされるのはリンク先のファイルです：\n") + *replaced;
            const MsgBoxResult answer = dialogs().msgBox(question, MsgBoxStyle::OkCancel, QFileInfo(target).fileName());
            if (answer == MsgBoxResult::Cancel) {
                enableOtherWindows();
                bringMainWindowForward();
                return;
            }
        }

        const JpegStatus status = saveJpeg(chosen.picture, chosen.picture.width(), chosen.picture.height(), target,
                                           static_cast<std::uint8_t>(chosenQuality), JpegTarget::Chosen, {}, markers.get());
        enableOtherWindows();
        switch (status) {
        case JpegStatus::Written:
            report(QStringLiteral("JPEG変換完了♪"));
            bringMainWindowForward();
            // A new file in the listed folder shows up in the list.
            forms::get<MainWindow>().fileList->refresh();
            break;
        case JpegStatus::CannotOpen:
            report(QStringLiteral("ファイルがオープンできません"));
            break;
        case JpegStatus::CannotWrite:
            report(QStringLiteral("ファイルが書きこめません"));
            break;
        case JpegStatus::FormatError:
            report(QStringLiteral("フォーマットエラーです"));
            break;
        case JpegStatus::OutOfMemory:
            report(QStringLiteral("スタックオーバーフローです"));
            break;
        default:
            break;
        }
    } catch (const RunTimeError& error) {
        // A run-time error of the save goes back without a message, as Cancel does; the log tells why.
        qWarning("saving failed: %s", error.what());
        enableOtherWindows();
        bringMainWindowForward();
    }
}
