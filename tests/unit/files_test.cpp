#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "loader_test_pictures.h"
#include "native_test_files.h"
#include "platform/files.h"
#include "platform/native_names.h"
#include "platform/picture_loader.h"
#include "platform/run_time_error.h"

using native_test_files::exists;
using native_test_files::writeFile;

namespace {

class FileFunctions : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes = "data")
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes)) << name.toStdString();
        return path;
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    template <typename Step>
    static int errorOf(Step step)
    {
        try {
            step();
        } catch (const RunTimeError& error) {
            return error.number();
        }
        return 0;
    }

    static void setModified(const QString& path, const QDateTime& when, long nanoseconds = 0)
    {
        const timespec times[2] = {{when.toSecsSinceEpoch(), nanoseconds}, {when.toSecsSinceEpoch(), nanoseconds}};
        ASSERT_EQ(::utimensat(AT_FDCWD, native_names::encode(path).constData(), times, 0), 0);
    }

    QTemporaryDir folder;
};

// A name that is not valid UTF-8, as files from old archives or other systems have.
const QByteArray latin1Name("caf\xE9 \xFF.jpg");

} // namespace

// ---- FileLen and FileDateTime --------------------------------------------

TEST_F(FileFunctions, FileLenGivesBytesBeyond32BitsAndZeroForFolders)
{
    EXPECT_EQ(FileLen(write("empty.jpg", {})), 0);
    EXPECT_EQ(FileLen(write("a.jpg", QByteArray(123456, 'x'))), 123456);

    // A sparse file of 5 GB: its length does not fit 32 bits.
    const QString big = write("big.bin", {});
    ASSERT_EQ(::truncate(QFile::encodeName(big).constData(), 5'000'000'000LL), 0);
    EXPECT_EQ(FileLen(big), 5'000'000'000LL);

    ASSERT_TRUE(QDir(folder.path()).mkdir("x.jpg"));
    EXPECT_EQ(FileLen(path("x.jpg")), 0);

    ASSERT_TRUE(QFile::link(path("a.jpg"), path("link.jpg")));
    EXPECT_EQ(FileLen(path("link.jpg")), 123456);
}

TEST_F(FileFunctions, FileDateTimeGivesLocalModificationTimeInWholeSeconds)
{
    const QString file = write("a.jpg");
    const QDateTime when(QDate(2000, 5, 20), QTime(2, 36, 12), Qt::LocalTime);
    setModified(file, when, 700'000'000);
    EXPECT_EQ(FileDateTime(file), when);
    EXPECT_EQ(FileDateTime(file).timeSpec(), Qt::LocalTime);
}

TEST_F(FileFunctions, MissingFilesRaiseFileNotFound)
{
    const QString gone = write("gone.jpg");
    ASSERT_TRUE(QFile::remove(gone));
    EXPECT_EQ(errorOf([&] { FileLen(gone); }), RunTimeError::FileNotFound);
    EXPECT_EQ(errorOf([&] { FileDateTime(gone); }), RunTimeError::FileNotFound);
    EXPECT_EQ(errorOf([&] { FileLen(QString()); }), RunTimeError::FileNotFound);
    EXPECT_EQ(errorOf([&] { FileLen(path("gone.jpg/inside")); }), RunTimeError::FileNotFound);
}

// ---- Kill ----------------------------------------------------------------

TEST_F(FileFunctions, KillRemovesExactlyTheNamedFile)
{
    for (const char* name : {"*.jpg", "a?.jpg", "[ab].jpg", "a.jpg ", " a.jpg", "a.jpg.", "a.jpg", "ab.jpg", "b.jpg"})
        write(QString::fromUtf8(name));

    Kill(path("*.jpg"));
    Kill(path("a?.jpg"));
    Kill(path("[ab].jpg"));
    Kill(path("a.jpg "));
    EXPECT_FALSE(exists(path("*.jpg")));
    EXPECT_FALSE(exists(path("a?.jpg")));
    EXPECT_FALSE(exists(path("[ab].jpg")));
    EXPECT_FALSE(exists(path("a.jpg ")));
    for (const char* name : {" a.jpg", "a.jpg.", "a.jpg", "ab.jpg", "b.jpg"})
        EXPECT_TRUE(exists(path(QString::fromUtf8(name)))) << name;
}

TEST_F(FileFunctions, KillRefusesMissingFilesFoldersAndEmptyPaths)
{
    const QString file = write("a.jpg");
    Kill(file);
    EXPECT_EQ(errorOf([&] { Kill(file); }), RunTimeError::FileNotFound); // deleting twice
    EXPECT_EQ(errorOf([] { Kill(QString()); }), RunTimeError::FileNotFound);

    ASSERT_TRUE(QDir(folder.path()).mkdir("x.jpg"));
    EXPECT_EQ(errorOf([&] { Kill(path("x.jpg")); }), RunTimeError::FileNotFound);
    EXPECT_TRUE(QFileInfo(path("x.jpg")).isDir());
}

TEST_F(FileFunctions, KillRemovesALinkNotWhatItPointsTo)
{
    const QString target = write("target.jpg");
    ASSERT_TRUE(QFile::link(target, path("link.jpg")));
    Kill(path("link.jpg"));
    EXPECT_FALSE(exists(path("link.jpg")));
    EXPECT_TRUE(exists(target));
}

TEST_F(FileFunctions, KillInAFolderWithoutWriteAccessIsAnAccessError)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir("locked"));
    const QString file = write("locked/a.jpg");
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked")).constData(), 0555), 0);
    {
        native_test_files::Unprivileged user;
        if (!user.active())
            GTEST_SKIP() << "running as root and cannot act as an ordinary user, so every file is deletable";
        EXPECT_EQ(errorOf([&] { Kill(file); }), RunTimeError::PathFileAccess);
    }
    EXPECT_TRUE(exists(file));
    ::chmod(QFile::encodeName(path("locked")).constData(), 0755);
}

// ---- Dir -----------------------------------------------------------------

TEST_F(FileFunctions, DirNamesWhatThePathNames)
{
    write("a.jpg");
    ASSERT_TRUE(QDir(folder.path()).mkpath("WINDOWS/ﾃﾞｽｸﾄｯﾌﾟ"));

    EXPECT_EQ(Dir(path("a.jpg")), "a.jpg");
    EXPECT_EQ(Dir(path("a.jpg"), vbDirectory), "a.jpg");
    EXPECT_EQ(Dir(path("WINDOWS")), ""); // folders only with the directory attribute
    EXPECT_EQ(Dir(path("WINDOWS"), vbDirectory), "WINDOWS");
    EXPECT_EQ(Dir(path("WINDOWS/ﾃﾞｽｸﾄｯﾌﾟ"), vbDirectory), "ﾃﾞｽｸﾄｯﾌﾟ");
    EXPECT_EQ(Dir(path("WINDOWS/ﾃﾞｽｸﾄｯﾌﾟ/"), vbDirectory), "ﾃﾞｽｸﾄｯﾌﾟ");
    EXPECT_EQ(Dir(path("Windows"), vbDirectory), ""); // the name must match exactly
    EXPECT_EQ(Dir(path("missing"), vbDirectory), "");
    EXPECT_EQ(Dir(path("a.jpg/inside"), vbDirectory), "");
    EXPECT_EQ(Dir(path("*.jpg")), ""); // no wildcards
    EXPECT_EQ(Dir(QString()), "");
    EXPECT_EQ(Dir(QStringLiteral("/"), vbDirectory), ""); // the root has no name
}

TEST_F(FileFunctions, DirRaisesWhenThePathCannotBeExamined)
{
    ASSERT_TRUE(QDir(folder.path()).mkpath("closed/WINDOWS"));
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("closed")).constData(), 0700), 0);
    native_test_files::Unprivileged user;
    if (!user.active())
        GTEST_SKIP() << "running as root and cannot act as an ordinary user, so every folder is readable";
    EXPECT_EQ(errorOf([&] { Dir(path("closed/WINDOWS"), vbDirectory); }), RunTimeError::PathFileAccess);
}

// ---- Names as people have them --------------------------------------------

TEST_F(FileFunctions, NamesWithBlanksSymbolsQuotesAndJapaneseWork)
{
    const QByteArray picture = loader_pictures::jpeg(loader_pictures::quadrantPicture(8, 8));
    for (const QString& name : {QStringLiteral("my photo.jpg"), QStringLiteral("Tom & Jerry.jpg"),
                                QStringLiteral("\"quoted\" 'name'.jpg"), QStringLiteral("写真　夏.jpg"),
                                QStringLiteral("$(echo x);.jpg")}) {
        const QString file = write(name, picture);
        EXPECT_EQ(LoadPicture(file).size(), QSize(8, 8)) << name.toStdString();
        EXPECT_EQ(FileLen(file), picture.size());
        EXPECT_EQ(Dir(file), name);
        Kill(file);
        EXPECT_FALSE(exists(file)) << name.toStdString();
    }
}

TEST_F(FileFunctions, NameThatIsNotUtf8IsListedAndReachable)
{
    const QByteArray picture = loader_pictures::jpeg(loader_pictures::quadrantPicture(8, 8));
    ASSERT_TRUE(writeFile(QFile::encodeName(folder.path()) + '/' + latin1Name, picture));
    write("plain.jpg");

    const QStringList names = native_names::entries(folder.path(), native_names::EntryKind::Files);
    const QString listed = native_names::decode(latin1Name);
    ASSERT_TRUE(names.contains(listed));
    ASSERT_TRUE(names.contains("plain.jpg"));

    const QString file = folder.path() + '/' + listed;
    EXPECT_EQ(LoadPicture(file).size(), QSize(8, 8));
    EXPECT_EQ(FileLen(file), picture.size());
    EXPECT_TRUE(FileDateTime(file).isValid());
    EXPECT_EQ(Dir(file), listed);
    Kill(file);
    EXPECT_FALSE(::access((QFile::encodeName(folder.path()) + '/' + latin1Name).constData(), F_OK) == 0);
    EXPECT_TRUE(exists(path("plain.jpg")));
}

TEST(NativeNames, EveryByteStringSurvivesTheRoundTrip)
{
    for (int byte = 1; byte < 256; ++byte) {
        const QByteArray name = QByteArray("x") + char(byte) + "y";
        EXPECT_EQ(native_names::encode(native_names::decode(name)), name) << byte;
    }
    // Cut, overlong, surrogate and beyond-range sequences, and one valid four-byte character
    // whose second half is in the escape range.
    for (const char* name : {"\xE5\x86", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF0\x90\x82\x80",
                             "\xE5\x86\x99\xFF\xE5\x86\x99", "\x80\x80\x80"}) {
        const QByteArray bytes(name);
        EXPECT_EQ(native_names::encode(native_names::decode(bytes)), bytes) << name;
    }
    EXPECT_EQ(native_names::decode("\xF0\x90\x82\x80"), QString::fromUtf8("\xF0\x90\x82\x80"));
}

TEST(NativeNames, ValidUtf8NamesDecodeAsQtDecodesThem)
{
    for (const char* name : {"写真.jpg", "a b&c.jpg", "ﾃﾞｽｸﾄｯﾌﾟ", "emoji 😀.gif"}) {
        EXPECT_EQ(native_names::decode(name), QFile::decodeName(name)) << name;
        EXPECT_EQ(native_names::encode(QFile::decodeName(name)), QByteArray(name)) << name;
    }
    EXPECT_NE(native_names::decode(latin1Name), native_names::decode("caf\xE9 \xFE.jpg")); // distinct names stay distinct
}

TEST(NativeNames, EntriesSeparateFilesFromFolders)
{
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkpath("sub"));
    ASSERT_TRUE(writeFile(folder.filePath("a.jpg"), "x"));
    ASSERT_TRUE(QFile::link(folder.filePath("sub"), folder.filePath("to-sub")));
    ASSERT_TRUE(QFile::link(folder.filePath("a.jpg"), folder.filePath("to-a.jpg")));

    QStringList files = native_names::entries(folder.path(), native_names::EntryKind::Files);
    QStringList folders = native_names::entries(folder.path(), native_names::EntryKind::Folders);
    files.sort();
    folders.sort();
    EXPECT_EQ(files, QStringList({"a.jpg", "to-a.jpg"}));
    EXPECT_EQ(folders, QStringList({"sub", "to-sub"}));
    EXPECT_TRUE(native_names::entries(folder.filePath("missing"), native_names::EntryKind::Files).isEmpty());
}
