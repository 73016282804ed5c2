// Selecting a file: its path, date and size, and its picture in the image window.
#include "forms/main/main_window.h"

#include <cmath>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "forms/image/image_window.h"
#include "runtime/app.h"
#include "runtime/dialogs.h"
#include "controls/file_list_box.h"
#include "files/files.h"
#include "files/paths.h"
#include "decoder/picture_loader.h"
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

} // namespace

ReadAhead& MainWindow::readAhead()
{
    if (!readAhead_) {
        const QSize box = viewBox(forms::get<ImageWindow>());
        readAhead_ = std::make_shared<ReadAhead>(
            [box](const QString& path, std::stop_token stop) { return readForView(path, box, stop); });
    }
    return *readAhead_;
}

void MainWindow::onFileClicked()
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    try {
        setMousePointer(MousePointer::Hourglass);
        isEnlarged = false;
        enlargeButton->setEnabled(true);
        closeImageButton->setEnabled(true);
        imageWindow.show();
        imageWindow.setTwipsWidth(Twips(3000));
        imageWindow.setTwipsHeight(Twips(3000));
        selectedPath = fullPath(fileList->path(), fileList->fileName());
        viewing::currentPicturePath = selectedPath;
        QStringList neighbours;
        for (const int index : {fileList->listIndex() + 1, fileList->listIndex() - 1})
            if (index >= 0 && index < fileList->listCount())
                neighbours.append(fullPath(fileList->path(), fileList->entry(index)));
        readAhead().follow(selectedPath, neighbours);
        pathBox->setText(selectedPath);
        dateValue->setText(dateText(FileDateTime(selectedPath)));
        sizeValue->setText(sizeText(FileLen(selectedPath)));
        // A picture too large to hold is run-time error 7, like a damaged one.
        withMemoryAsRunTimeError([&] {
            std::optional<ShownPicture> ready = readAhead().take(selectedPath);
            if (!ready)
                ready = readAhead().awaitRunning(selectedPath);
            const ShownPicture shown = ready ? *ready : readForView(selectedPath, viewBox(imageWindow));
            readAhead().hold(selectedPath, shown);
            imageWindow.showPicture(shown);
        });
        setMousePointer(MousePointer::Default);
        imageWindow.fitToBox();
    } catch (const RunTimeError&) {
        // Every run-time error, whatever its number, ends in the fallback picture.
        dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
        imageWindow.showPicture(imageWindow.fallbackPicture.picture());
        setMousePointer(MousePointer::Default);
        viewing::currentPicturePath = App::path();
        imageWindow.fitToBox();
    }
}
