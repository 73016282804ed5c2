// Where the settings and the preview go: beside a writable program, else in the user's folders;
// and where the help page is found when installed.
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>

#include "desktop/help_file.h"
#include "desktop/user_files.h"
#include "runtime/services.h"
#include "test_files.h"

namespace {

userfiles::Environment answering(bool writable, QString configHome, QString cacheHome)
{
    return {[writable](const QString&) { return writable; }, QStringLiteral("/home/u"), configHome, cacheHome};
}

int modeOf(const QString& path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

TEST(UserFiles, BesideAWritableProgramFolderElseInXdgFoldersOrHomeDefaults)
{
    struct Case { bool writable; QString config, cache, settings, preview; };
    const Case cases[] = {
        {true, "/x", "/y", "/nowhere/bin/kiriview.ini", "/nowhere/bin/Sample.jpg"},
        {false, "/c", "/k/", "/c/kiriview/kiriview.ini", "/k/kiriview/Sample.jpg"},
        {false, "", "", "/home/u/.config/kiriview/kiriview.ini", "/home/u/.cache/kiriview/Sample.jpg"},
        {false, "rel/c", "./k", "/home/u/.config/kiriview/kiriview.ini", "/home/u/.cache/kiriview/Sample.jpg"},
    };
    for (const Case& c : cases) {
        const auto where = userfiles::choose(QStringLiteral("/nowhere/bin"), answering(c.writable, c.config, c.cache));
        EXPECT_EQ(where.settingsFile(), c.settings) << c.config.toStdString();
        EXPECT_EQ(where.previewFile(), c.preview) << c.cache.toStdString();
    }
}

using UserFolders = ScratchTest;

// A read-only preset beside the program; an open settings folder left by someone, none for the cache.
TEST_F(UserFolders, PrepareMakesPrivateFoldersAndCopiesThePresetOnce)
{
    QDir(folder.path()).mkdir("bin");
    QFile::setPermissions(write("bin/kiriview.ini", "[okini]\r\nkey01=/srv\r\n"), QFile::ReadOwner);
    const auto where = userfiles::choose(path("bin"), answering(false, path("config"), path("cache")));
    QDir().mkpath(where.settingsFolder);
    ::chmod(QFile::encodeName(where.settingsFolder).constData(), 0750); // open to the group only
    userfiles::prepare(where, path("bin"), {});
    EXPECT_EQ(readBytes(where.settingsFile()), QByteArray("[okini]\r\nkey01=/srv\r\n"));
    EXPECT_EQ(modeOf(where.settingsFolder), 0700);
    EXPECT_EQ(modeOf(where.cacheFolder), 0700);
    EXPECT_TRUE(modeOf(where.settingsFile()) & 0200) << "the copy kept the preset's read-only mode";
    ASSERT_TRUE(writeBytes(where.settingsFile(), "mine"));
    ::chmod(QFile::encodeName(where.settingsFolder).constData(), 0705); // open to others only
    userfiles::prepare(where, path("bin"), {});
    EXPECT_EQ(readBytes(where.settingsFile()), "mine") << "the preset replaced the user's settings";
    EXPECT_EQ(modeOf(where.settingsFolder), 0700);
}

TEST_F(UserFolders, TheWritableProbeAnswersAndLeavesNothing)
{
    QDir(folder.path()).mkdir("empty");
    const auto probe = userfiles::systemEnvironment().canCreateFileIn;
    EXPECT_TRUE(probe(path("empty")) && !probe(path("missing"))) << "a writable folder refused, or a missing one accepted";
    EXPECT_TRUE(QDir(path("empty")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty()) << "the probe left a file";
}

TEST_F(UserFolders, AnInstalledProgramUsesXdgFoldersEvenWhenWritable)
{
    for (const char* made : {"prefix/bin", "portable/bin", "portable/share", "prefix/share/applications"})
        QDir(folder.path()).mkpath(made);
    write("prefix/share/applications/kiriview.desktop");
    EXPECT_TRUE(userfiles::isInstalled(path("prefix/bin")));
    EXPECT_FALSE(userfiles::isInstalled(path("prefix/share/applications")));
    EXPECT_FALSE(userfiles::isInstalled(path("portable/bin")));
    EXPECT_FALSE(userfiles::choose(path("prefix/bin"), answering(true, "", "")).besideProgram);
    EXPECT_TRUE(userfiles::choose(path("portable/bin"), answering(true, "", "")).besideProgram);
}

TEST_F(UserFolders, ThePresetComesFromBesideTheProgramElseTheFirstConfigDir)
{
    for (const char* made : {"bin", "second/kiriview", "first/kiriview"})
        QDir(folder.path()).mkpath(made);
    write("second/kiriview/kiriview.ini", "second");
    auto env = answering(false, path("config"), path("cache"));
    env.configDirs = "relative:" + path("first") + ":" + path("second");
    EXPECT_EQ(userfiles::presetFile(path("bin"), env), path("second/kiriview/kiriview.ini"));
    write("first/kiriview/kiriview.ini", "first");
    EXPECT_EQ(userfiles::presetFile(path("bin"), env), path("first/kiriview/kiriview.ini"));
    write("bin/kiriview.ini", "beside");
    EXPECT_EQ(userfiles::presetFile(path("bin"), env), path("bin/kiriview.ini"));
    env.configDirs.clear();
    QFile::remove(path("bin/kiriview.ini"));
    const bool systemPreset = QFileInfo::exists("/etc/xdg/kiriview/kiriview.ini");
    EXPECT_EQ(userfiles::presetFile(path("bin"), env), systemPreset ? "/etc/xdg/kiriview/kiriview.ini" : "");

    env.configDirs = path("first");
    const auto where = userfiles::choose(path("bin"), env);
    userfiles::prepare(where, path("bin"), env);
    EXPECT_EQ(readBytes(where.settingsFile()), "first");
}

// Minimal systems drop share/doc, so the installed page lives in the program's own
// share folder; a page left under share/doc is not taken (the source tree's is).
TEST_F(UserFolders, HelpPageUnderShareKiriviewIsFoundWithoutShareDoc)
{
    Services installed;
    installed.programFolder = path("usr/bin");
    const ScopedServices scope(installed);
    ASSERT_TRUE(QDir().mkpath(path("usr/bin")) && QDir().mkpath(path("usr/share/doc/kiriview/help"))
                && QDir().mkpath(path("usr/share/kiriview/help")));
    const QString docPage = write("usr/share/doc/kiriview/help/index.html");
    EXPECT_NE(helpFile().toStdString(), docPage.toStdString());
    const QString page = write("usr/share/kiriview/help/index.html");
    QDir(path("usr/share/doc")).removeRecursively();
    EXPECT_EQ(helpFile().toStdString(), page.toStdString());
}
