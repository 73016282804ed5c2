#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTimer>

#include "app/form4.h"
#include "app/forms.h"
#include "app/module1.h"
#include "form_fixture.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "platform/app.h"
#include "platform/file_list_box.h"
#include "platform/fonts.h"
#include "platform/twips.h"

namespace {

using StartupTest = FormTest;

TEST_F(StartupTest, SplashLooksAsDesignedAndWaitsTwoSeconds)
{
    Form4& splash = forms::get<Form4>();
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(twips::fromPixels(splash.width()), 4680);
    EXPECT_EQ(twips::fromPixels(splash.height()), 3195);
    EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(165, 250, 167));

    EXPECT_EQ(splash.Label2->text(), QStringLiteral("JPEG画像圧縮＆プレビュー"));
    EXPECT_EQ(splash.Label2->font().family(), fonts::msPGothic);
    EXPECT_DOUBLE_EQ(splash.Label2->font().pointSizeF(), 12);
    EXPECT_TRUE(splash.Label2->font().bold());
    EXPECT_EQ(splash.Label2->palette().color(QPalette::WindowText), QColor(0, 64, 0));
    EXPECT_EQ(twips::fromPixels(splash.Label2->geometry()), QRect(720, 120, 3135, 255));

    EXPECT_FALSE(splash.Label1->text().isEmpty());
    EXPECT_EQ(splash.Label1->font().family(), fonts::comicSans);
    EXPECT_DOUBLE_EQ(splash.Label1->font().pointSizeF(), 11.25);
    EXPECT_TRUE(splash.Label1->font().bold());
    EXPECT_EQ(splash.Label1->palette().color(QPalette::WindowText), QColor(0, 64, 0));
    EXPECT_EQ(twips::fromPixels(splash.Label1->geometry()), QRect(480, 2640, 3735, 375));

    EXPECT_EQ(splash.Image1->pixmap().size(), QSize(128, 128));
    EXPECT_EQ(twips::fromPixels(splash.Image1->geometry()), QRect(1320, 480, 1920, 1920));

    EXPECT_EQ(splash.Timer1->interval(), 2000);
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(splash.ticks, 0);
    // Nothing else is loaded while the splash shows.
    EXPECT_EQ(forms::loaded<Form1>(), nullptr);
    EXPECT_EQ(forms::loaded<Form2>(), nullptr);
}

TEST_F(StartupTest, FirstTickUnloadsTheSplashAndShowsBothWindows)
{
    Form4& splash = forms::get<Form4>();
    splash.show();
    splash.Timer1_Timer();

    EXPECT_EQ(splash.ticks, 1);
    EXPECT_FALSE(splash.Timer1->isActive());
    EXPECT_EQ(forms::loaded<Form4>(), nullptr);

    Form1* form1 = forms::loaded<Form1>();
    Form2* form2 = forms::loaded<Form2>();
    ASSERT_NE(form1, nullptr);
    ASSERT_NE(form2, nullptr);
    EXPECT_TRUE(form1->isVisible());
    EXPECT_TRUE(form2->isVisible());
    EXPECT_EQ(form1->File1->Pattern(), QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg"));

    // The built-in 50 x 50 picture, 810 twips with its border, fills the 3000 twip box.
    EXPECT_EQ(form2->Picture1.picture().size(), QSize(50, 50));
    EXPECT_EQ(Module1::imgwidth, 810.0f);
    EXPECT_EQ(Module1::imgheight, 810.0f);
    EXPECT_FLOAT_EQ(form2->Width(), 3000.0f);
    EXPECT_FLOAT_EQ(form2->Height(), 3000.0f);
    EXPECT_EQ(form2->Image1->picture(), form2->Picture1.picture());
    EXPECT_TRUE(Module1::curpath.isEmpty());
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(StartupTest, LaterTicksDoNothing)
{
    Form4& splash = forms::get<Form4>();
    splash.ticks = 1;
    splash.Timer1_Timer();
    EXPECT_EQ(splash.ticks, 2);
    EXPECT_EQ(forms::loaded<Form4>(), &splash);
    EXPECT_EQ(forms::loaded<Form1>(), nullptr);
}

TEST_F(StartupTest, StartUpPictureShowsWhiteWhereItIsTransparent)
{
    startProgram();
    Form2& form2 = forms::get<Form2>();
    const QImage shown = form2.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::white));
    // The figure itself is drawn somewhere in the middle.
    bool drawn = false;
    for (int x = 0; x < shown.width() && !drawn; ++x)
        drawn = shown.pixelColor(x, shown.height() / 2) != QColor(Qt::white);
    EXPECT_TRUE(drawn);
    EXPECT_EQ(form2.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(form2.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form2.windowTitle().isEmpty());
    EXPECT_EQ(form2.Image1->toolTip(), QStringLiteral("ダブルクリックでコピーします。"));
    EXPECT_EQ(form2.Picture2.picture().size(), QSize(50, 50));
    EXPECT_NE(form2.Picture2.picture(), form2.Picture1.picture());
}

TEST_F(StartupTest, ClosingTheMainWindowUnloadsTheOthers)
{
    startProgram();
    forms::get<frmAbout>().show();
    forms::get<Form1>().close();
    EXPECT_EQ(forms::loaded<Form2>(), nullptr);
    EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
    EXPECT_EQ(forms::loaded<Form1>(), nullptr);
}

TEST_F(StartupTest, ExitMenuUnloadsTheOthersAndEndsAtOnce)
{
    startProgram();
    forms::get<frmAbout>().show();
    EXPECT_THROW(forms::get<Form1>().mnuend_Click(), ProgramEnded);
    EXPECT_EQ(forms::loaded<Form2>(), nullptr);
    EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
}

// The single-instance check runs in separate processes holding the same lock.
TEST(SingleInstance, SecondProcessOfTheSameProgramIsRefused)
{
    QTemporaryDir lockDir;
    App::forgetInstanceCheck();
    App::setLockFolder(lockDir.path());
    auto probe = [&] {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIRIVIEW_LOCK_PROBE"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), lockDir.path());
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        child.waitForFinished(30000);
        return child.exitCode();
    };
    qputenv("XDG_RUNTIME_DIR", lockDir.path().toUtf8());

    // Nobody holds the lock yet: the child is the first instance.
    EXPECT_EQ(probe(), 4);
    // This process takes it; now the child is a second instance.
    EXPECT_FALSE(App::PrevInstance());
    EXPECT_EQ(probe(), 3);
}

TEST_F(StartupTest, SecondInstanceIsToldAndEnds)
{
    // Another process of this program holds the lock for the same user.
    QProcess holder;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KIRIVIEW_LOCK_HOLD"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), programFolder());
    holder.setProcessEnvironment(env);
    holder.setProcessChannelMode(QProcess::MergedChannels);
    holder.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    ASSERT_TRUE(holder.readAll().contains("holding"));

    dialogs_->answerMessage();
    EXPECT_THROW(startProgram(), ProgramEnded);
    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("既に起動されています"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("二重起動"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    // It ended before the pattern was set and before the image window was shown.
    EXPECT_NE(forms::get<Form1>().File1->Pattern(), QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg"));
    EXPECT_FALSE(forms::get<Form2>().isVisible());
    holder.kill();
    holder.waitForFinished();
}

} // namespace
