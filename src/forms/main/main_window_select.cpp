// Selecting a file: its path, date and size, and its picture in the image window.
#include "forms/main/main_window.h"

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
#include "runtime/texts.h"

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

} // namespace

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
        pathBox->setText(selectedPath);
        dateValue->setText(dateText(FileDateTime(selectedPath)));
        sizeValue->setText(sizeText(FileLen(selectedPath)));
        imageWindow.picture.setPicture(LoadPicture(selectedPath));
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
