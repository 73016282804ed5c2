// The desktop launcher: what it starts and with which arguments, through stand-in programs.
#include <optional>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "desktop/launcher.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"
#include "test_files.h"

namespace {

// Makes this process the parent of every program the launcher starts (the
// launcher's own child ends at once and leaves them orphaned), so a test can
// wait until everything started, and whatever that started in turn, has ended.
class AdoptedPrograms {
public:
    AdoptedPrograms() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~AdoptedPrograms()
    {
        waitForAll();
        ::prctl(PR_SET_CHILD_SUBREAPER, 0);
    }
    // An orphan's own children come to this process before the orphan's end is reported.
    static void waitForAll()
    {
        int status = 0;
        while (::waitpid(-1, &status, 0) > 0 || errno == EINTR) {
        }
    }
};

// A program for the launcher recording each run's arguments, NUL-separated
// (no argument holds that byte).
struct FakeProgram {
    explicit FakeProgram(const QString& name = "opener") : path(folder.filePath(name))
    {
        writeBytes(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.args\"\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The arguments of the last run since the last look, or nothing when it did
    // not run. Asked once the programs started have ended.
    std::optional<QStringList> arguments()
    {
        if (!QFile::exists(path + ".args"))
            return std::nullopt;
        QStringList arguments;
        for (const QByteArray& argument : readBytes(path + ".args").chopped(1).split('\0'))
            arguments << native_names::decode(argument);
        QFile::remove(path + ".args");
        return arguments;
    }
    QTemporaryDir folder;
    QString path;
};

// Stand-in programs: the opener, and clipboard viewers found on the search path.
struct DesktopLauncherTest : ::testing::Test {
    DesktopLauncherTest() { launcher.setOpener(opener.path); }
    AdoptedPrograms started;
    FakeProgram opener, second{"viewer-b"}, third{"viewer-c"};
    DesktopLauncher launcher;
};

// A name reaches the opener as one argument, a leading "-" cannot pass for an option,
// nothing runs through a shell.
TEST_F(DesktopLauncherTest, NothingTypedRunsACommand)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(opener.folder.path());
    const QStringList typed = {"a; touch pwned", "$(touch pwned)", "`touch pwned`", "a\ntouch pwned", "-pwned", "/a/-b",
                               "Clipbrd.exe", native_names::decode("/bad\xFF\xFE.jpg")}; // passed as the bytes on disk
    for (const QString& name : typed) {
        launcher.open(name);
        started.waitForAll(); // a smuggled command too
        EXPECT_EQ(opener.arguments(), QStringList{name == "-pwned" ? "./-pwned" : name}) << name.toStdString();
    }
    EXPECT_FALSE(QFile::exists("pwned")) << "a typed command ran";
    QDir::setCurrent(previous);
}

TEST_F(DesktopLauncherTest, TheClipboardViewerIsTheFirstInstalled)
{
    launcher.setSearchPath({second.folder.path(), third.folder.path()});
    launcher.setClipboardViewers({{"viewer-a", {"show"}}, {"viewer-b", {"ui"}}, {"viewer-c", {}}});
    launcher.openClipboardViewer();
    started.waitForAll();
    EXPECT_EQ(second.arguments(), QStringList{"ui"});
}

TEST_F(DesktopLauncherTest, NoNameOrNoViewerRaisesAndStartsNothing)
{
    launcher.setSearchPath({second.folder.path(), third.folder.path()});
    launcher.setClipboardViewers({{"viewer-a", {}}});
    EXPECT_THROW(launcher.open(QString()), RunTimeError);
    EXPECT_THROW(launcher.openClipboardViewer(), RunTimeError);
    started.waitForAll();
    EXPECT_EQ(third.arguments(), std::nullopt) << "another viewer ran";
    EXPECT_EQ(opener.arguments(), std::nullopt) << "the opener ran";
}

} // namespace
