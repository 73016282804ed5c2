// What the save dialog says of its source describes the bytes that were shown, which are the
// ones it compresses, not the file as it is on disk now.
#include <QScrollBar>
#include <QThreadPool>

#include "encoder/save_jpeg.h"
#include "form_fixture.h"
#include "forms/save/save_dialog.h"

namespace {

void settle()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

using SaveDialogSourceTest = FormTest;

TEST_F(SaveDialogSourceTest, EstimateIsOfTheShownBytesNotOfTheFileNow)
{
    const QImage picture = testPicture(320, 240);
    const QString path = at("g95.jpg");
    ASSERT_EQ(saveJpeg(picture, 320, 240, path, 95, JpegTarget::Chosen), JpegStatus::Written);
    startProgram();
    mainWindow().folderList->setPath(pictures());
    mainWindow().fileList->setListIndex(0);
    waitForPicture();
    // Saved over at 50 after it was shown, as a save from the dialog does.
    ASSERT_EQ(saveJpeg(picture, 320, 240, path, 50, JpegTarget::Chosen), JpegStatus::Written);
    mainWindow().openSaveDialog();
    settle();
    SaveDialog& dialog = *forms::loaded<SaveDialog>();
    EXPECT_TRUE(dialog.qualitySlider->toolTip().startsWith(QStringLiteral("元画像の画質: 約95\n")));
    dialog.qualitySlider->setValue(60);
    settle();
    EXPECT_FALSE(dialog.sizeValue->toolTip().contains(QStringLiteral("元画像より高い画質です")))
        << dialog.sizeValue->toolTip().toStdString();
    dialog.cancel();
}

} // namespace
