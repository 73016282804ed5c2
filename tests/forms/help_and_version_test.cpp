// Help and the version dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/forms.h"
#include "form_fixture.h"
#include "forms/about/frmabout.h"
#include "forms/main/form1.h"
#include "platform/fonts.h"
#include "platform/twips.h"
#include "recording_launcher.h"

namespace {

class HelpAndVersionTest : public FormTest {
protected:
    HelpAndVersionTest()
    {
        startProgram();
        form1 = &forms::get<Form1>();
    }

    QString helpFile() const { return programFolder() + QStringLiteral("/View.hlp"); }

    Form1* form1 = nullptr;
    RecordingLauncher launcher;
};

// ---- help -------------------------------------------------------------------

TEST_F(HelpAndVersionTest, HelpOpensViewHlpFromTheProgramsFolder)
{
    QFile file(helpFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    form1->mnuhelp->trigger();

    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].commandLine, QStringLiteral("Start ") + helpFile());
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(HelpAndVersionTest, AMissingHelpFileIsReported)
{
    dialogs_->answerMessage();
    form1->mnuhelp_Click();
    // A folder of that name is no help file either.
    QDir().mkpath(helpFile());
    dialogs_->answerMessage();
    form1->mnuhelp_Click();

    EXPECT_TRUE(launcher.calls.empty());
    ASSERT_EQ(dialogs_->messageCount(), 2);
    for (const auto& box : dialogs_->boxes()) {
        EXPECT_EQ(box.text, QStringLiteral("ヘルプファイルが見つかりません"));
        EXPECT_EQ(box.title, QStringLiteral("ヘルプ"));
        EXPECT_EQ(box.style, MsgBoxStyle::OkOnly);
    }
}

TEST_F(HelpAndVersionTest, NothingToOpenTheHelpWithIsReported)
{
    QFile file(helpFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    launcher.failWith(53);
    dialogs_->answerMessage();

    form1->mnuhelp_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ヘルプを表示するプログラムが見つかりません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("ヘルプ"));
}

// ---- version dialog ---------------------------------------------------------

TEST_F(HelpAndVersionTest, VersionDialogShowsTheProgramsNameAndVersion)
{
    form1->mnuver->trigger();

    frmAbout* about = forms::loaded<frmAbout>();
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_TRUE(form1->isEnabled());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("きりビュアーのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(about->lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 2.1.0"));
    EXPECT_EQ(about->lblTitle->text(), QStringLiteral("きりビュアー"));
    EXPECT_EQ(about->lblDescription->text(), QStringLiteral("簡易画像ビュアー＆JPEG圧縮"));
    EXPECT_EQ(about->cmdOK->text(), QStringLiteral("OK"));
    EXPECT_FALSE(about->Label1->text().isEmpty());
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(HelpAndVersionTest, VersionDialogLayout)
{
    frmAbout& about = forms::get<frmAbout>();
    EXPECT_EQ(twips::fromPixels(about.width()), 3945);
    EXPECT_EQ(twips::fromPixels(about.height()), 3465);
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(about.windowFlags() & Qt::WindowMaximizeButtonHint);

    EXPECT_EQ(twips::fromPixels(about.picIcon->geometry()), QRect(240, 240, 510, 510));
    EXPECT_FALSE(about.picIcon->pixmap().isNull());
    EXPECT_EQ(twips::fromPixels(about.lblTitle->geometry()), QRect(840, 240, 2805, 480));
    EXPECT_EQ(twips::fromPixels(about.lblVersion->geometry()), QRect(240, 840, 3525, 225));
    EXPECT_EQ(twips::fromPixels(about.lblDescription->geometry()), QRect(240, 1125, 3525, 570));
    EXPECT_EQ(twips::fromPixels(about.Label1->geometry()), QRect(720, 2160, 3135, 255));
    EXPECT_EQ(twips::fromPixels(about.cmdOK->geometry()), QRect(1200, 2760, 1305, 345));

    const QFont title = about.lblTitle->font();
    EXPECT_EQ(title.family(), fonts::msPGothic);
    EXPECT_DOUBLE_EQ(title.pointSizeF(), 15.75);
    EXPECT_TRUE(title.bold());
    EXPECT_TRUE(title.italic());
    EXPECT_EQ(about.lblTitle->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(about.lblDescription->palette().color(QPalette::WindowText), QColor(0, 0, 0));

    const QFont maker = about.Label1->font();
    EXPECT_DOUBLE_EQ(maker.pointSizeF(), 9);
    EXPECT_TRUE(maker.bold());
    EXPECT_TRUE(maker.italic());
    EXPECT_EQ(about.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 0xC0));
    EXPECT_TRUE(about.cmdOK->isDefault());
}

// Grey one pixel high at 2445 twips, white two pixels high right below it.
TEST_F(HelpAndVersionTest, VersionDialogDrawsAnEtchedSeparator)
{
    frmAbout& about = forms::get<frmAbout>();
    const QImage shown = about.grab().toImage();
    const int x = twips::toPixels(2000);
    const int grey = twips::toPixels(2445);
    EXPECT_EQ(shown.pixelColor(x, grey), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(shown.pixelColor(x, grey + 1), QColor(Qt::white));
    EXPECT_EQ(shown.pixelColor(x, grey + 2), QColor(Qt::white));
    const QColor ground = about.palette().color(QPalette::Window);
    EXPECT_EQ(shown.pixelColor(x, grey - 1), ground);
    EXPECT_EQ(shown.pixelColor(x, grey + 3), ground);
    // The grey line starts a pixel further left than the white one.
    EXPECT_EQ(shown.pixelColor(twips::toPixels(90), grey), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(shown.pixelColor(twips::toPixels(90), grey + 1), ground);
}

TEST_F(HelpAndVersionTest, ASecondChoiceBringsTheSameDialogForward)
{
    form1->mnuver_Click();
    frmAbout* first = forms::loaded<frmAbout>();
    ASSERT_NE(first, nullptr);
    first->lblTitle->setText(QStringLiteral("not loaded again"));

    form1->mnuver_Click();
    EXPECT_EQ(forms::loaded<frmAbout>(), first);
    EXPECT_EQ(first->lblTitle->text(), QStringLiteral("not loaded again"));
    EXPECT_TRUE(first->isVisible());
}

TEST_F(HelpAndVersionTest, OkEnterAndEscapeCloseTheDialog)
{
    form1->mnuver_Click();
    frmAbout* about = forms::loaded<frmAbout>();
    ASSERT_NE(about, nullptr);
    QTest::mouseClick(about->cmdOK, Qt::LeftButton);
    EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
    EXPECT_FALSE(about->isVisible());

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        form1->mnuver_Click();
        about = forms::loaded<frmAbout>();
        ASSERT_NE(about, nullptr);
        // Loaded anew, so its texts are set again.
        EXPECT_EQ(about->lblTitle->text(), QStringLiteral("きりビュアー"));
        QTest::keyClick(about, key);
        EXPECT_EQ(forms::loaded<frmAbout>(), nullptr) << key;
    }
}

TEST_F(HelpAndVersionTest, TheCloseBoxClosesTheDialog)
{
    form1->mnuver_Click();
    forms::loaded<frmAbout>()->close();
    EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
}

} // namespace
