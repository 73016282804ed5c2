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
    EXPECT_EQ(twips::fromPixels(splash.geometry()).size(), QSize(4680, 3195));
    EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(165, 250, 167));
    EXPECT_EQ(splash.Label2->text(), QStringLiteral("JPEG画像圧縮＆プレビュー"));
    EXPECT_EQ(splash.Label2->font(), fonts::make(fonts::msPGothic, 12, true));
    EXPECT_EQ(twips::fromPixels(splash.Label2->geometry()), QRect(720, 120, 3135, 255));
    EXPECT_FALSE(splash.Label1->text().isEmpty());
    EXPECT_EQ(splash.Label1->font(), fonts::make(fonts::comicSans, 11.25, true));
    EXPECT_EQ(twips::fromPixels(splash.Label1->geometry()), QRect(480, 2640, 3735, 375));
    for (QLabel* label : {splash.Label1, splash.Label2})
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 64, 0));
    EXPECT_EQ(splash.Image1->pixmap().size(), QSize(128, 128));
    EXPECT_EQ(twips::fromPixels(splash.Image1->geometry()), QRect(1320, 480, 1920, 1920));
    EXPECT_EQ(splash.Timer1->interval(), 2000);
    EXPECT_TRUE(splash.Timer1->isActive());
    EXPECT_EQ(splash.ticks, 0);
    EXPECT_EQ(forms::loaded<Form1>(), nullptr); // nothing else is loaded yet
    EXPECT_EQ(forms::loaded<Form2>(), nullptr);
}

TEST_F(StartupTest, FirstTickUnloadsTheSplashAndShowsBothWindowsLaterTicksDoNothing)
{
    Form4& splash = forms::get<Form4>();
    splash.ticks = 1;
    splash.Timer1_Timer();
    EXPECT_EQ(forms::loaded<Form1>(), nullptr);
    splash.ticks = 0;
    splash.Timer1_Timer();
    EXPECT_EQ(splash.ticks, 1);
    EXPECT_FALSE(splash.Timer1->isActive());
    EXPECT_EQ(forms::loaded<Form4>(), nullptr);

    Form1& form1 = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
    EXPECT_TRUE(form1.isVisible());
    EXPECT_TRUE(form2.isVisible());
    EXPECT_EQ(form1.File1->Pattern(), QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg"));
    // The built-in 50 x 50 picture, 810 twips with its border, fills the 3000 twip box.
    EXPECT_EQ(Module1::imgwidth, 810.0f);
    EXPECT_EQ(Module1::imgheight, 810.0f);
    EXPECT_EQ(form2.Width(), 3000.0f);
    EXPECT_EQ(form2.Height(), 3000.0f);
    EXPECT_EQ(form2.Image1->picture(), form2.Picture1.picture());
    EXPECT_TRUE(Module1::curpath.isEmpty());
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(StartupTest, StartUpPictureShowsWhiteWhereItIsTransparent)
{
    startProgram();
    Form2& form2 = forms::get<Form2>();
    const QImage shown = form2.grab().toImage();
    EXPECT_EQ(shown.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::white)); // the figure
    EXPECT_TRUE(form2.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form2.Image1->toolTip(), QStringLiteral("ダブルクリックでコピーします。"));
    EXPECT_EQ(form2.Picture2.picture().size(), QSize(50, 50));
    EXPECT_NE(form2.Picture2.picture(), form2.Picture1.picture());
}

TEST_F(StartupTest, ClosingTheMainWindowOrTheExitMenuUnloadsEveryForm)
{
    startProgram();
    forms::get<frmAbout>().show();
    forms::get<Form1>().close();
    EXPECT_EQ(forms::loaded<Form2>(), nullptr);
    EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
    EXPECT_EQ(forms::loaded<Form1>(), nullptr);

    startProgram();
    forms::get<frmAbout>().show();
    EXPECT_THROW(forms::get<Form1>().mnuend_Click(), ProgramEnded);
    EXPECT_EQ(forms::loaded<Form2>(), nullptr);
    EXPECT_EQ(forms::loaded<frmAbout>(), nullptr);
}

TEST_F(StartupTest, SecondInstanceIsToldAndEnds)
{
    // Another process of this program (this test binary) holds the lock for the same user.
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
