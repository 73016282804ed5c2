// The save button: ask for a name, confirm an overwrite, encode, report.
#include "forms/save/save_dialog.h"

#include <QFileInfo>

#include "runtime/run_time_error.h"
#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "encoder/save_jpeg.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "forms/save/preview_encoder.h"
#include "runtime/app.h"
#include "runtime/dialogs.h"
#include "controls/file_list_box.h"
#include "files/files.h"
#include "files/stand_in_folder.h"

namespace {

// The common dialog's flag that hides the read-only check box.
constexpr int hideReadOnly = 4;

const QString saveTitle = QStringLiteral("保存情況");

void report(const QString& text) { dialogs().msgBox(text, MsgBoxStyle::OkOnly, saveTitle); }

} // namespace

void SaveDialog::save()
{
    // Taken before the unload; nothing of this form is touched afterwards.
    const std::int16_t chosenQuality = quality;
    const std::shared_ptr<const JpegMarkers> markers = keptMarkers_;
    previewEncoder->stop();
    cancelTargetSearch();
    forms::unload<SaveDialog>();

    try {
        SaveFileRequest request;
        request.flags = hideReadOnly;
        request.filter = QStringLiteral("JPEG (*.jpg)|*.jpg|") + QStringLiteral("きりファイル？ (*.kir)|*.kir|");
        request.filterIndex = 1;
        // A path ending in the separator is a drive's root folder, not a picture.
        const QString& currentPicturePath = viewing::currentPicturePath;
        const StandInFolder proposed(currentPicturePath.endsWith(QLatin1Char('/')) ? App::Path() : currentPicturePath);
        request.initDir = proposed.shown();
        request.fileName = proposed.shown();
        const QString target = proposed.restore(dialogs().showSave(request));

        if (!Dir(target).isEmpty()) {
            const int answer = dialogs().msgBox(QStringLiteral("同名のファイルが存在します。上書きしますか？"),
                                                MsgBoxStyle::OkCancel, QFileInfo(target).fileName());
            if (answer == MsgBoxResult::Cancel) {
                enableOtherWindows();
                bringMainWindowForward();
                return;
            }
        }

        const ImageWindow& imageWindow = forms::get<ImageWindow>();
        const JpegStatus status
            = saveJpeg(imageWindow.picture.fullPicture(), imageWindow.picture.ScaleWidth(), imageWindow.picture.ScaleHeight(), target,
                           static_cast<std::uint8_t>(chosenQuality), 0, {}, markers.get());
        enableOtherWindows();
        switch (status) {
        case JpegStatus::Written:
            report(QStringLiteral("JPEG変換完了♪"));
            bringMainWindowForward();
            // A new file in the listed folder shows up in the list.
            forms::get<MainWindow>().fileList->Refresh();
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
        // Cancel, and every other run-time error of the save as well, goes
        // back without a message; only the log tells them apart.
        if (error.number() != RunTimeError::DialogCancelled)
            qWarning("saving failed: %s", error.what());
        enableOtherWindows();
        bringMainWindowForward();
    }
}
