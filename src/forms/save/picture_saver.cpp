#include "forms/save/picture_saver.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include "controls/file_list_box.h"
#include "files/files.h"
#include "files/replacing_file.h"
#include "files/stand_in_folder.h"
#include "forms/main/main_window.h"
#include "runtime/app.h"
#include "runtime/dialogs.h"
#include "runtime/forms.h"
#include "runtime/handler_guard.h"
#include "runtime/questions.h"
#include "runtime/run_time_error.h"
#include "runtime/worker.h"

namespace {

const QString saveTitle = QStringLiteral("保存情況");

void report(const QString& text) { dialogs().msgBox(text, MsgBoxStyle::OkOnly, saveTitle); }

void bringMainWindowForward()
{
    if (MainWindow* mainWindow = forms::loaded<MainWindow>()) {
        mainWindow->show();
        mainWindow->raise();
        mainWindow->activateWindow();
    }
}

QPointer<PictureSaver> running;

} // namespace

void PictureSaver::start(SaveRequest request)
{
    auto* saver = new PictureSaver(std::move(request));
    running = saver;
    saver->askAndWrite();
}

bool PictureSaver::active() { return running && !running->done_; }

PictureSaver::PictureSaver(SaveRequest request)
    : QObject(QCoreApplication::instance())
    , request_(std::move(request))
    , worker_(new Worker(this))
{
}

PictureSaver::~PictureSaver() = default;

void PictureSaver::askAndWrite()
{
    try {
        SaveFileRequest request;
        request.nameFilters = {QStringLiteral("JPEG (*.jpg)"), QStringLiteral("きりファイル？ (*.kir)")};
        request.selectedFilter = request.nameFilters.constFirst();
        // A path ending in the separator is a drive's root folder, not a picture.
        const QString& path = request_.proposedPath;
        const StandInFolder proposed(path.endsWith(QLatin1Char('/')) ? App::path() : path);
        request.folder = proposed.shown();
        request.fileName = proposed.shown();
        const std::optional<QString> named = dialogs().showSave(request);
        if (!named) {
            finish();
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
                finish();
                return;
            }
        }
        write(target);
    } catch (const RunTimeError& error) {
        // A run-time error of the save goes back without a message, as Cancel does; the log tells why.
        qWarning("saving failed: %s", error.what());
        finish();
    }
}

void PictureSaver::write(const QString& target)
{
    waiting_ = std::make_unique<questions::Open>();
    if (MainWindow* mainWindow = forms::loaded<MainWindow>())
        mainWindow->holdWindows(true);
    worker_->run([this, request = request_, target](std::stop_token) -> Worker::Delivery {
        // The preview shown is what is saved, byte for byte; encoding again is
        // only for a quality no preview was made at.
        const JpegStatus status = !request.previewBytes.isEmpty()
            ? saveJpegBytes(request.previewBytes, target)
            : saveJpeg(request.picture, request.picture.width(), request.picture.height(), target,
                       static_cast<std::uint8_t>(request.quality), JpegTarget::Chosen, {}, request.markers.get());
        return [this, status] { written(status); };
    });
}

void PictureSaver::written(JpegStatus status)
{
    waiting_.reset();
    if (MainWindow* mainWindow = forms::loaded<MainWindow>())
        mainWindow->holdWindows(false);
    switch (status) {
    case JpegStatus::Written:
        report(QStringLiteral("JPEG変換完了♪"));
        bringMainWindowForward();
        // A new file in the listed folder shows up in the list.
        if (MainWindow* mainWindow = forms::loaded<MainWindow>())
            mainWindow->fileList->refresh();
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
    case JpegStatus::Abandoned:
        break;
    }
    done_ = true;
    deleteLater();
}

void PictureSaver::finish()
{
    bringMainWindowForward();
    done_ = true;
    deleteLater();
}
