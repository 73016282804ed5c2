// The save dialog: the preview at each opening and slider step, drag and zoom,
// saving and every way out; the preview loader.
#include <gtest/gtest.h>

#include <functional>

#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include "app/forms.h"
#include "app/module1.h"
#include "encoder/save_jpg.h"
#include "form_fixture.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "forms/save/form3.h"
#include "platform/app.h"
#include "platform/file_list_box.h"
#include "platform/files.h"
#include "platform/picture_loader.h"
#include "platform/run_time_error.h"
#include "platform/texts.h"
#include "test_files.h"

namespace {

const QString overwriteQuestion = QStringLiteral("同名のファイルが存在します。上書きしますか？");

// The program started and a 320 x 240 picture, the only file in its folder, clicked in the file list.
class SaveDialogTest : public FormTest {
protected:
    SaveDialogTest()
    {
        startProgram();
        EXPECT_TRUE(testPicture(320, 240).save(scratch_.filePath(QStringLiteral("photo.bmp"))));
        form1.File1->setPath(scratch_.path());
        form1.File1->setListIndex(0);
        forms::get<frmAbout>().show();
    }
    Form3& openDialog()
    {
        form1.mnusave_Click();
        Form3* form3 = forms::loaded<Form3>();
        return form3 ? *form3 : throw std::runtime_error("the save dialog did not open");
    }
    QByteArray encoded(int quality)
    {
        const QString path = scratch_.filePath(QStringLiteral("expected.jpg"));
        EXPECT_EQ(DCSavetoJPEG(form2.Picture1.picture(), 320, 240, path, std::uint8_t(quality), 0), 0);
        return readBytes(path);
    }
    // The main window, the image window and the version dialog all enabled, or all disabled.
    bool othersEnabled(bool on = true) const
    {
        return form1.isEnabled() == on && form2.isEnabled() == on && forms::get<frmAbout>().isEnabled() == on;
    }

    Form1& form1 = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
    QTemporaryDir scratch_;
};

TEST_F(SaveDialogTest, EachOpeningPreviewsAtFiftyAScaledCopyOfTheShownPicture)
{
    const float shownWidth = form2.Image1->Width(), shownHeight = form2.Image1->Height();
    Form3& first = openDialog();
    EXPECT_EQ(readBytes(Form3::previewPath()), encoded(50));
    EXPECT_EQ(first.Label5->text(), sizeText(FileLen(Form3::previewPath())));
    EXPECT_FLOAT_EQ(first.Image1->Width(), float(shownWidth / 1.5));
    EXPECT_FLOAT_EQ(first.Image1->Height(), float(shownHeight / 1.5));

    // Wherever the last one left the slider and the preview.
    first.HScroll1->setValue(80);
    first.Frame2_DragDrop(first.Image1, 100, 100);
    first.Command4_Click();
    Form3& again = openDialog();
    EXPECT_EQ(again.HScroll1->value(), 50);
    EXPECT_EQ(readBytes(Form3::previewPath()), encoded(50));
    EXPECT_EQ(QPointF(again.Image1->Left(), again.Image1->Top()), QPointF(720, 360));

    // Enlarged, a sixth instead; 1503 / 6 = 250.5 and 1509 / 6 = 251.5 round to even.
    again.Command4_Click();
    form1.Command2_Click();
    const float enlargedWidth = form2.Image1->Width();
    for (const auto& [height, rounded] : {std::pair(1503, 250), std::pair(1509, 252)}) {
        form2.Image1->setHeight(height);
        openDialog().Command4_Click();
        EXPECT_FLOAT_EQ(Module1::prevwidth, float(enlargedWidth / 6));
        EXPECT_EQ(Module1::prevheight, rounded);
    }
}

TEST_F(SaveDialogTest, EachSliderStepRewritesThePreviewOrKeepsTheLastOneWhenItCannot)
{
    // Without a writable preview the opening command reports it and leaves everything enabled.
    const QString folder = App::Path();
    App::setPath(folder + QStringLiteral("/missing"));
    dialogs_->answerMessage();
    form1.mnusave_Click();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("プレビューを作成できません\n") + folder + QStringLiteral("/missing/Sample.jpg"));
    EXPECT_EQ(forms::loaded<Form3>(), nullptr);
    EXPECT_TRUE(othersEnabled());

    App::setPath(folder);
    Form3& form3 = openDialog();
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("51"));
    EXPECT_EQ(readBytes(Form3::previewPath()), encoded(51));
    const QString shownSize = form3.Label5->text();
    EXPECT_EQ(shownSize, sizeText(encoded(51).size()));

    // Neither an unwritable folder nor a refused picture passes someone else's file there off as the preview.
    const QImage shownPicture = form3.Image1->picture();
    ASSERT_EQ(DCSavetoJPEG(testPicture(40, 30), 40, 30, Form3::previewPath(), 10, 0), 0);
    App::setPath(folder + QStringLiteral("/missing"));
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    App::setPath(folder);
    form2.Picture1.setPicture(QImage());
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    EXPECT_EQ(form3.Label5->text(), shownSize);
    EXPECT_EQ(form3.Image1->picture(), shownPicture);
}

TEST_F(SaveDialogTest, DropOnTheFrameCentresThePreviewAndZoomKeepsTheCentreWithinItsLimits)
{
    Form3& form3 = openDialog();
    ImageControl& image = *form3.Image1;
    const auto box = [&] { return QRectF(image.Left(), image.Top(), image.Width(), image.Height()); };
    const QPoint emptyPart(image.geometry().right() + 20, 10); // in Frame2's pixels
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(0, 0));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, image.mapFrom(form3.Frame2, emptyPart));
    EXPECT_EQ(box().center().toPoint(), emptyPart * 15);

    // Each step adds half the first size; eight steps in, nine out, none beyond.
    const QRectF former = box();
    const QSizeF step = QSizeF(Module1::prevwidth, Module1::prevheight) / 2;
    for (const auto& [clicks, size] : {std::pair(9, former.size() + 8 * step), std::pair(10, former.size() - step),
                                       std::pair(1, former.size())}) {
        for (int click = 0; click < clicks; ++click)
            clicks == 10 ? form3.Command3_Click() : form3.Command2_Click();
        EXPECT_NEAR(box().width(), size.width(), 0.01);
        EXPECT_NEAR(box().height(), size.height(), 0.01);
        EXPECT_EQ(box().center().toPoint(), former.center().toPoint());
    }
}

TEST_F(SaveDialogTest, SavesWriteTheEncodersBytesAtTheChosenQualityWhateverTheNameAndOverAnOldFile)
{
    for (const QString& target : {scratch_.filePath("saved.jpg"), scratch_.filePath("saved.kir"), Module1::curpath}) {
        SCOPED_TRACE(target.toStdString());
        Form3& form3 = openDialog();
        QTest::keyClick(form3.HScroll1, Qt::Key_Right);
        dialogs_->answerSave(target);
        if (target == Module1::curpath) // the proposed name, whatever its extension
            dialogs_->answerMessage(MsgBoxResult::Ok);
        // The windows are usable again by the time the outcome shows.
        dialogs_->whileNextMessageOpen([&] { EXPECT_TRUE(othersEnabled() && !form3.isVisible()); }).answerMessage();
        form3.Command1_Click();
        EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, QStringLiteral("JPEG変換完了♪保存情況"));
        EXPECT_EQ(readBytes(target), encoded(51));
    }
    const ScriptedDialogs::Box& question = dialogs_->boxes().end()[-2];
    EXPECT_EQ(question.text + question.title, overwriteQuestion + QStringLiteral("photo.bmp"));
    EXPECT_EQ(form1.File1->findItems(QStringLiteral("saved.jpg"), Qt::MatchExactly).size(), 1);
}

TEST_F(SaveDialogTest, EveryWayOutOfTheDialogEnablesTheOtherWindows)
{
    const QByteArray picture = readBytes(Module1::curpath);
    const auto save = [&](Form3& form3, const QString& target, int answer = MsgBoxResult::Ok) {
        dialogs_->answerSave(target).answerMessage(answer);
        form3.Command1_Click();
    };
    const struct { const char* name; std::function<void(Form3&)> leave; QString report; } ways[] = {
        {"キャンセル", [](Form3& form3) { form3.Command4_Click(); }, {}},
        {"close box", [](Form3& form3) { EXPECT_TRUE(form3.close()); }, {}},
        {"save-file dialog cancelled", [&](Form3& form3) { dialogs_->answerSave({}); form3.Command1_Click(); }, {}},
        {"overwrite declined", [&](Form3& form3) { save(form3, Module1::curpath, MsgBoxResult::Cancel); },
         overwriteQuestion},
        {"encoder failure", [&](Form3& form3) { save(form3, scratch_.filePath("none/x.jpg")); }, "ファイルがオープンできません"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Form3& form3 = openDialog();
        ASSERT_TRUE(othersEnabled(false));
        const int messages = dialogs_->messageCount();
        way.leave(form3);
        EXPECT_EQ(forms::loaded<Form3>(), nullptr);
        EXPECT_TRUE(othersEnabled());
        // The double fails on any box not scripted here.
        EXPECT_EQ(dialogs_->messageCount() > messages ? dialogs_->last().text : QString(), way.report);
    }
    EXPECT_EQ(readBytes(Module1::curpath), picture);
}

TEST(PreviewPicture, JpegIsDecodedAtTheSmallestCoveringEighthAndBrokenFilesFailSafely)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    const QImage original = testPicture(1600, 1200);
    ASSERT_EQ(DCSavetoJPEG(original, 1600, 1200, path, 90, 0), 0);
    const QImage preview = LoadPicture(path, QSize(300, 200));
    ASSERT_EQ(preview.size(), QSize(400, 300));
    for (const QPoint at : {QPoint(5, 5), QPoint(200, 150), QPoint(390, 290)}) { // the gradient's corners and middle
        const QRgb shown = preview.pixel(at), expected = original.pixel(at * 4);
        EXPECT_NEAR(qRed(shown), qRed(expected), 12);
        EXPECT_NEAR(qGreen(shown), qGreen(expected), 12);
    }
    EXPECT_EQ(LoadPicture(path, QSize(5000, 5000)).size(), QSize(1600, 1200));

    // A cut file fails as the picture loader's do, whatever the scale.
    ASSERT_TRUE(writeBytes(path, readBytes(path).left(20000)));
    EXPECT_THROW(LoadPicture(path, QSize(80, 60)), RunTimeError);
    EXPECT_THROW(LoadPicture(path, QSize(1600, 1200)), RunTimeError);
}

} // namespace
