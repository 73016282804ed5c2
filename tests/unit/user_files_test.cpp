#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "desktop/user_files.h"
#include "test_files.h"

using userfiles::Environment;

namespace {

Environment answering(bool writable, QString configHome, QString cacheHome)
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
        EXPECT_EQ(where.besideProgram, c.writable);
        EXPECT_EQ(where.settingsFile(), c.settings) << c.config.toStdString();
        EXPECT_EQ(where.previewFile(), c.preview) << c.cache.toStdString();
    }
}

TEST(UserFiles, PrepareMakesMissingFoldersAndCopiesThePresetOnlyOnce)
{
    QTemporaryDir dir;
    const QString program = dir.path() + QStringLiteral("/bin");
    QDir().mkpath(program);
    ASSERT_TRUE(writeBytes(program + QStringLiteral("/kiriview.ini"), "[okini]\r\nkey01=/srv\r\n"));
    QFile::setPermissions(program + QStringLiteral("/kiriview.ini"), QFile::ReadOwner);
    const auto where = userfiles::choose(program, answering(false, dir.path() + QStringLiteral("/no/config"),
                                                            dir.path() + QStringLiteral("/no/cache")));
    userfiles::prepare(where, program);
    EXPECT_EQ(readBytes(where.settingsFile()), QByteArray("[okini]\r\nkey01=/srv\r\n"));
    EXPECT_TRUE(QFileInfo(where.settingsFile()).isWritable());
    EXPECT_TRUE(QFileInfo(where.cacheFolder).isDir());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(where.settingsFolder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ASSERT_TRUE(writeBytes(where.settingsFile(), "[okini]\r\nkey02=/mine\r\n"));
    userfiles::prepare(where, program);
    EXPECT_EQ(readBytes(where.settingsFile()), QByteArray("[okini]\r\nkey02=/mine\r\n"));
}

TEST(UserFiles, TheSystemProbeCreatesAFileAndLeavesNothing)
{
    QTemporaryDir dir;
    const auto probe = userfiles::systemEnvironment().canCreateFileIn;
    EXPECT_TRUE(probe(dir.path()));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_FALSE(probe(dir.path() + QStringLiteral("/missing")));
}
