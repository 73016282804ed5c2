// The profile class as its callers see it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/run_time_error.h"
#include "profile/cprof.h"

namespace {

class CProf : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        prof.setStrFileName(path());
        prof.setStrSection("okini");
    }

    QString path() const { return dir.filePath("kiriview.ini"); }

    void write(const QByteArray& bytes) const
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    bool folderEmpty() const { return QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir dir;
    cProf prof;
};

int errorNumberOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RunTimeError& error) {
        return error.number();
    }
    return 0;
}

TEST_F(CProf, PropertiesStoreTheirTextUnchanged)
{
    cProf fresh;
    EXPECT_EQ(fresh.strFileName(), "");
    EXPECT_EQ(fresh.strSection(), "");
    fresh.setStrFileName(" relative\\name.ini ");
    fresh.setStrSection(" Sec ");
    EXPECT_EQ(fresh.strFileName(), " relative\\name.ini ");
    EXPECT_EQ(fresh.strSection(), " Sec ");
}

TEST_F(CProf, WithoutAFileEveryOperationGivesItsNotReadyResult)
{
    write("[okini]\nk=stored\n");
    prof.setStrFileName("");
    EXPECT_EQ(prof.GetString("k", " x "), " x ");
    EXPECT_EQ(prof.GetValue("k", 7), 7);
    EXPECT_EQ(prof.GetValue("k", 2.5), 2);
    EXPECT_FALSE(prof.WriteString("k", "v"));
    EXPECT_FALSE(prof.WriteValue("k", 1));
    EXPECT_FALSE(prof.DeleteKey("k"));
    EXPECT_FALSE(prof.DeleteSection());
    EXPECT_EQ(prof.GetKeyCount(), 0);
    EXPECT_EQ(prof.GetKey(0), "");
    EXPECT_EQ(prof.GetSectionCount(), 0);
    EXPECT_EQ(prof.GetSection(0), "");
    EXPECT_FALSE(prof.Flush());
    EXPECT_EQ(read(), "[okini]\nk=stored\n");
}

TEST_F(CProf, WithoutASectionOnlyTheFileWideOperationsRun)
{
    write("[okini]\nk=stored\n[two]\n");
    prof.setStrSection("");
    EXPECT_EQ(prof.GetString("k", " x "), " x ");
    EXPECT_EQ(prof.GetValue("k", 7), 7);
    EXPECT_FALSE(prof.WriteString("k", "v"));
    EXPECT_FALSE(prof.DeleteKey("k"));
    EXPECT_FALSE(prof.DeleteSection());
    EXPECT_EQ(prof.GetKeyCount(), 0);
    EXPECT_EQ(prof.GetKey(0), "");
    EXPECT_EQ(prof.GetSectionCount(), 1);
    EXPECT_EQ(prof.GetSection(1), "two");
    EXPECT_TRUE(prof.Flush());
    EXPECT_EQ(read(), "[okini]\nk=stored\n[two]\n");
}

TEST_F(CProf, NotReadyTouchesNoFile)
{
    cProf noSection;
    noSection.setStrFileName(path());
    EXPECT_FALSE(noSection.WriteString("k", "v"));
    EXPECT_FALSE(noSection.WriteValue("k", 1));
    EXPECT_EQ(noSection.GetString("k", "d"), "d");
    EXPECT_TRUE(folderEmpty());
}

TEST_F(CProf, AnEmptyKeyReadsNothing)
{
    write("[okini]\n=odd\n");
    EXPECT_EQ(prof.GetString("", "abc"), "abc");
    EXPECT_EQ(prof.GetString("", " abc "), " abc ");
    EXPECT_EQ(prof.GetValue("", 4), 4);
    EXPECT_FALSE(prof.WriteString("", "v"));
    EXPECT_FALSE(prof.DeleteKey(""));
    EXPECT_EQ(read(), "[okini]\n=odd\n");
}

TEST_F(CProf, MissingOrEmptyValuesGiveTheTrimmedDefault)
{
    write("[okini]\nempty=\nblank=   \nvalue= v \n");
    EXPECT_EQ(prof.GetString("missing", "  abc  "), "abc");
    EXPECT_EQ(prof.GetString("empty", "  abc  "), "abc");
    EXPECT_EQ(prof.GetString("blank", "  abc  "), "abc");
    EXPECT_EQ(prof.GetString("value", "  abc  "), "v");
    EXPECT_EQ(prof.GetString("missing", ""), "");
    // Only spaces are trimmed from the default.
    EXPECT_EQ(prof.GetString("missing", "\tabc\t"), "\tabc\t");
    prof.setStrFileName(dir.filePath("absent.ini"));
    EXPECT_EQ(prof.GetString("value", " abc "), "abc");
    EXPECT_TRUE(prof.WriteString("k", "v")); // created on demand
}

TEST_F(CProf, NumericDefaultsBecomeText)
{
    EXPECT_EQ(prof.GetString("missing", 5), "5");
    EXPECT_EQ(prof.GetString("missing", -12), "-12");
}

TEST_F(CProf, WriteValueStoresDecimalText)
{
    EXPECT_TRUE(prof.WriteValue("n", -5));
    EXPECT_TRUE(prof.WriteValue("big", 2147483647));
    EXPECT_EQ(read(), "[okini]\nn=-5\nbig=2147483647\n");
    EXPECT_EQ(prof.GetString("n", ""), "-5");
    EXPECT_EQ(prof.GetValue("n", 0), -5);
}

TEST_F(CProf, GetValueReadsTheNumberOrConvertsTheDefault)
{
    write("[okini]\ntwelve=12\nempty=\nword=abc\n");
    EXPECT_EQ(prof.GetValue("twelve", 0), 12);
    EXPECT_EQ(prof.GetValue("empty", 9), 9);
    EXPECT_EQ(prof.GetValue("word", 9), 0);
    // Defaults round to the nearest integer, halves to the even one.
    EXPECT_EQ(prof.GetValue("missing", 0.5), 0);
    EXPECT_EQ(prof.GetValue("missing", 1.5), 2);
    EXPECT_EQ(prof.GetValue("missing", 2.5), 2);
    EXPECT_EQ(prof.GetValue("missing", -2.5), -2);
    EXPECT_EQ(prof.GetValue("missing", 2.6), 3);
    EXPECT_EQ(prof.GetValue("missing", "12"), 12);
    EXPECT_EQ(prof.GetValue("missing", " 3.5 "), 4);
    EXPECT_EQ(prof.GetValue("missing", "&H10"), 16);
    EXPECT_EQ(prof.GetValue("missing", "-1e2"), -100);
}

TEST_F(CProf, GetValueWithATextDefaultThatIsNoNumberIsATypeMismatch)
{
    write("[okini]\ntwelve=12\n");
    for (const char* text : {"abc", "", " ", "12abc", "1 2", "&H", "1e", "--1"}) {
        EXPECT_EQ(errorNumberOf([&] { prof.GetValue("twelve", text); }), RunTimeError::TypeMismatch) << text;
    }
    prof.setStrFileName("");
    EXPECT_EQ(errorNumberOf([&] { prof.GetValue("twelve", "abc"); }), RunTimeError::TypeMismatch);
    EXPECT_EQ(errorNumberOf([&] { prof.GetValue("twelve", 3e10); }), RunTimeError::Overflow);
}

TEST_F(CProf, WriteStringAnswersTrueOnSuccess)
{
    EXPECT_TRUE(prof.WriteString("k", ""));
    EXPECT_EQ(read(), "[okini]\nk=\n");
    EXPECT_EQ(prof.GetKeyCount(), 1); // an empty text stores the key, it does not remove it
    EXPECT_FALSE(prof.WriteString("k", "line\nbreak"));
    prof.setStrFileName(dir.filePath("no/such/folder/kiriview.ini"));
    EXPECT_FALSE(prof.WriteString("k", "v"));
    EXPECT_TRUE(prof.Flush());
}

TEST_F(CProf, DeleteKeyKeepsTheOtherKeys)
{
    write("[okini]\nkey01=/a\nkey02=/b\n[other]\nkey01=/z\n");
    EXPECT_TRUE(prof.DeleteKey("key01"));
    EXPECT_EQ(prof.GetString("key01", " gone "), "gone");
    EXPECT_EQ(prof.GetString("key02", ""), "/b");
    EXPECT_EQ(read(), "[okini]\nkey02=/b\n[other]\nkey01=/z\n");
    EXPECT_TRUE(prof.DeleteKey("key01")); // nothing left to remove
}

TEST_F(CProf, DeleteSectionRemovesTheHeaderAndAllItsKeys)
{
    write("[okini]\nkey01=/a\nkey02=/b\n[other]\nkey01=/z\n");
    EXPECT_TRUE(prof.DeleteSection());
    EXPECT_EQ(read(), "[other]\nkey01=/z\n");
    EXPECT_EQ(prof.GetString("key01", " none "), "none");
    EXPECT_EQ(prof.GetString("key02", " none "), "none");
    EXPECT_EQ(prof.GetKeyCount(), 0);
    EXPECT_EQ(prof.GetSectionCount(), 0);
    EXPECT_EQ(prof.GetSection(0), "other");
}

TEST_F(CProf, ClearingThenAddingSlotFiveWritesAFreshSectionWithOnlyThatKey)
{
    write("[view]\nzoom=2\n\n[okini]\nkey01=/home/u/a\nkey03=/home/u/c\nkey06=/home/u/f\n");
    EXPECT_TRUE(prof.DeleteSection());
    EXPECT_TRUE(prof.WriteString("key05", "/home/u/写真"));
    EXPECT_EQ(read(), "[view]\nzoom=2\n\n[okini]\nkey05=/home/u/写真\n");
    EXPECT_EQ(prof.GetKeyCount(), 1);
    EXPECT_EQ(prof.GetKey(0), "key05");
    for (const char* key : {"key01", "key02", "key03", "key04", "key06"})
        EXPECT_EQ(prof.GetString(key, ""), "") << key;
}

TEST_F(CProf, KeysAreCountedAndIndexedFromZero)
{
    write("[okini]\na=1\nb=2\n");
    EXPECT_EQ(prof.GetKeyCount(), 2);
    EXPECT_EQ(prof.GetKey(0), "a");
    EXPECT_EQ(prof.GetKey(1), "b");
    EXPECT_EQ(prof.GetKey(2), "");
    EXPECT_EQ(prof.GetKey(-1), "");
    prof.setStrSection("missing");
    EXPECT_EQ(prof.GetKeyCount(), 0);
    EXPECT_EQ(prof.GetKey(0), "");
}

TEST_F(CProf, AnEntryWithoutEqualsCountsButHasNoKey)
{
    write("[okini]\nlonely\nkey=v\n  Spaced Key  = x\n");
    EXPECT_EQ(prof.GetKeyCount(), 3);
    EXPECT_EQ(prof.GetKey(0), "");
    EXPECT_EQ(prof.GetKey(1), "key");
    EXPECT_EQ(prof.GetKey(2), "Spaced Key");
}

TEST_F(CProf, OneByteItemsAreReturned)
{
    write("[a]\nk=1\nx\n[b]\n");
    prof.setStrSection("a");
    EXPECT_EQ(prof.GetKey(0), "k");
    EXPECT_EQ(prof.GetSection(0), "a");
    EXPECT_EQ(prof.GetSection(1), "b");
}

TEST_F(CProf, SectionsAreCountedFromMinusOne)
{
    write("[one]\na=1\n[two]\n");
    EXPECT_EQ(prof.GetSectionCount(), 1);
    EXPECT_EQ(prof.GetSection(0), "one");
    EXPECT_EQ(prof.GetSection(1), "two");
    EXPECT_EQ(prof.GetSection(2), "");
    EXPECT_EQ(prof.GetSection(-1), "");
    write("a=1\n; no sections at all\n");
    EXPECT_EQ(prof.GetSectionCount(), -1);
    EXPECT_EQ(prof.GetSection(0), "");
    prof.setStrFileName(dir.filePath("absent.ini"));
    EXPECT_EQ(prof.GetSectionCount(), -1);
}

TEST_F(CProf, NamesDifferingOnlyInAsciiCaseAreTheSame)
{
    EXPECT_TRUE(prof.WriteString("Key01", "/a"));
    prof.setStrSection("OKINI");
    EXPECT_EQ(prof.GetString("KEY01", ""), "/a");
    EXPECT_TRUE(prof.WriteString("kEy01", "/b"));
    EXPECT_EQ(read(), "[okini]\nKey01=/b\n");
    EXPECT_TRUE(prof.DeleteKey("KEY01"));
    EXPECT_EQ(prof.GetKeyCount(), 0);
    EXPECT_TRUE(prof.DeleteSection());
    EXPECT_EQ(read(), "");
}

TEST_F(CProf, AwkwardFolderPathsReadBackUnchanged)
{
    const QStringList paths = {
        " /home/u/leading blank", "/home/u/trailing blank ", "\"/quoted\"", "'/single'", "/a=b", "/semi;colon",
        "/hash#tag", "/[bracket]", "/R&D", "/home/u/日本語のフォルダ", "C:\\Program Files\\", "\\\\server\\share\\",
        "\"", "/tab\tinside", "\t/tab at start", "/全角　スペース　", "/😀", "= ; # [ ] & \" '",
    };
    for (int i = 0; i < paths.size(); ++i)
        ASSERT_TRUE(prof.WriteString(QString("key%1").arg(i), paths[i])) << paths[i].toStdString();
    cProf again;
    again.setStrFileName(path());
    again.setStrSection("okini");
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(again.GetString(QString("key%1").arg(i), "<default>"), paths[i]) << paths[i].toStdString();
    EXPECT_EQ(again.GetKeyCount(), paths.size());
}

TEST_F(CProf, ListsAreCutAtTheWorkBuffer)
{
    // 1000 entries of 100 bytes plus their 0 byte: 324 fit whole in 32,767 bytes.
    QByteArray file = "[okini]\n";
    for (int i = 0; i < 1000; ++i)
        file += QString("k%1=").arg(i, 4, 10, QChar('0')).toUtf8() + QByteArray(94, 'v') + "\n";
    write(file);
    EXPECT_EQ(prof.GetKeyCount(), 324);
    EXPECT_EQ(prof.GetKey(323), "k0323");
    EXPECT_EQ(prof.GetKey(324), "");
    EXPECT_EQ(prof.GetString("k0999", ""), QString(94, 'v'));
}

TEST_F(CProf, LongValuesAreCutToTheBufferWithoutSplittingACharacter)
{
    EXPECT_TRUE(prof.WriteString("ascii", QString(40000, 'a')));
    EXPECT_EQ(prof.GetString("ascii", ""), QString(32766, 'a'));
    EXPECT_TRUE(prof.WriteString("kana", "a" + QString(11000, u'あ')));
    EXPECT_EQ(prof.GetString("kana", ""), "a" + QString(10921, u'あ'));
}

} // namespace
