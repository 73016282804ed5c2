// Selecting a file: its path, date and size, and its picture in the image window.
#include "forms/main/main_window.h"

#include <cmath>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/viewing_state.h"
#include "forms/image/image_window.h"
#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/file_list_box.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/picture_source.h"
#include "platform/read_ahead.h"
#include "platform/texts.h"
#include "platform/twips.h"

namespace {

// Shows ImageWindow's picture in pictureView at its natural size and records that size.
void takePictureIntoImage(ImageWindow& imageWindow)
{
    imageWindow.pictureView->setPicture(imageWindow.picture.picture());
    imageWindow.pictureView->setWidth(imageWindow.picture.Width());
    imageWindow.pictureView->setHeight(imageWindow.picture.Height());
    viewing::pictureWidth = imageWindow.picture.Width();
    viewing::pictureHeight = imageWindow.picture.Height();
}

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
            [box](const QString& path, const std::atomic_bool& stop) { return readForView(path, box, &stop); });
    }
    return *readAhead_;
}

void MainWindow::onFileClicked()
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    try {
        setMousePointer(11);
        enlarged = 0;
        enlargeButton->setEnabled(true);
        closeImageButton->setEnabled(true);
        imageWindow.show();
        imageWindow.setWidth(3000);
        imageWindow.setHeight(3000);
        selectedPath = fullPath(fileList->Path(), fileList->FileName());
        viewing::currentPicturePath = selectedPath;
        QStringList neighbours;
        for (const int index : {fileList->ListIndex() + 1, fileList->ListIndex() - 1})
            if (index >= 0 && index < fileList->ListCount())
                neighbours.append(fullPath(fileList->Path(), fileList->List(index)));
        readAhead().follow(selectedPath, neighbours);
        pathBox->setText(selectedPath);
        dateValue->setText(dateText(FileDateTime(selectedPath)));
        sizeValue->setText(sizeText(FileLen(selectedPath)));
        std::optional<ShownPicture> ready = readAhead().take(selectedPath);
        if (!ready)
            ready = readAhead().awaitRunning(selectedPath);
        const ShownPicture shown = ready ? *ready : readForView(selectedPath, viewBox(imageWindow));
        readAhead().hold(selectedPath, shown);
        imageWindow.picture.setShown(shown);
        takePictureIntoImage(imageWindow);
        setMousePointer(0);
        viewing::fitImageWindow();
    } catch (...) {
        // Any failure, whatever its kind, ends in the fallback picture.
        dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
        imageWindow.picture.setPicture(imageWindow.fallbackPicture.picture());
        takePictureIntoImage(imageWindow);
        setMousePointer(0);
        viewing::currentPicturePath = App::Path();
        viewing::fitImageWindow();
    }
}
