// Start-up and shutdown of the main window.
#include "main_window/main_window.h"

#include <QCoreApplication>

#include "ui/forms.h"
#include "about_dialog/about_dialog.h"
#include "image_window/image_window.h"
#include "runtime/app.h"
#include "ui/dialogs.h"
#include "controls/file_list_box.h"
#include "viewing/picture_model.h"

void MainWindow::onLoad()
{
    loadFavorites();
    if (App::anotherInstanceRuns()) {
        dialogs().msgBox(QStringLiteral("既に起動されています"), MsgBoxStyle::OkOnly, QStringLiteral("二重起動"));
        End();
    }
    fileList->setPattern(QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg"));
    imageWindow_ = new ImageWindow(*model_);
    ImageWindow& imageWindow = *imageWindow_;
    connect(&imageWindow, &ImageWindow::mainWindowWanted, this, [this] { comeForward(); });
    imageWindow.showPicture(model_->picture());
    fitIntoBox();
    imageWindow.show();
}

void MainWindow::onUnload()
{
    model_->stop();
    forms::unload(imageWindow_);
    forms::unload(aboutDialog_);
}

// Leaves like the close box, through the application's own end, so the
// clipboard's contents are handed to the desktop's clipboard manager.
void MainWindow::quit()
{
    close();
    QCoreApplication::quit();
}
