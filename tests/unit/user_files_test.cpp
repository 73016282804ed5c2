// Where the settings and the preview go: beside a writable program, else in the user's folders;
// where the help page is found when installed.
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
