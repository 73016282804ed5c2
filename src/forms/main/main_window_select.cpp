// Selecting a file: its path, date and size at once, and its picture in the
// image window once a worker has decoded it. A newer selection stops the
// decode of an older one, so keys held down decode only where they stop.
#include "forms/main/main_window.h"

#include <cmath>
#include <new>
#include <utility>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "forms/image/image_window.h"
#include "runtime/app.h"
#include "runtime/dialogs.h"
#include "runtime/handler_guard.h"
#include "runtime/questions.h"
#include "runtime/services.h"
#include "runtime/worker.h"
#include "controls/file_list_box.h"
#include "files/files.h"
#include "files/paths.h"
#include "decoder/jpeg_decoder.h"
#include "decoder/picture_source.h"
#include "decoder/read_ahead.h"
#include "runtime/run_time_error.h"
#include "runtime/texts.h"
#include "runtime/twips.h"

namespace {

// The picture is decoded just large enough for the enlarged box on this screen.
QSize viewBox(const QWidget& window)
{
    const int side = int(std::ceil(10000.0 / twips::perPixel * window.devicePixelRatioF()));
    return QSize(side, side);
}

ShownPicture decodeForView(const QString& path, QSize box, std::stop_token stop)
{
    const auto& decoder = services().decodeForView;
    return decoder ? decoder(path, box, stop) : readForView(path, box, stop);
}

} // namespace

ReadAhead& MainWindow::readAhead()
{
    if (!readAhead_) {
        const QSize box = viewBox(forms::get<ImageWindow>());
        readAhead_ = std::make_shared<ReadAhead>(
            [box](const QString& path, std::stop_token stop) { return decodeForView(path, box, stop); });
        // The picture the window waits for may be the one being read ahead.
        connect(readAhead_.get(), &ReadAhead::settled, this, [this](const QString& path) {
            if (path != loadingPath_ || pictureWorker().busy())
                return;
            if (const std::optional<ShownPicture> ready = readAhead_->take(path))
                showLoaded(path, *ready);
            else
                decodeForWindow(path); // failed there: decoded here, where a failure is reported
        });
    }
    return *readAhead_;
}

Worker& MainWindow::pictureWorker()
{
    if (!pictureWorker_)
        pictureWorker_ = new Worker(this);
    return *pictureWorker_;
}

void MainWindow::onFileClicked()
{
    setMousePointer(MousePointer::Hourglass);
    isEnlarged = false;
    enlargeButton->setEnabled(true);
    closeImageButton->setEnabled(true);
    forms::get<ImageWindow>().show();
    selectedPath = fullPath(fileList->path(), fileList->fileName());
    QStringList neighbours;
    for (const int index : {fileList->listIndex() + 1, fileList->listIndex() - 1})
        if (index >= 0 && index < fileList->listCount())
            neighbours.append(fullPath(fileList->path(), fileList->entry(index)));
    readAhead().follow(selectedPath, neighbours);
    pictureWorker().cancel();
    loadingPath_ = selectedPath;
    try {
        pathBox->setText(selectedPath);
        dateValue->setText(dateText(FileDateTime(selectedPath)));
        sizeValue->setText(sizeText(FileLen(selectedPath)));
    } catch (const RunTimeError&) {
        showLoadFailure(selectedPath);
        return;
    }
    if (const std::optional<ShownPicture> ready = readAhead().take(selectedPath))
        showLoaded(selectedPath, *ready);
    else if (!readAhead().reads(selectedPath))
        decodeForWindow(selectedPath);
}

void MainWindow::decodeForWindow(const QString& path)
{
    readAhead().yield();
    const QSize box = viewBox(forms::get<ImageWindow>());
    pictureWorker().run([this, path, box, slot = readAhead().decodeSlot()](std::stop_token stop) -> Worker::Delivery {
        const DecodeSlot::Turn turn = slot->forWindow(stop);
        if (!turn)
            return {};
        try {
            ShownPicture shown = decodeForView(path, box, stop);
            return [this, path, shown] { showLoaded(path, shown); };
        } catch (const DecodeCancelled&) {
            return {};
        } catch (const RunTimeError&) {
            // Every run-time error, whatever its number, ends in the fallback picture;
            // a picture too large to hold is one too.
        } catch (const std::bad_alloc&) {
        }
        return [this, path] { showLoadFailure(path); };
    });
}

bool MainWindow::waitsForAnswers(std::function<void(MainWindow&)> later)
{
    if (!questions::anyOpen())
        return false;
    // Nothing changes what an open question is about; the picture comes after.
    questions::whenNoneOpen(guarded([window = QPointer(this), later = std::move(later)] {
        if (window)
            later(*window);
    }));
    return true;
}

void MainWindow::showLoaded(const QString& path, const ShownPicture& shown)
{
    if (path != loadingPath_ || waitsForAnswers([path, shown](MainWindow& window) { window.showLoaded(path, shown); }))
        return;
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    try {
        withMemoryAsRunTimeError([&] { imageWindow.showPicture(shown); });
    } catch (const RunTimeError&) {
        showLoadFailure(path);
        return;
    }
    loadingPath_.clear();
    readAhead().hold(path, shown);
    if (path == selectedPath)
        viewing::currentPicturePath = path;
    setMousePointer(MousePointer::Default);
    fitIntoBox();
    readAhead().resume();
    if (const auto command = std::exchange(afterPicture_, nullptr))
        (this->*command)();
}

void MainWindow::showLoadFailure(const QString& path)
{
    if (path != loadingPath_ || waitsForAnswers([path](MainWindow& window) { window.showLoadFailure(path); }))
        return;
    loadingPath_.clear();
    dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    imageWindow.showPicture(imageWindow.fallbackPicture.picture());
    setMousePointer(MousePointer::Default);
    if (path == selectedPath)
        viewing::currentPicturePath = App::path();
    fitIntoBox();
    readAhead().resume();
    if (const auto command = std::exchange(afterPicture_, nullptr))
        (this->*command)();
}

bool MainWindow::waitsForPicture(void (MainWindow::*command)())
{
    if (!loadsPicture())
        return false;
    afterPicture_ = command;
    return true;
}

void MainWindow::stopLoadingPicture()
{
    if (loadingPath_.isEmpty())
        return;
    pictureWorker().cancel();
    loadingPath_.clear();
    afterPicture_ = nullptr;
    setMousePointer(MousePointer::Default);
}

// The box as it is when the picture arrives: enlarged meanwhile or not.
void MainWindow::fitIntoBox()
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    const Twips side(isEnlarged ? 10000 : 3000);
    imageWindow.setTwipsWidth(side);
    imageWindow.setTwipsHeight(side);
    imageWindow.fitToBox();
}
