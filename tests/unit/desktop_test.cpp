// The desktop room: where the settings and the preview go (beside a writable program, else in the
// user's folders), where the help page is found when installed, and what the launcher starts with
// which arguments, through stand-in programs.
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/help_file.h"
#include "desktop/launcher.h"
#include "desktop/user_files.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"
#include "runtime/services.h"
#include "test_files.h"

namespace {

userfiles::Environment answering(bool writable, QString configHome, QString cacheHome)
{
    return {[writable](const QString&) { return writable; }, QStringLiteral("/home/u"), configHome, cacheHome};
}


TEST(UserFiles, BesideAWritableProgramFolderElseInXdgFoldersOrHomeDefaults)
{
    const struct { bool writable; QString config, cache, settings, preview; } cases[] = {
        {true, "/x", "/y", "/nowhere/bin/kiriview.ini", "/nowhere/bin/Sample.jpg"},
        {false, "/c", "/k/", "/c/kiriview/kiriview.ini", "/k/kiriview/Sample.jpg"},
        {false, "", "", "/home/u/.config/kiriview/kiriview.ini", "/home/u/.cache/kiriview/Sample.jpg"},
        {false, "rel/c", "./k", "/home/u/.config/kiriview/kiriview.ini", "/home/u/.cache/kiriview/Sample.jpg"},
    };
    for (const auto& c : cases) {
        const auto where = userfiles::choose(QStringLiteral("/nowhere/bin"), answering(c.writable, c.config, c.cache));
        EXPECT_EQ(where.settingsFile() + ' ' + where.previewFile(), c.settings + ' ' + c.preview) << c.config.toStdString();
    }
}

using UserFolders = ScratchTest;

// A read-only preset beside the program; settings folders left open to the group only, then to others only.
TEST_F(UserFolders, PrepareMakesPrivateFoldersAndCopiesThePresetOnce)
{
    QDir(folder.path()).mkdir("bin");
    QFile::setPermissions(write("bin/kiriview.ini", "[okini]\r\nkey01=/srv\r\n"), QFile::ReadOwner);
    const auto where = userfiles::choose(path("bin"), answering(false, path("config"), path("cache")));
    QDir().mkpath(where.settingsFolder);
    for (const int open : {0750, 0705}) {
        ::chmod(QFile::encodeName(where.settingsFolder).constData(), mode_t(open));
        userfiles::prepare(where, path("bin"), {});
        EXPECT_EQ(modeOf(where.settingsFolder), 0700) << std::oct << open;
        EXPECT_EQ(modeOf(where.cacheFolder), 0700);
        EXPECT_EQ(readBytes(where.settingsFile()), open == 0750 ? "[okini]\r\nkey01=/srv\r\n" : "mine");
        EXPECT_TRUE(modeOf(where.settingsFile()) & 0200) << "the copy kept the preset's read-only mode";
        writeBytes(where.settingsFile(), "mine");
    }
}

// Installed, the program never writes beside itself, and finds its help page in its own share folder:
// minimal systems drop share/doc, so a page left there is not taken (the source tree's is).
TEST_F(UserFolders, AnInstalledProgramUsesXdgFoldersAndItsOwnHelpPage)
{
    for (const char* made : {"prefix/bin", "portable/bin", "portable/share", "prefix/share/applications",
                             "prefix/share/doc/kiriview/help", "prefix/share/kiriview/help"})
        QDir(folder.path()).mkpath(made);
    write("prefix/share/applications/kiriview.desktop");
    EXPECT_TRUE(userfiles::isInstalled(path("prefix/bin")));
    EXPECT_FALSE(userfiles::isInstalled(path("prefix/share/applications")) || userfiles::isInstalled(path("portable/bin")));
    EXPECT_FALSE(userfiles::choose(path("prefix/bin"), answering(true, "", "")).besideProgram);
    EXPECT_TRUE(userfiles::choose(path("portable/bin"), answering(true, "", "")).besideProgram);
    Services installed;
    installed.programFolder = path("prefix/bin");
    const ScopedServices scope(installed);
    EXPECT_NE(helpFile(), write("prefix/share/doc/kiriview/help/index.html"));
    EXPECT_EQ(helpFile(), write("prefix/share/kiriview/help/index.html"));
}

// Relative config dirs are skipped; the first that holds a preset counts, one beside the program first of all.
TEST_F(UserFolders, ThePresetComesFromBesideTheProgramElseTheFirstConfigDir)
{
    QDir(folder.path()).mkpath("bin");
    auto env = answering(false, path("config"), path("cache"));
    env.configDirs = "relative:" + path("first") + ":" + path("second");
    for (const char* preset : {"second/kiriview/kiriview.ini", "first/kiriview/kiriview.ini", "bin/kiriview.ini"}) {
        QDir(folder.path()).mkpath(QFileInfo(preset).path());
        const QString written = write(preset, preset);
        EXPECT_EQ(userfiles::presetFile(path("bin"), env), written);
    }
    env.configDirs.clear();
    QFile::remove(path("bin/kiriview.ini"));
    const bool systemPreset = QFileInfo::exists("/etc/xdg/kiriview/kiriview.ini");
    EXPECT_EQ(userfiles::presetFile(path("bin"), env), systemPreset ? "/etc/xdg/kiriview/kiriview.ini" : "");
    env.configDirs = path("first");
    const auto where = userfiles::choose(path("bin"), env);
    userfiles::prepare(where, path("bin"), env);
    EXPECT_EQ(readBytes(where.settingsFile()), "first/kiriview/kiriview.ini");
}

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
