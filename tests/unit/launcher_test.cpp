// The desktop launcher: what it starts and with which arguments, through stand-in programs.
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/launcher.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"
#include "test_files.h"

namespace {

// A program for the launcher recording each run's arguments, NUL-separated (no argument holds that byte).
struct FakeProgram {
    explicit FakeProgram(const QString& name, const QByteArray& script = "printf '%s\\0' \"$@\" > \"$0.args\"")
        : path(folder.filePath(name))
    {
        writeBytes(path, "#!/bin/sh\n" + script + '\n');
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The arguments of the last run since the last look, each ended by NUL; none when it did not run.
    QByteArray arguments()
    {
        const QByteArray recorded = readBytes(path + ".args");
        QFile::remove(path + ".args");
        return recorded;
    }
    QTemporaryDir folder;
    QString path;
};

// This process adopts what the launcher starts (its own child ends at once): waitForAll()
// returns once they, and what they started, have ended.
struct DesktopLauncherTest : ::testing::Test {
    DesktopLauncherTest() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~DesktopLauncherTest() override
    {
        waitForAll();
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    static void waitForAll()
    {
        while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
        }
    }
    DesktopLauncher launcher;
};

// A name reaches the opener as one argument, a leading "-" cannot pass for an option,
// nothing runs through a shell; no name raises and starts nothing.
TEST_F(DesktopLauncherTest, NothingTypedRunsACommand)
{
    FakeProgram opener("opener");
    launcher.setOpener(opener.path);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(opener.folder.path());
    const QStringList typed = {"a; touch pwned", "$(touch pwned)", "`touch pwned`", "a\ntouch pwned", "-pwned", "/a/-b",
                               "Clipbrd.exe", native_names::decode("/bad\xFF\xFE.jpg")}; // passed as the bytes on disk
    for (const QString& name : typed) {
        launcher.open(name, {});
        waitForAll(); // a smuggled command too
        EXPECT_EQ(opener.arguments(), native_names::encode(name == "-pwned" ? "./-pwned" : name) + '\0') << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists("pwned")) << "a typed command ran";
    EXPECT_THROW(launcher.open(QString(), {}), RunTimeError);
    waitForAll();
    EXPECT_EQ(opener.arguments(), "") << "the opener ran for no name";
    QDir::setCurrent(previous);
}

TEST_F(DesktopLauncherTest, TheClipboardViewerIsTheFirstInstalledElseItRaises)
{
    FakeProgram second("viewer-b"), third("viewer-c");
    launcher.setSearchPath({second.folder.path(), third.folder.path()});
    launcher.setClipboardViewers({{"viewer-a", {"show"}}, {"viewer-b", {"ui"}}, {"viewer-c", {}}});
    launcher.openClipboardViewer();
    waitForAll();
    EXPECT_EQ(second.arguments() + third.arguments(), QByteArray("ui\0", 3)) << "not the first installed, or a later one too";
    launcher.setClipboardViewers({{"viewer-a", {}}});
    EXPECT_THROW(launcher.openClipboardViewer(), RunTimeError);
}

// The opener is watched: a non-zero exit (nothing on the desktop can open the file) is reported
// through the callback, from the event loop, which reaps it; status 0 is not.
TEST(DesktopLauncherWatch, AnOpenerEndingInErrorIsReportedOnlyThen)
{
    for (const int status : {3, 0, 1}) {
        const FakeProgram opener("opener", "exit " + QByteArray::number(status));
        DesktopLauncher launcher;
        launcher.setOpener(opener.path);
        bool failed = false;
        launcher.open("a.jpg", [&failed] { failed = true; });
        ASSERT_TRUE(QTest::qWaitFor([] {
            siginfo_t info{};
            return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
        }, 10000)) << "the opener was never reaped";
        EXPECT_EQ(failed, status != 0) << "exit status " << status;
    }
}

} // namespace
