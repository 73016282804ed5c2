// The desktop launcher: names reach the opener as one argument and run nothing.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "fake_program.h"
#include "platform/launcher.h"
#include "platform/run_time_error.h"

namespace {

int errorNumberOf(DesktopLauncher& launcher, const QString& commandLine)
{
    try {
        launcher.Shell(commandLine, vbMinimizedFocus);
    } catch (const RunTimeError& error) {
        return error.number();
    }
    return 0;
}

// Runs in a folder of its own, so a command smuggled in a name would leave
// its marker file where the test looks.
class LauncherTest : public ::testing::Test {
protected:
    LauncherTest()
    {
        previous_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
        launcher_.setOpener(opener_.path());
    }
    ~LauncherTest() override { QDir::setCurrent(previous_); }

    bool markerAppeared() const
    {
        return QFile::exists(work_.filePath(QStringLiteral("pwned")))
               || QFile::exists(opener_.folder() + QStringLiteral("/pwned"));
    }

    QTemporaryDir work_;
    FakeProgram opener_;
    DesktopLauncher launcher_;
    QString previous_;
};

TEST_F(LauncherTest, HandsTheNameToTheOpenerAsItsOnlyArgument)
{
    launcher_.Shell(QStringLiteral("Start /pictures/a b.jpg"), vbMinimizedFocus);
    EXPECT_EQ(opener_.waitForArguments(), QStringList{QStringLiteral("/pictures/a b.jpg")});

    // Blanks are part of the name: none trimmed, none split on.
    launcher_.Shell(QStringLiteral("Start  two  blanks "), vbMinimizedFocus);
    EXPECT_EQ(opener_.waitForArguments(), QStringList{QStringLiteral(" two  blanks ")});
}

TEST_F(LauncherTest, ShellSyntaxInANameRunsNothing)
{
    const QStringList names = {
        QStringLiteral("a; touch pwned"),
        QStringLiteral("$(touch pwned)"),
        QStringLiteral("`touch pwned`"),
        QStringLiteral("a\ntouch pwned"),
        QStringLiteral("a && touch pwned || touch pwned"),
        QStringLiteral("'\"; touch pwned; echo \""),
        QStringLiteral("a | touch pwned"),
    };
    for (const QString& name : names) {
        launcher_.Shell(QStringLiteral("Start ") + name, vbMinimizedFocus);
        EXPECT_EQ(opener_.waitForArguments(), QStringList{name}) << name.toStdString();
    }
    // A shell would have run the touch right after the opener; give it the chance.
    QThread::msleep(200);
    EXPECT_FALSE(markerAppeared());
}

TEST_F(LauncherTest, ANameStartingWithADashIsNotTakenForAnOption)
{
    launcher_.Shell(QStringLiteral("Start --help"), vbMinimizedFocus);
    EXPECT_EQ(opener_.waitForArguments(), QStringList{QStringLiteral("./--help")});
    launcher_.Shell(QStringLiteral("Start -rf"), vbMinimizedFocus);
    EXPECT_EQ(opener_.waitForArguments(), QStringList{QStringLiteral("./-rf")});

    EXPECT_EQ(DesktopLauncher::openerArgument(QStringLiteral("/a/-b")), QStringLiteral("/a/-b"));
    EXPECT_EQ(DesktopLauncher::openerArgument(QStringLiteral("b-")), QStringLiteral("b-"));
    EXPECT_EQ(DesktopLauncher::openerArgument(QStringLiteral("-")), QStringLiteral("./-"));
}

TEST_F(LauncherTest, WhatCannotBeStartedRaisesTheRunTimeError)
{
    launcher_.setOpener(work_.filePath(QStringLiteral("no-such-opener")));
    EXPECT_NE(errorNumberOf(launcher_, QStringLiteral("Start FileName")), 0);

    // Nothing named, or not a "Start" line: nothing to start either.
    launcher_.setOpener(opener_.path());
    EXPECT_NE(errorNumberOf(launcher_, QStringLiteral("Start ")), 0);
    EXPECT_NE(errorNumberOf(launcher_, QStringLiteral("FileName")), 0);
    EXPECT_EQ(opener_.waitForArguments(300), std::nullopt);
}

TEST_F(LauncherTest, TheClipboardViewerIsTheFirstOneInstalled)
{
    FakeProgram second(QStringLiteral("viewer-b"));
    FakeProgram third(QStringLiteral("viewer-c"));
    launcher_.setSearchPath({second.folder(), third.folder()});
    launcher_.setClipboardViewers({{QStringLiteral("viewer-a"), {QStringLiteral("show")}},
                                   {QStringLiteral("viewer-b"), {QStringLiteral("ui")}},
                                   {QStringLiteral("viewer-c"), {}}});

    EXPECT_EQ(launcher_.clipboardViewer().name, second.path());
    launcher_.Shell(QStringLiteral("Start Clipbrd.exe"), vbMinimizedFocus);
    EXPECT_EQ(second.waitForArguments(), QStringList{QStringLiteral("ui")});
    EXPECT_EQ(third.waitForArguments(300), std::nullopt);
    // The viewer is not opened as a document.
    EXPECT_EQ(opener_.waitForArguments(300), std::nullopt);
}

TEST_F(LauncherTest, NoClipboardViewerIsAFailureToStart)
{
    launcher_.setSearchPath({work_.path()});
    launcher_.setClipboardViewers({{QStringLiteral("viewer-a"), {}}});
    EXPECT_TRUE(launcher_.clipboardViewer().name.isEmpty());
    EXPECT_NE(errorNumberOf(launcher_, QStringLiteral("Start Clipbrd.exe")), 0);
    EXPECT_EQ(opener_.waitForArguments(300), std::nullopt);
}

TEST(LauncherInstallation, TestsCanReplaceTheDesktopLauncher)
{
    struct Nothing : Launcher {
        void Shell(const QString&, int) override {}
    } replacement;
    Launcher& desktop = launcher();
    EXPECT_NE(dynamic_cast<DesktopLauncher*>(&desktop), nullptr);
    setLauncher(&replacement);
    EXPECT_EQ(&launcher(), &replacement);
    setLauncher(nullptr);
    EXPECT_EQ(&launcher(), &desktop);
}

} // namespace
