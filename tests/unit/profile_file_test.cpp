// The profile services on real files: buffer layouts, missing and unusable
// files, and atomic replacement.
#include <gtest/gtest.h>

#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "profile/atomic_file.h"
#include "profile/profile_file.h"

namespace {

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { profile::setBeforeRenameHookForTesting({}); }

    QString path(const QString& name = "kiriview.ini") const { return dir.filePath(name); }

    void write(const QByteArray& bytes, const QString& name = "kiriview.ini") const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const QString& name = "kiriview.ini") const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList folderEntries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir dir;
};

TEST_F(ProfileFile, StringCopiesAtMostSizeMinusOneBytesAndNeverSplitsACharacter)
{
    write("[s]\nk=abcdef\nj=あい\n");
    std::vector<char> buffer(8, 'x');
    EXPECT_EQ(profile::readString("s", "k", "d", std::span(buffer).first(4), path()), 3);
    EXPECT_EQ(QByteArray(buffer.data(), 4), QByteArray("abc\0", 4));
    EXPECT_EQ(buffer[4], 'x');
    EXPECT_EQ(profile::readString("s", "j", "d", std::span(buffer).first(6), path()), 3);
    EXPECT_EQ(QByteArray(buffer.data(), 4), QByteArray("\xE3\x81\x82\0", 4));
    EXPECT_EQ(profile::readString("s", "k", "d", std::span(buffer).first(1), path()), 0);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'x';
    EXPECT_EQ(profile::readString("s", "k", "d", std::span(buffer).first(0), path()), 0);
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(ProfileFile, StringGivesTheDefaultOnlyWhenSomethingIsMissing)
{
    write("[s]\nempty=\n");
    std::vector<char> buffer(64);
    EXPECT_EQ(profile::readString("s", "empty", "dflt", buffer, path()), 0);
    EXPECT_EQ(profile::readString("s", "none", "dflt", buffer, path()), 4);
    EXPECT_STREQ(buffer.data(), "dflt");
    EXPECT_EQ(profile::readString("t", "empty", "dflt", buffer, path()), 4);
    EXPECT_EQ(profile::readString("s", "empty", "dflt", buffer, path("absent.ini")), 4);
}

TEST_F(ProfileFile, IntReadsALeadingDecimalNumber)
{
    write("[s]\na=12\nb=-7\nc= 42abc\nd=abc\ne=\nf=99999999999\ng=\"5\"\nh=-99999999999\n");
    EXPECT_EQ(profile::readInt("s", "a", 3, path()), 12);
    EXPECT_EQ(profile::readInt("s", "b", 3, path()), -7);
    EXPECT_EQ(profile::readInt("s", "c", 3, path()), 42);
    EXPECT_EQ(profile::readInt("s", "d", 3, path()), 0);
    EXPECT_EQ(profile::readInt("s", "e", 3, path()), 3);
    EXPECT_EQ(profile::readInt("s", "f", 3, path()), 2147483647);
    EXPECT_EQ(profile::readInt("s", "g", 3, path()), 5);
    EXPECT_EQ(profile::readInt("s", "h", 3, path()), -2147483647 - 1);
    EXPECT_EQ(profile::readInt("s", "none", 3, path()), 3);
    EXPECT_EQ(profile::readInt("s", "a", 3, path("absent.ini")), 3);
}

TEST_F(ProfileFile, SectionListLayoutAndCutOff)
{
    write("[s]\na=1\nb=2\n[t]\n");
    std::vector<char> buffer(32, 'x');
    EXPECT_EQ(profile::readSection("s", buffer, path()), 8);
    EXPECT_EQ(QByteArray(buffer.data(), 9), QByteArray("a=1\0b=2\0\0", 9));

    // Items are stored whole: with 8 bytes the second no longer fits.
    std::fill(buffer.begin(), buffer.end(), 'x');
    EXPECT_EQ(profile::readSection("s", std::span(buffer).first(9), path()), 8);
    std::fill(buffer.begin(), buffer.end(), 'x');
    EXPECT_EQ(profile::readSection("s", std::span(buffer).first(8), path()), 4);
    EXPECT_EQ(QByteArray(buffer.data(), 5), QByteArray("a=1\0\0", 5));
    EXPECT_EQ(buffer[8], 'x');

    EXPECT_EQ(profile::readSection("t", buffer, path()), 0);
    EXPECT_EQ(QByteArray(buffer.data(), 2), QByteArray("\0\0", 2));
    EXPECT_EQ(profile::readSection("u", buffer, path()), 0);
    EXPECT_EQ(profile::readSection("s", buffer, path("absent.ini")), 0);
}

TEST_F(ProfileFile, SectionNamesInFileOrderOnce)
{
    write("x=0\n[one]\n[two]\n[ONE]\n[]\n[three]\n");
    std::vector<char> buffer(64);
    const int n = profile::readSectionNames(buffer, path());
    EXPECT_EQ(QByteArray(buffer.data(), n + 1), QByteArray("one\0two\0three\0\0", 15));
}

TEST_F(ProfileFile, WriteCreatesFileSectionAndKey)
{
    EXPECT_TRUE(profile::writeString(QString("okini"), QString("key01"), QString("/home/u"), path()));
    EXPECT_EQ(read(), "[okini]\nkey01=/home/u\n");
    EXPECT_TRUE(profile::writeString(QString("okini"), QString("key02"), QString(""), path()));
    EXPECT_EQ(read(), "[okini]\nkey01=/home/u\nkey02=\n");
}

TEST_F(ProfileFile, NullArgumentsRemoveKeyOrSectionOrFlush)
{
    write("[a]\nk=1\nj=2\n[b]\nx=1\n");
    EXPECT_TRUE(profile::writeString(QString("a"), QString("k"), std::nullopt, path()));
    EXPECT_EQ(read(), "[a]\nj=2\n[b]\nx=1\n");
    EXPECT_TRUE(profile::writeString(QString("a"), std::nullopt, std::nullopt, path()));
    EXPECT_EQ(read(), "[b]\nx=1\n");
    EXPECT_TRUE(profile::writeString(std::nullopt, std::nullopt, std::nullopt, path()));
    EXPECT_EQ(read(), "[b]\nx=1\n");
    EXPECT_FALSE(profile::writeString(std::nullopt, QString("k"), QString("v"), path()));
    EXPECT_FALSE(profile::writeString(QString("b"), QString("k"), QString("v"), QString()));
}

TEST_F(ProfileFile, RemovingFromAMissingFileSucceedsWithoutCreatingIt)
{
    EXPECT_TRUE(profile::writeString(QString("a"), QString("k"), std::nullopt, path()));
    EXPECT_TRUE(profile::writeString(QString("a"), std::nullopt, std::nullopt, path()));
    EXPECT_TRUE(profile::writeString(std::nullopt, std::nullopt, std::nullopt, path()));
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(ProfileFile, SomethingThatIsNotARegularFileIsNeverWrittenOver)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    std::vector<char> buffer(16);
    EXPECT_EQ(profile::readString("s", "k", "d", buffer, path("folder.ini")), 1);
    EXPECT_FALSE(profile::writeString(QString("s"), QString("k"), QString("v"), path("folder.ini")));
    EXPECT_TRUE(QFileInfo(path("folder.ini")).isDir());
    // A missing folder is not created.
    EXPECT_FALSE(profile::writeString(QString("s"), QString("k"), QString("v"), path("no/such.ini")));
    // A dangling link is not replaced by a file.
    ASSERT_TRUE(QFile::link(path("gone.ini"), path("link.ini")));
    EXPECT_FALSE(profile::writeString(QString("s"), QString("k"), QString("v"), path("link.ini")));
    EXPECT_FALSE(QFileInfo::exists(path("gone.ini")));
}

TEST_F(ProfileFile, ALinkIsFollowedAndKept)
{
    write("[s]\nk=1\n", "real.ini");
    ASSERT_TRUE(QFile::link(path("real.ini"), path()));
    EXPECT_TRUE(profile::writeString(QString("s"), QString("k"), QString("2"), path()));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(read("real.ini"), "[s]\nk=2\n");
}

TEST_F(ProfileFile, AWriteInterruptedBeforeItsRenameLeavesTheOldFile)
{
    const QByteArray old = "; mine\r\n[okini]\r\nkey01=/a\r\n[other]\r\nx=1\r\n";
    write(old);
    profile::setBeforeRenameHookForTesting([&](const QString& target) {
        EXPECT_EQ(target, path());
        EXPECT_EQ(read(), old); // the new text is still in the temporary file
        return false;
    });
    EXPECT_FALSE(profile::writeString(QString("okini"), QString("key01"), QString("/b"), path()));
    EXPECT_FALSE(profile::writeString(QString("okini"), std::nullopt, std::nullopt, path()));
    EXPECT_EQ(read(), old);
    EXPECT_EQ(folderEntries(), QStringList({"kiriview.ini"}));

    profile::setBeforeRenameHookForTesting({});
    EXPECT_TRUE(profile::writeString(QString("okini"), QString("key01"), QString("/b"), path()));
    EXPECT_EQ(read(), "; mine\r\n[okini]\r\nkey01=/b\r\n[other]\r\nx=1\r\n");
    EXPECT_EQ(folderEntries(), QStringList({"kiriview.ini"}));
}

TEST_F(ProfileFile, AnInterruptedFirstWriteLeavesNoFile)
{
    profile::setBeforeRenameHookForTesting([](const QString&) { return false; });
    EXPECT_FALSE(profile::writeString(QString("okini"), QString("key01"), QString("/b"), path()));
    EXPECT_TRUE(folderEntries().isEmpty());
}

TEST_F(ProfileFile, ReplacingKeepsTheFilesPermissions)
{
    write("[s]\nk=1\n");
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(path(), permissions));
    EXPECT_TRUE(profile::writeString(QString("s"), QString("k"), QString("2"), path()));
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                      | QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                      | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    EXPECT_EQ(QFile::permissions(path()) & mode, permissions);
}

} // namespace
