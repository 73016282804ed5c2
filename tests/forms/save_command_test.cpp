#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

#include "platform/app.h"
#include "platform/file_list_box.h"
#include "platform/files.h"
#include "platform/texts.h"
#include "save_dialog_fixture.h"

namespace {

using SaveCommandTest = SaveDialogTest;

const QString completed = QStringLiteral("JPEG変換完了♪");
const QString statusTitle = QStringLiteral("保存情況");
const QString overwriteQuestion = QStringLiteral("同名のファイルが存在します。上書きしますか？");

TEST_F(SaveCommandTest, OpeningSizesThePreviewAtTwoThirdsOfTheShownPicture)
{
    const float shownWidth = form2.Image1->Width();
    const float shownHeight = form2.Image1->Height();
    Form3& form3 = openDialog();
    EXPECT_FLOAT_EQ(form3.Image1->Width(), float(shownWidth / 1.5));
    EXPECT_FLOAT_EQ(form3.Image1->Height(), float(shownHeight / 1.5));
    EXPECT_FLOAT_EQ(Module1::prevwidth, form3.Image1->Width());
    EXPECT_EQ(Module1::prevheight, std::lround(shownHeight / 1.5));
    EXPECT_FLOAT_EQ(form3.Image1->Left(), 720);
    EXPECT_FLOAT_EQ(form3.Image1->Top(), 360);
}

TEST_F(SaveCommandTest, EnlargedPictureGivesAPreviewOfOneSixthWithTheHeightRoundedToEven)
{
    form1.Command2_Click(); // 画像を拡大
    ASSERT_EQ(form1.enlarged, 1);
    const float shownWidth = form2.Image1->Width();
    Form3& form3 = openDialog();
    EXPECT_FLOAT_EQ(form3.Image1->Width(), float(shownWidth / 6));
    EXPECT_FLOAT_EQ(Module1::prevwidth, float(shownWidth / 6));
    form3.Command4_Click();

    // 1503 / 6 = 250.5 and 1509 / 6 = 251.5: ties go to the even whole twip.
    form2.Image1->setHeight(1503);
    openDialog().Command4_Click();
    EXPECT_EQ(Module1::prevheight, 250);
    form2.Image1->setHeight(1509);
    Form3& again = openDialog();
    EXPECT_EQ(Module1::prevheight, 252);
    EXPECT_FLOAT_EQ(again.Image1->Height(), 251.5f);
}

TEST_F(SaveCommandTest, OpeningWritesTheFirstPreviewAndDisablesTheOtherWindowsWithoutModality)
{
    forms::get<frmAbout>().show();
    Form3& form3 = openDialog();
    EXPECT_EQ(fileBytes(previewPath()), encoded(50));
    EXPECT_EQ(form3.Label5->text(), sizeText(FileLen(previewPath())));
    EXPECT_TRUE(otherWindowsDisabled());
    EXPECT_TRUE(form3.isVisible());
    EXPECT_TRUE(form3.isEnabled());
    EXPECT_EQ(form3.windowModality(), Qt::NonModal);
    EXPECT_EQ(form1.MousePointer(), 0);
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(SaveCommandTest, PreviewThatCannotBeWrittenIsReportedAndNothingStaysDisabled)
{
    forms::get<frmAbout>().show();
    // A folder that does not exist, and one "inside" a regular file.
    QFile plain(programFolder() + QStringLiteral("/plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    int reports = 0;
    for (const QString& folder : {programFolder() + QStringLiteral("/missing"), plain.fileName()}) {
        SCOPED_TRACE(folder.toStdString());
        App::setPath(folder);
        dialogs_->answerMessage();
        form1.mnusave_Click();
        ASSERT_EQ(dialogs_->messageCount(), ++reports);
        EXPECT_EQ(dialogs_->last().text, QStringLiteral("プレビューを作成できません\n") + folder + QStringLiteral("/Sample.jpg"));
        EXPECT_EQ(dialogs_->last().title, QStringLiteral("ファイルの保存"));
        EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::Exclamation);
        EXPECT_EQ(forms::loaded<Form3>(), nullptr);
        EXPECT_TRUE(otherWindowsEnabled());
        EXPECT_EQ(form1.MousePointer(), 0);
    }
}

// The save-file dialog's request, the dialog already gone when it opens.
TEST_F(SaveCommandTest, SaveFileDialogGetsTheCommonDialogProperties)
{
    Form3& form3 = openDialog();
    dialogs_->answerSave(QString());
    form3.Command1_Click();
    ASSERT_EQ(dialogs_->boxes().size(), 1u);
    const SaveFileRequest& request = dialogs_->boxes()[0].request;
    EXPECT_EQ(request.flags, 4);
    EXPECT_EQ(request.filter, QStringLiteral("JPEG (*.jpg)|*.jpg|きりファイル？ (*.kir)|*.kir|"));
    EXPECT_EQ(request.filterIndex, 1);
    EXPECT_EQ(request.initDir, Module1::curpath);
    EXPECT_EQ(request.fileName, Module1::curpath);
}

TEST_F(SaveCommandTest, RootFolderAsCurrentPathProposesTheProgramsFolderAndEmptyProposesNothing)
{
    Module1::curpath = QStringLiteral("/");
    dialogs_->answerSave(QString());
    openDialog().Command1_Click();
    EXPECT_EQ(dialogs_->last().request.initDir, App::Path());
    EXPECT_EQ(dialogs_->last().request.fileName, App::Path());

    Module1::curpath.clear();
    dialogs_->answerSave(QString());
    openDialog().Command1_Click();
    EXPECT_EQ(dialogs_->last().request.initDir, QString());
    EXPECT_EQ(dialogs_->last().request.fileName, QString());
}

TEST_F(SaveCommandTest, SavingUnderANewNameWritesTheJpegAtTheChosenQualityAndListsIt)
{
    forms::get<frmAbout>().show();
    const QString folder = scratch_.path();
    form1.File1->setPath(folder);
    const QString target = folder + QStringLiteral("/saved.jpg");

    Form3& form3 = openDialog();
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    dialogs_->answerSave(target);
    dialogs_->whileNextMessageOpen([&] {
        // The windows are usable again by the time the outcome shows.
        EXPECT_TRUE(otherWindowsEnabled());
        EXPECT_FALSE(form3.isVisible());
        EXPECT_TRUE(fileBytes(target).size() > 0);
    });
    dialogs_->answerMessage();
    form3.Command1_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, completed);
    EXPECT_EQ(dialogs_->last().title, statusTitle);
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(fileBytes(target), encoded(51));
    QImageReader reader(target);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    const QImage saved = reader.read();
    EXPECT_EQ(saved.size(), QSize(320, 240));
    EXPECT_EQ(forms::loaded<Form3>(), nullptr);
    EXPECT_TRUE(otherWindowsEnabled());
    EXPECT_TRUE(form1.isVisible());
    QStringList listed;
    for (int i = 0; i < form1.File1->ListCount(); ++i)
        listed << form1.File1->List(i);
    EXPECT_TRUE(listed.contains(QStringLiteral("saved.jpg")));
    // The preview file stays.
    EXPECT_TRUE(QFile::exists(previewPath()));
}

TEST_F(SaveCommandTest, KirAndJpgNamesGetTheSameBytesAndNoExtensionIsAdded)
{
    const QString folder = scratch_.path();
    const QStringList names = {QStringLiteral("a.jpg"), QStringLiteral("a.kir"), QStringLiteral("noextension")};
    for (const QString& name : names) {
        dialogs_->answerSave(folder + QLatin1Char('/') + name);
        dialogs_->answerMessage();
        openDialog().Command1_Click();
        EXPECT_EQ(dialogs_->last().text, completed);
    }
    const QByteArray jpg = fileBytes(folder + QStringLiteral("/a.jpg"));
    EXPECT_EQ(jpg, encoded(50));
    EXPECT_EQ(fileBytes(folder + QStringLiteral("/a.kir")), jpg);
    EXPECT_EQ(fileBytes(folder + QStringLiteral("/noextension")), jpg);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/noextension.jpg")));
}

TEST_F(SaveCommandTest, OverwriteDeclinedLeavesTheFileUntouchedAndEverythingEnabled)
{
    forms::get<frmAbout>().show();
    const QString target = scratch_.path() + QStringLiteral("/existing.kir");
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not yet a picture");
    file.close();

    dialogs_->answerSave(target);
    dialogs_->answerMessage(MsgBoxResult::Cancel);
    openDialog().Command1_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, overwriteQuestion);
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("existing.kir"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkCancel);
    EXPECT_EQ(fileBytes(target), QByteArray("not yet a picture"));
    EXPECT_TRUE(otherWindowsEnabled());
    EXPECT_TRUE(form1.isVisible());
}

TEST_F(SaveCommandTest, OverwriteAcceptedReplacesTheFileEvenUnderThePicturesOwnName)
{
    // The proposed name is the current picture's own, whatever its extension.
    QImage original(8, 8, QImage::Format_RGB32);
    original.fill(Qt::red);
    ASSERT_TRUE(original.save(Module1::curpath, "BMP"));

    dialogs_->answerSave(Module1::curpath);
    dialogs_->answerMessage(MsgBoxResult::Ok);
    dialogs_->answerMessage();
    openDialog().Command1_Click();

    ASSERT_EQ(dialogs_->messageCount(), 2);
    EXPECT_EQ(dialogs_->boxes()[1].title, QStringLiteral("photo.bmp"));
    EXPECT_EQ(dialogs_->last().text, completed);
    EXPECT_EQ(fileBytes(Module1::curpath), encoded(50));
}

TEST_F(SaveCommandTest, CancellingTheFileDialogShowsNothingAndReenablesEveryWindow)
{
    forms::get<frmAbout>().show();
    form1.hide();
    dialogs_->answerSave(QString());
    openDialog().Command1_Click();
    EXPECT_EQ(dialogs_->messageCount(), 0);
    EXPECT_EQ(forms::loaded<Form3>(), nullptr);
    EXPECT_TRUE(otherWindowsEnabled());
    EXPECT_TRUE(form1.isVisible());
}

TEST_F(SaveCommandTest, EncoderFailuresAreReportedAfterTheWindowsAreEnabled)
{
    forms::get<frmAbout>().show();
    struct Case {
        QString target;
        std::function<void()> arrange;
        QString message;
    };
    const Case cases[] = {
        {scratch_.path() + QStringLiteral("/no such folder/x.jpg"), [] {}, QStringLiteral("ファイルがオープンできません")},
        {scratch_.path() + QStringLiteral("/y.jpg"), [this] { form2.Picture1.setPicture(QImage()); },
         QStringLiteral("フォーマットエラーです")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        Form3& form3 = openDialog();
        c.arrange();
        dialogs_->answerSave(c.target);
        dialogs_->whileNextMessageOpen([this] { EXPECT_TRUE(otherWindowsEnabled()); });
        dialogs_->answerMessage();
        form3.Command1_Click();
        EXPECT_EQ(dialogs_->last().text, c.message);
        EXPECT_EQ(dialogs_->last().title, statusTitle);
        EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
        EXPECT_FALSE(QFile::exists(c.target));
        EXPECT_TRUE(otherWindowsEnabled());
    }
}

} // namespace
