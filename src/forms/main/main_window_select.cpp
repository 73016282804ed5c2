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
#include "runtime/run_time_error.h"
#include "runtime/texts.h"

void MainWindow::onFileClicked()
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    try {
        setMousePointer(11);
        isEnlarged = false;
        enlargeButton->setEnabled(true);
        closeImageButton->setEnabled(true);
        imageWindow.show();
        imageWindow.setWidth(Twips(3000));
        imageWindow.setHeight(Twips(3000));
        selectedPath = fullPath(fileList->Path(), fileList->FileName());
        viewing::currentPicturePath = selectedPath;
        pathBox->setText(selectedPath);
        dateValue->setText(dateText(FileDateTime(selectedPath)));
        sizeValue->setText(sizeText(FileLen(selectedPath)));
        // A picture too large to hold is run-time error 7, like a damaged one.
        withMemoryAsRunTimeError([&] { imageWindow.showPicture(LoadPicture(selectedPath)); });
        setMousePointer(0);
        imageWindow.fitToBox();
    } catch (const RunTimeError&) {
        // Every run-time error, whatever its number, ends in the fallback picture.
        dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
        imageWindow.showPicture(imageWindow.fallbackPicture.picture());
        setMousePointer(0);
        viewing::currentPicturePath = App::Path();
        imageWindow.fitToBox();
    }
}
