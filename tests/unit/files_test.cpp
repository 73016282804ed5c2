// Files as the browser meets them: their length and date, and names as people have them.
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>

#include "fake_drives.h"
#include "files/drives.h"
#include "files/files.h"
#include "files/native_names.h"
#include "files/stand_in_folder.h"
#include "files/wildcard.h"
#include "files/paths.h"
#include "test_files.h"

namespace {

using Files = ScratchTest;

// The length beyond 4 GB; the last change, rounded down to whole seconds, in local time (here Japan's, off UTC).
TEST_F(Files, FileLenAndFileDateTimeReadWhatTheFileSystemHolds)
{
    ASSERT_EQ(::truncate(QFile::encodeName(write("big.bin")).constData(), 5'000'000'001LL), 0); // sparse
    EXPECT_EQ(FileLen(path("big.bin")), 5'000'000'001LL);
    const std::optional<QByteArray> zone = qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt;
    qputenv("TZ", "JST-9");
    ::tzset();
    const QDateTime when(QDate(2000, 5, 20), QTime(2, 36, 12), Qt::LocalTime);
    const timespec times[2] = {{when.toSecsSinceEpoch(), 700'000'000}, {when.toSecsSinceEpoch(), 700'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(write("a.jpg")).constData(), times, 0), 0);
    const QDateTime read = FileDateTime(path("a.jpg"));
    zone ? qputenv("TZ", *zone) : qunsetenv("TZ");
    ::tzset();
    EXPECT_EQ(read, when) << "not the change time, or not rounded down to whole seconds";
    EXPECT_EQ(read.time(), when.time()) << "not in local time";
}

TEST(NativeNames, EveryByteStringSurvivesTheRoundTrip)
{
    // Cut, overlong, surrogate, beyond-range sequences; every single byte.
    QList<QByteArray> names = {"\xE5\x86", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE5\x86\x99\xFF"};
    for (int byte = 1; byte < 256; ++byte)
        names += QByteArray("x") + char(byte) + "y";
    for (const QByteArray& name : names)
        EXPECT_EQ(native_names::encode(native_names::decode(name)), name) << name.toHex().toStdString();
    EXPECT_EQ(native_names::decode("\xF0\x90\x82\x80"), QString::fromUtf8("\xF0\x90\x82\x80")) << "valid UTF-8 decodes as usual";
}

TEST(Wildcard, MatchesIgnoringCaseOnAnyName)
{
    const QString undecodable = native_names::decode(QByteArray("\xff\xfe.kir"));
    const std::tuple<QString, const char16_t*, bool> cases[] = {
        {"A.JPG", u"*.jpg", true},    {".jpg", u"*.jpg", true},      {"x.jpg.jpg", u"*.jpg", true},
        {"a.jpg.txt", u"*.jpg", false}, {"jpg", u"*.jpg", false},      {"a.jpeg", u"*.jp*g", true},
        {"ab.gif", u"a?.gif", true},  {"a.gif", u"a?.gif", false},   {"", u"*", true},
        {"写真.JPG", u"*.jpg", true}, {undecodable, u"*.KIR", true}, {undecodable, u"*.jpg", false},
    };
    for (const auto& [name, pattern, expected] : cases)
        EXPECT_EQ(matchesWildcard(name, pattern), expected)
            << name.toStdString() << " against " << QString::fromUtf16(pattern).toStdString();
}

// A link is listed as what it leads to: one to a folder among the folders, one to a file among the files.
TEST_F(Files, LinksAreListedAsWhatTheyLeadTo)
{
    QDir(folder.path()).mkdir("sub");
    write("a.jpg");
    ASSERT_EQ(::symlink("sub", QFile::encodeName(path("to-sub.jpg")).constData()) | ::symlink("a.jpg", QFile::encodeName(path("to-a.jpg")).constData()), 0);
    for (const auto kind : {native_names::EntryKind::Files, native_names::EntryKind::Folders}) {
        QStringList listed = native_names::entries(folder.path(), kind);
        listed.sort();
        EXPECT_EQ(listed, (kind == native_names::EntryKind::Files ? QStringList{"a.jpg", "to-a.jpg"} : QStringList{"sub", "to-sub.jpg"}));
    }
}

// A drive holds a path only up to a separator: "/ab" holds "/ab/x" and not "/abc", which is on "/".
TEST(Drives, APathIsOnTheLongestDriveThatHoldsItAsAFolder)
{
    const FakeDrives drives({"/", "/a", "/ab", "/media/c/"});
    const std::pair<const char*, const char*> cases[] = {{"/ab/x", "/ab"}, {"/abc", "/"}, {"/a", "/a"}, {"/a/b", "/a"},
                                                         {"/ab", "/ab"}, {"/media/c/d", "/media/c/"}, {"/media/cd", "/"}};
    for (const auto& [path, drive] : cases)
        EXPECT_EQ(driveOf(path), drive) << path;
}

TEST(Paths, AFolderAndANameJoinAndPartWithOneSeparator)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/", "a.jpg", "/a.jpg"}, {"/photos", "B.JPG", "/photos/B.JPG"}, {"/x/y", "z", "/x/y/z"}};
    for (const auto& [folder, name, path] : cases) {
        EXPECT_EQ(fullPath(folder, name), path);
        EXPECT_EQ(folderOf(path), folder);
        EXPECT_EQ(nameOf(path), name);
    }
}

// Qt's file dialog gets a stand-in folder for a name that is not UTF-8, in a folder that
// is UTF-8 and in one that is not; the accepted name comes back as its own bytes.
TEST_F(Files, TheStandInFolderGivesBackTheProposedNamesBytes)
{
    const QByteArray root = native_names::encode(folder.path());
    ASSERT_TRUE(std::filesystem::create_directory((root + "/bad\xff\xfe").constData()));
    for (const QByteArray& file : {root + "/photo\xff.jpg", root + "/bad\xff\xfe/photo\xff.jpg"}) {
        const StandInFolder proposed(native_names::decode(file));
        const QString accepted = QString::fromUtf8(proposed.shown().toUtf8()); // as Qt's dialog holds it
        EXPECT_EQ(accepted, proposed.shown()) << file.toHex().toStdString();
        EXPECT_EQ(native_names::encode(proposed.restore(accepted)), file);
    }
    std::filesystem::remove_all((root + "/bad\xff\xfe").constData()); // Qt's clean-up cannot name it
}

} // namespace
