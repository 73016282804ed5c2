// Start-up and shutdown of the main window.
#include "forms/main/main_window.h"

#include <QCoreApplication>

#include "runtime/forms.h"
#include "forms/about/about_dialog.h"
#include "forms/image/image_window.h"
#include "runtime/app.h"
#include "runtime/dialogs.h"
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
    ImageWindow& imageWindow = forms::load<ImageWindow>(*model_);
    imageWindow.showPicture(model_->picture());
    fitIntoBox();
    imageWindow.show();
}

void MainWindow::onUnload()
{
    model_->stop();
    forms::unload<ImageWindow>();
    forms::unload<AboutDialog>();
}

// Leaves like the close box, through the application's own end, so the
// clipboard's contents are handed to the desktop's clipboard manager.
void MainWindow::quit()
{
    close();
    QCoreApplication::quit();
}
