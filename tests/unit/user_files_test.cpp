// Where the settings and the preview go: beside a writable program, else in the user's folders.
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>

#include "desktop/user_files.h"
#include "test_files.h"

namespace {

userfiles::Environment answering(bool writable, QString configHome, QString cacheHome)
{
    return {[writable](const QString&) { return writable; }, QStringLiteral("/home/u"), configHome, cacheHome};
}

} // namespace

TEST(UserFiles, BesideAWritableProgramFolderElseInXdgFoldersOrHomeDefaults)
{
    struct Case { bool writable; QString config, cache, settings, preview; };
    const Case cases[] = {
        {true, "/x", "/y", "/usr/bin/kiriview.ini", "/usr/bin/Sample.jpg"},
        {false, "/c", "/k/", "/c/kiriview/kiriview.ini", "/k/kiriview/Sample.jpg"},
        {false, "", "", "/home/u/.config/kiriview/kiriview.ini", "/home/u/.cache/kiriview/Sample.jpg"},
        {false, "rel/c", "./k", "/home/u/.config/kiriview/kiriview.ini", "/home/u/.cache/kiriview/Sample.jpg"},
    };
    for (const Case& c : cases) {
        const auto where = userfiles::choose(QStringLiteral("/usr/bin"), answering(c.writable, c.config, c.cache));
        EXPECT_EQ(where.settingsFile(), c.settings) << c.config.toStdString();
        EXPECT_EQ(where.previewFile(), c.preview) << c.cache.toStdString();
    }
}

using UserFolders = ScratchTest;
TEST_F(UserFolders, PrepareMakesMissingFoldersAndCopiesThePresetOnlyOnceAndTheProbeLeavesNothing)
{
    QDir(folder.path()).mkdir("bin");
    QFile::setPermissions(write("bin/kiriview.ini", "[okini]\r\nkey01=/srv\r\n"), QFile::ReadOwner);
    const auto where = userfiles::choose(path("bin"), answering(false, path("no/config"), path("no/cache")));
    userfiles::prepare(where, path("bin"));
    EXPECT_EQ(readBytes(where.settingsFile()), QByteArray("[okini]\r\nkey01=/srv\r\n"));
    EXPECT_TRUE(QFileInfo(where.settingsFile()).isWritable());
    EXPECT_TRUE(QFileInfo(where.cacheFolder).isDir());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(where.settingsFolder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ASSERT_TRUE(writeBytes(where.settingsFile(), "[okini]\r\nkey02=/mine\r\n"));
    userfiles::prepare(where, path("bin"));
    EXPECT_EQ(readBytes(where.settingsFile()), QByteArray("[okini]\r\nkey02=/mine\r\n"));

    QDir(folder.path()).mkdir("empty");
    const auto probe = userfiles::systemEnvironment().canCreateFileIn;
    EXPECT_TRUE(probe(path("empty")) && !probe(path("missing")));
    EXPECT_TRUE(QDir(path("empty")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
}

