// The clipboard picture, picture copy, clearing and the clipboard viewer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/module1.h"
#include "form_fixture.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "recording_launcher.h"

namespace {

QImage testPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    for (int x = 0; x < width; ++x)
        picture.setPixelColor(x, x % height, Qt::yellow);
    return picture;
}

bool samePixels(const QImage& a, const QImage& b)
{
    return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

class ClipboardCommandsTest : public FormTest {
protected:
    ClipboardCommandsTest()
    {
        startProgram();
        form1 = &forms::get<Form1>();
        form2 = &forms::get<Form2>();
    }

    QClipboard* clipboard() const { return QApplication::clipboard(); }

    Form1* form1 = nullptr;
    Form2* form2 = nullptr;
};

TEST_F(ClipboardCommandsTest, ClipboardPictureIsShownFittedLikeAClickedFile)
{
    const QImage picture = testPicture(100, 50);
    clipboard()->setImage(picture);
    form1->Label2->setText(QStringLiteral("2000/05/20 2:36:12"));
    form1->Label5->setText(QStringLiteral("123.456"));
    form1->Command1_Click(); // closes the image window, disabling both buttons
    form1->selpath = QStringLiteral("/pictures/a.jpg");
    Module1::curpath = QStringLiteral("/pictures/a.jpg");

    form1->Command6->click();

    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_TRUE(form1->Label2->text().isEmpty());
    EXPECT_TRUE(form1->Label5->text().isEmpty());
    EXPECT_EQ(form1->Text1->text(), QStringLiteral("ClipBoard"));
    EXPECT_TRUE(form1->Command1->isEnabled());
    EXPECT_TRUE(form1->Command2->isEnabled());
    EXPECT_TRUE(form2->isVisible());
    EXPECT_TRUE(samePixels(form2->Picture1.picture(), picture));
    EXPECT_TRUE(samePixels(form2->Image1->picture(), picture));
    // Natural size with the border: (100 + 4) x (50 + 4) pixels at 15 twips.
    EXPECT_EQ(Module1::imgwidth, 1560.0f);
    EXPECT_EQ(Module1::imgheight, 810.0f);
    // Fitted to the width of the 3000 twip box: 810 / (1560 / 3000) = 1557.7.
    EXPECT_FLOAT_EQ(form2->Width(), 3000.0f);
    EXPECT_FLOAT_EQ(form2->Height(), 1558.0f);
    EXPECT_FLOAT_EQ(form2->Image1->Width(), 3000.0f);
    EXPECT_FLOAT_EQ(form2->Image1->Height(), 1558.0f);
    EXPECT_EQ(form1->selpath, QStringLiteral("/pictures/a.jpg"));
    EXPECT_EQ(Module1::curpath, QStringLiteral("/pictures/a.jpg"));
}

TEST_F(ClipboardCommandsTest, ClipboardPictureLeavesTheEnlargedView)
{
    form1->Command2_Click();
    ASSERT_EQ(form1->enlarged, 1);
    ASSERT_GT(form2->Width(), 3000.0f);

    clipboard()->setImage(testPicture(40, 80));
    form1->Command6_Click();
    EXPECT_EQ(form1->enlarged, 0);
    EXPECT_TRUE(form1->Command2->isEnabled());
    // Fitted to the height of the 3000 twip box again: 660 / (1260 / 3000).
    EXPECT_NEAR(form2->Width(), 1571.43f, 0.01f);
    EXPECT_FLOAT_EQ(form2->Height(), 3000.0f);
}

TEST_F(ClipboardCommandsTest, WithoutAPictureOnTheClipboardNothingChanges)
{
    clipboard()->setText(QStringLiteral("only text"));
    form1->Text1->setText(QStringLiteral("/pictures/a.jpg"));
    form1->Label2->setText(QStringLiteral("2000/05/20"));
    form1->Command2_Click();
    const QImage before = form2->Picture1.picture();
    const float width = Module1::imgwidth;

    dialogs_->answerMessage();
    form1->Command6_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("クリップボードに画像がありません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("クリップボード"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(form1->Text1->text(), QStringLiteral("/pictures/a.jpg"));
    EXPECT_EQ(form1->Label2->text(), QStringLiteral("2000/05/20"));
    EXPECT_EQ(form1->enlarged, 1);
    EXPECT_FALSE(form1->Command2->isEnabled());
    EXPECT_EQ(form2->Picture1.picture(), before);
    EXPECT_EQ(Module1::imgwidth, width);
    EXPECT_EQ(clipboard()->text(), QStringLiteral("only text"));
}

TEST_F(ClipboardCommandsTest, ClearedClipboardHoldsNothingAndSaysNothing)
{
    clipboard()->setImage(testPicture(10, 10));
    form1->mnucliclear->trigger();
    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_TRUE(clipboard()->image().isNull());
    EXPECT_TRUE(clipboard()->text().isEmpty());

    dialogs_->answerMessage();
    form1->Command6_Click();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("クリップボードに画像がありません"));
}

TEST_F(ClipboardCommandsTest, PictureCopyPutsTheNaturalSizePictureInPlaceOfText)
{
    // Before any file: the built-in start-up picture.
    clipboard()->setText(QStringLiteral("text that must go"));
    dialogs_->answerMessage();
    form1->mnugazoc->trigger();
    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("イメージをコピーしました"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("クリップボード"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    EXPECT_TRUE(clipboard()->text().isEmpty());
    EXPECT_EQ(clipboard()->image().size(), QSize(50, 50));

    // Right after the clipboard picture: the same picture back, not the scaled view.
    const QImage picture = testPicture(300, 120);
    clipboard()->setImage(picture);
    form1->Command6_Click();
    clipboard()->clear();
    dialogs_->answerMessage();
    form1->mnugazoc_Click();
    EXPECT_TRUE(samePixels(clipboard()->image(), picture));
}

TEST_F(ClipboardCommandsTest, CopyAfterTheClipboardPictureCopiesTheWordClipBoard)
{
    clipboard()->setImage(testPicture(20, 20));
    form1->Command6_Click();
    dialogs_->whileNextMessageOpen([&] { EXPECT_TRUE(clipboard()->image().isNull()); });
    dialogs_->answerMessage();
    form1->Command4_Click();
    EXPECT_EQ(clipboard()->text(), QStringLiteral("ClipBoard"));
}

TEST_F(ClipboardCommandsTest, ClipboardViewerIsStartedThroughTheLauncher)
{
    RecordingLauncher launcher;
    form1->mnuviewclip->trigger();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].commandLine, QStringLiteral("Start Clipbrd.exe"));
    EXPECT_EQ(launcher.calls[0].windowStyle, 2);
    EXPECT_TRUE(dialogs_->boxes().empty());

    launcher.failWith(53);
    dialogs_->answerMessage();
    form1->mnuviewclip_Click();
    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("エラー"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
}

} // namespace
