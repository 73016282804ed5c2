// The settings engine (INI text in memory, cProf on real files, atomic writes,
// damaged files) and Val, which reads the favorites' slot numbers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/run_time_error.h"
#include "platform/val.h"
#include "profile/atomic_file.h"
#include "profile/cprof.h"
#include "profile/ini_document.h"
#include "profile/ini_encoding.h"
#include "profile/ini_lines.h"

#include "../../fuzz/ini_invariants.h"
#include "../../fuzz/val_invariants.h"

using namespace profile::ini;
using ini_invariants::entries;
using ini_invariants::sectionNames;

namespace {

QByteArray changed(const Edit& edit)
{
    EXPECT_EQ(edit.result, Edit::Result::Changed);
    return edit.file;
}

QByteArray sjis(const QString& text) { return *encodeExactly(text, TextEncoding::ShiftJis); }

TEST(ProfileText, LineKindsNamesAndValues)
{
    const QByteArray file = "top=0\n[OkiNi]\n  Key01 =  plain value  \n; k=comment\n# k=hash\n[no bracket\n"
                            "flag\n=orphan\nc='single'\n  [ spaced ] trailing\nk = v\n[Ä]\nZA=1\n[]\n";
    const std::tuple<const char*, const char*, std::optional<QString>> cases[] = {
        {"okini", "KEY01", "plain value"}, {" okini\t", " key01 ", "plain value"}, {"okini", "top", {}},
        {"", "top", {}}, {"okini", "", {}}, {"okini", "; k", {}}, {"okini", "flag", ""},
        {"okini", "c", "single"}, {"spaced", "K", "v"}, {"Ä", "za", "1"}, {"ä", "za", {}}, {"missing", "k", {}},
    };
    for (const auto& [section, key, value] : cases)
        EXPECT_EQ(findValue(file, section, key), value) << section << "/" << key;
    EXPECT_EQ(sectionNames(file), QStringList({"OkiNi", "spaced", "Ä"}));
    EXPECT_EQ(entries(file, "okini"), QStringList({"Key01=plain value", "flag", "=orphan", "c=single"}));
    EXPECT_EQ(entries(file, "spaced"), QStringList({"k=v"}));
}

TEST(ProfileText, EditsChangeOnlyTheirOwnLines)
{
    const QByteArray file = "; settings\r\n[other]\r\nx=1\r\n\r\n"
                            "[okini]\n  key01 = \"old\"   \rflag\n# note\n\n[last]\ny=2";
    EXPECT_EQ(changed(setValue(file, "OKINI", "key01", "new")), QByteArray(file).replace("= \"old\"   \r", "= new\r"));
    EXPECT_EQ(changed(setValue(file, "okini", "FLAG", "on")), QByteArray(file).replace("\rflag\n", "\rflag=on\n"));
    EXPECT_EQ(changed(setValue(file, "okini", "key05", "")), QByteArray(file).replace("flag\n", "flag\nkey05=\r\n"));
    EXPECT_EQ(changed(setValue(file, "new", "k", "v")), file + "\r\n[new]\r\nk=v\r\n");
    EXPECT_EQ(changed(setValue("[e]", "e", "k", "v")), "[e]\nk=v\n");
    EXPECT_EQ(changed(setValue("[e]\rk=v", "e", "n", "w")), "[e]\rk=v\rn=w\r");
    EXPECT_EQ(changed(setValue("[a]\rk=1\r", "b", "k", "v")), "[a]\rk=1\r[b]\rk=v\r");
    EXPECT_EQ(changed(setValue("\xEF\xBB\xBF", "b", "k", "v")), "\xEF\xBB\xBF[b]\nk=v\n");
    EXPECT_EQ(setValue("[s]\nk=v\n", "s", "K", "v").result, Edit::Result::Unchanged);
    EXPECT_EQ(setValue("[s]\nk = \"v\"\n", "s", "k", "v").result, Edit::Result::Changed);
}

TEST(ProfileText, WritesThatWouldBreakTheLayoutAreRefused)
{
    const QByteArray file = "[s]\nk=v\n";
    for (const QString& value : {QString("a\nb"), QString("a\rb"), QString(QChar(0)) + "x", QString(QChar(0xDC80))})
        EXPECT_EQ(setValue(file, "s", "k", value).result, Edit::Result::Refused);
    for (const QString key : {"", " ", "a=b", "[k", ";k", "#k", "a\nb"})
        EXPECT_EQ(setValue(file, "s", key, "v").result, Edit::Result::Refused) << key.toStdString();
    for (const QString section : {"", "\t", "a]b", "a\rb"})
        EXPECT_EQ(setValue(file, section, "k", "v").result, Edit::Result::Refused);
    EXPECT_EQ(findValue(changed(setValue(file, "[x", "k]", "v")), "[x", "k]"), QString("v"));
}

TEST(ProfileText, EncodingIsUtf8UnlessTheBytesAreNot)
{
    EXPECT_EQ(detectEncoding("k=\xE5\x86\x99").encoding, TextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("k=\x8E\xCA").encoding, TextEncoding::ShiftJis);
    EXPECT_EQ(detectEncoding("\xEF\xBB\xBFk=\x8E\xCA").encoding, TextEncoding::Utf8);
    // Overlong forms, surrogates, values above U+10FFFF and cut sequences are not UTF-8.
    for (const char* bytes : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE5\x86"})
        EXPECT_FALSE(isValidUtf8(bytes)) << bytes;
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(ProfileText, ShiftJisFilesStayShiftJisUntilTheTextNeedsMore)
{
    ASSERT_TRUE(shiftJisAvailable()) << "Qt lacks the ICU Shift_JIS converter";
    // "表" and "ソ" end in the byte of "\", and "ー" ends in "[".
    const QByteArray head = "[" + sjis("お気に入り") + "]\r\n" + sjis("キー") + "=" + sjis("C:\\表示\\ソフト") + "\r\n";
    const QByteArray tail = "[" + sjis("データ") + "]\r\nx=" + sjis("ー") + "\r\n[c]\nk=\x1A\x1C\x7F\\~\n";
    ASSERT_EQ(detectEncoding(head + tail).encoding, TextEncoding::ShiftJis);
    EXPECT_EQ(sectionNames(head + tail), QStringList({"お気に入り", "データ", "c"}));
    EXPECT_EQ(findValue(head + tail, "お気に入り", "キー"), QString("C:\\表示\\ソフト"));
    EXPECT_EQ(findValue(head + tail, "データ", "x"), QString("ー"));
    EXPECT_EQ(findValue(head + tail, "c", "k"), QString("\x1A\x1C\x7F\\~")); // ASCII reads as it is
    EXPECT_EQ(changed(setValue(head + tail, "お気に入り", "key02", "D:\\写真")),
              head + "key02=" + sjis("D:\\写真") + "\r\n" + tail);
    // Text Shift-JIS cannot hold turns the file into UTF-8, unless bytes would be lost.
    EXPECT_EQ(changed(setValue(head, "お気に入り", "e", "😀")), "[お気に入り]\r\nキー=C:\\表示\\ソフト\r\ne=😀\r\n");
    EXPECT_EQ(setValue("[s]\nk=\x80\x85\x40\n", "s", "e", "😀").result, Edit::Result::Refused);
    // Removing the only line that is not UTF-8 converts the rest, so "ﾃｩ" does not turn into "é".
    EXPECT_EQ(changed(removeSection("[s]\nk=\x82\xA0\n[t]\nx=\xC3\xA9\n", "s")), "[t]\nx=ﾃｩ\n");
}

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        prof.setStrFileName(path());
        prof.setStrSection("okini");
    }
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
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    cProf prof;
};

TEST_F(Profile, NotReadyOperationsGiveTheirResultAndTouchNoFile)
{
    cProf bare; // first without a file, then without a section
    bare.setStrSection("okini");
    EXPECT_EQ(bare.GetString("k", " x "), " x ");
    EXPECT_EQ(bare.GetValue("k", 2.5), 2);
    EXPECT_FALSE(bare.WriteString("k", "v"));
    EXPECT_FALSE(bare.WriteValue("k", 1));
    EXPECT_FALSE(bare.DeleteKey("k"));
    EXPECT_FALSE(bare.DeleteSection());
    EXPECT_EQ(bare.GetKeyCount(), 0);
    EXPECT_EQ(bare.GetKey(0), "");
    EXPECT_EQ(bare.GetSectionCount(), 0);
    EXPECT_EQ(bare.GetSection(0), "");
    EXPECT_FALSE(bare.Flush());
    bare.setStrFileName(path());
    bare.setStrSection("");
    EXPECT_FALSE(bare.WriteValue("k", 1));
    EXPECT_EQ(bare.GetSectionCount(), -1);
    // Removing from a missing file succeeds without creating it.
    EXPECT_TRUE(prof.DeleteKey("k"));
    EXPECT_TRUE(prof.DeleteSection());
    EXPECT_TRUE(files().isEmpty());

    const QByteArray file = "k=top\n[okini]\nk=stored\n=odd\n[two]\n";
    write(file);
    EXPECT_EQ(bare.GetString("k", " x "), " x ");
    EXPECT_FALSE(bare.WriteString("k", "v"));
    EXPECT_FALSE(bare.DeleteKey("k"));
    EXPECT_FALSE(bare.DeleteSection());
    EXPECT_EQ(bare.GetSection(1), "two"); // the file-wide operations run
    EXPECT_TRUE(bare.Flush());
    // An empty key reads and writes nothing.
    EXPECT_EQ(prof.GetString("", " abc "), " abc ");
    EXPECT_EQ(prof.GetValue("", 4), 4);
    EXPECT_FALSE(prof.WriteString("", "v"));
    EXPECT_FALSE(prof.DeleteKey(""));
    EXPECT_EQ(read(), file);
}

TEST_F(Profile, GetStringGivesTheSpaceTrimmedDefaultForAMissingOrEmptyValue)
{
    write("[okini]\nempty=\nblank=   \nvalue= v \n");
    for (const char* key : {"missing", "empty", "blank"})
        EXPECT_EQ(prof.GetString(key, "  abc  "), "abc") << key;
    EXPECT_EQ(prof.GetString("value", "  abc  "), "v");
    EXPECT_EQ(prof.GetString("missing", "\tabc\t"), "\tabc\t");
    EXPECT_EQ(prof.GetString("missing", -12), "-12");
    prof.setStrSection("absent");
    EXPECT_EQ(prof.GetString("value", " abc "), "abc");
    prof.setStrFileName(path("absent.ini"));
    EXPECT_EQ(prof.GetString("value", " abc "), "abc");
    // A value reads back as at most 32,766 bytes, never cut inside a character.
    EXPECT_TRUE(prof.WriteString("ascii", QString(32767, 'a')));
    EXPECT_EQ(prof.GetString("ascii", ""), QString(32766, 'a'));
    EXPECT_TRUE(prof.WriteString("kana", "a" + QString(11000, u'あ')));
    EXPECT_EQ(prof.GetString("kana", ""), "a" + QString(10921, u'あ'));
}

TEST_F(Profile, NumbersAreWrittenAsDecimalTextAndReadWithTheirDefaults)
{
    EXPECT_TRUE(prof.WriteValue("n", -5));
    EXPECT_TRUE(prof.WriteValue("big", 2147483647));
    EXPECT_EQ(read(), "[okini]\nn=-5\nbig=2147483647\n");
    write("[okini]\na=12\nb=-7\nc= 42abc\nd=abc\ne=\nf=99999999999\ng=\"5\"\nh=-99999999999\n");
    const std::pair<const char*, int> values[] = {{"a", 12}, {"b", -7}, {"c", 42}, {"d", 0}, {"e", 3},
                                                  {"f", 2147483647}, {"g", 5}, {"h", -2147483647 - 1}, {"x", 3}};
    for (const auto& [key, value] : values)
        EXPECT_EQ(prof.GetValue(key, 3), value) << key;
    // Defaults round to the nearest integer, halves to the even one; a text must hold a number.
    const std::pair<cProf::Default, int> defaults[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {2.6, 3},
                                                       {" 3.5 ", 4}, {"&H10", 16}, {"-1e2", -100}};
    for (const auto& [given, value] : defaults)
        EXPECT_EQ(prof.GetValue("x", given), value);
    const auto raises = [](int n) { return testing::Throws<RunTimeError>(testing::Property(&RunTimeError::number, n)); };
    for (const char* text : {"abc", "", " ", "12abc", "1 2", "&H", "1e", "--1"})
        EXPECT_THAT([&] { prof.GetValue("a", text); }, raises(RunTimeError::TypeMismatch)) << text;
    EXPECT_THAT([&] { prof.GetValue("a", 3e10); }, raises(RunTimeError::Overflow));
    prof.setStrFileName("");
    EXPECT_THAT([&] { prof.GetValue("a", "abc"); }, raises(RunTimeError::TypeMismatch));
}

TEST_F(Profile, DeleteKeyKeepsTheSectionAndDeleteSectionTakesItWhole)
{
    write("[view]\nzoom=2\n\n[okini]\nkey01=/a\n; mine\nkey03=/c\nkey06=/f\n[other]\nkey01=/z\n");
    EXPECT_TRUE(prof.DeleteKey("key01"));
    EXPECT_EQ(read(), "[view]\nzoom=2\n\n[okini]\n; mine\nkey03=/c\nkey06=/f\n[other]\nkey01=/z\n");
    EXPECT_TRUE(prof.DeleteSection());
    EXPECT_EQ(read(), "[view]\nzoom=2\n\n[other]\nkey01=/z\n");
    EXPECT_EQ(prof.GetString("key03", " none "), "none");
    // Clearing then adding slot 5 writes a fresh section holding only that key.
    EXPECT_TRUE(prof.WriteString("key05", "/home/u/写真"));
    EXPECT_EQ(read(), "[view]\nzoom=2\n\n[other]\nkey01=/z\n[okini]\nkey05=/home/u/写真\n");
}

TEST_F(Profile, AwkwardFolderPathsReadBackUnchanged)
{
    const QStringList paths = {
        " /leading blank", "/trailing blank ", "\"/quoted\"", "'/single'", "/a=b", "/semi;colon", "#hash", "[bracket]",
        "/R&D", "/home/u/データ＼フォルダ", "C:\\Program Files\\", "\\\\server\\share\\", "\"", "''", "x\"", "\"x",
        "\t/tab", "/全角　スペース　", "/😀", "'\"mixed\"'", "= ; # [ ] & \" '", "",
    };
    for (int i = 0; i < paths.size(); ++i)
        ASSERT_TRUE(prof.WriteString(QString("key%1").arg(i), paths[i])) << paths[i].toStdString();
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(prof.GetString(QString("key%1").arg(i), "<default>"), paths[i].isEmpty() ? "<default>" : paths[i]);
    EXPECT_EQ(prof.GetKeyCount(), paths.size());
    EXPECT_FALSE(prof.WriteString("bad", "/line\nbreak"));
    // Quotes are added only where reading would otherwise change the value.
    EXPECT_TRUE(read().contains("\nkey4=/a=b\nkey5=/semi;colon\n"));
    EXPECT_TRUE(read().contains("\nkey0=\" /leading blank\"\n"));
}

TEST_F(Profile, AWriteInterruptedBeforeItsRenameLeavesTheOldFile)
{
    profile::setBeforeRenameHookForTesting([](const QString&) { return false; });
    EXPECT_FALSE(prof.WriteString("key01", "/b"));
    EXPECT_TRUE(files().isEmpty());
    const QByteArray old = "; mine\r\n[okini]\r\nkey01=/a\r\n[other]\r\nx=1\r\n";
    write(old);
    profile::setBeforeRenameHookForTesting([&](const QString& target) {
        EXPECT_EQ(target, path());
        EXPECT_EQ(read(), old); // the new text is still in the temporary file
        return false;
    });
    EXPECT_FALSE(prof.WriteString("key01", "/b"));
    EXPECT_EQ(read(), old);
    EXPECT_EQ(files(), QStringList({"kiriview.ini"}));
}

TEST_F(Profile, WritesFailWithoutAFolderOrThroughADanglingLinkAndKeepLinksAndPermissions)
{
    prof.setStrFileName(path("no/such.ini"));
    EXPECT_FALSE(prof.WriteString("k", "v"));
    ASSERT_TRUE(QFile::link(path("gone.ini"), path("dangling.ini")));
    prof.setStrFileName(path("dangling.ini"));
    EXPECT_FALSE(prof.WriteString("k", "v"));
    EXPECT_FALSE(QFileInfo::exists(path("gone.ini")));

    write("[okini]\nk=1\n", "real.ini");
    const auto permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(QFile::setPermissions(path("real.ini"), permissions));
    ASSERT_TRUE(QFile::link(path("real.ini"), path()));
    prof.setStrFileName(path());
    EXPECT_TRUE(prof.WriteString("k", "2"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(read("real.ini"), "[okini]\nk=2\n");
    EXPECT_EQ(QFile::permissions(path("real.ini")), permissions | QFileDevice::ReadUser | QFileDevice::WriteUser);
}

// Damaged files: whatever can be read is read, nothing crashes, and a later
// write loses none of the other sections or keys.
TEST_F(Profile, BinaryGarbageIsReadWithoutHarmAndKeptByteForByte)
{
    std::mt19937 random(1);
    cProf keep;
    keep.setStrFileName(path());
    keep.setStrSection("keep");
    for (int round = 0; round < 20; ++round) {
        QByteArray file(20000, '\0');
        for (char& b : file)
            b = static_cast<char>(random());
        file.insert(10000, "\n[keep]\nk=v\n");
        file += "end"; // no break at the end, so the added section's place is known
        write(file);
        EXPECT_EQ(prof.GetKeyCount(), 0);
        EXPECT_EQ(prof.GetString("key01", " none "), "none");
        EXPECT_EQ(keep.GetString("k", ""), "v");
        ASSERT_TRUE(prof.WriteString("key05", "/x"));
        const QByteArray lineBreak = lineBreakOf(file).toByteArray();
        EXPECT_EQ(read(), file + lineBreak + "[okini]" + lineBreak + "key05=/x" + lineBreak) << round;
        ASSERT_TRUE(prof.DeleteSection());
        EXPECT_EQ(read(), file + lineBreak);
    }
}

TEST_F(Profile, CountsAndIndexesWithDuplicatesMarkMixedEndingsAndLinesWithoutEquals)
{
    const QByteArray file = "\xEF\xBB\xBF; kiriview\r\n[okini]\r\nkey01=/a\rno equals sign\n"
                            "  Spaced Key  = x\nkey01=/shadowed\r\n\n[view]\nzoom=2\r[]\n"
                            "[OKINI]\r\nkey02=/b\n[view]\r\nzoom=3\n[x]\ntail without break";
    write(file);
    EXPECT_EQ(prof.GetString("key01", ""), "/a");
    EXPECT_EQ(prof.GetString("key02", ""), "/b");
    EXPECT_EQ(prof.GetKeyCount(), 5);
    const char* keys[] = {"", "key01", "", "Spaced Key", "key01", "key02", ""};
    for (int i = -1; i <= 5; ++i)
        EXPECT_EQ(prof.GetKey(i), keys[i + 1]) << i;
    EXPECT_EQ(prof.GetSectionCount(), 2);
    const char* sections[] = {"", "okini", "view", "x", ""};
    for (int i = -1; i <= 3; ++i)
        EXPECT_EQ(prof.GetSection(i), sections[i + 1]) << i;

    ASSERT_TRUE(prof.WriteString("key03", "/c"));
    ASSERT_TRUE(prof.WriteString("key01", "/z"));
    QByteArray expected = file;
    EXPECT_EQ(read(), expected.replace("=/a\r", "=/z\r").replace("=/shadowed\r\n", "=/shadowed\r\nkey03=/c\r\n"));
    ASSERT_TRUE(prof.DeleteKey("key01"));
    EXPECT_EQ(read(), expected.replace("key01=/z\r", "").replace("key01=/shadowed\r\n", ""));
    ASSERT_TRUE(prof.DeleteSection());
    EXPECT_EQ(read(), "\xEF\xBB\xBF; kiriview\r\n[view]\nzoom=2\r[]\n[view]\r\nzoom=3\n[x]\ntail without break");

    EXPECT_EQ(prof.GetKeyCount(), 0);
    EXPECT_EQ(prof.GetKey(0), "");
    write("a=1\n; no sections at all\n");
    EXPECT_EQ(prof.GetSectionCount(), -1);
    EXPECT_EQ(prof.GetSection(0), "");
    prof.setStrFileName(path("absent.ini"));
    EXPECT_EQ(prof.GetSectionCount(), -1);
}

TEST_F(Profile, TenThousandSections)
{
    QByteArray file;
    for (int i = 0; i < 10000; ++i)
        file += QString("[s%1]\nk=%2\n").arg(i, 4, 10, QChar('0')).arg(i).toUtf8();
    write(file);
    // 5,461 names of 5 bytes, each with its 0 byte, and the closing 0 fill the 32,767-byte buffer exactly.
    EXPECT_EQ(prof.GetSectionCount(), 5460);
    EXPECT_EQ(prof.GetSection(5460), "s5460");
    EXPECT_EQ(prof.GetSection(5461), "");
    prof.setStrSection("S9999");
    EXPECT_EQ(prof.GetString("k", ""), "9999");
    prof.setStrSection("s5000");
    ASSERT_TRUE(prof.WriteString("k", "changed"));
    QByteArray expected = file;
    EXPECT_EQ(read(), expected.replace("[s5000]\nk=5000\n", "[s5000]\nk=changed\n"));
    ASSERT_TRUE(prof.DeleteSection());
    EXPECT_EQ(read(), expected.replace("[s5000]\nk=changed\n", ""));
}

TEST_F(Profile, HundredMegabyteFile)
{
    QByteArray body;
    for (int s = 0; body.size() < 100'000'000; ++s)
        body += "[fill" + QByteArray::number(s) + "]\r\n" + QByteArray("k=vvvvvvvvvvvvvvvvvvvv\n").repeated(50);
    body += "[tail]\nkey=end\n";
    const QByteArray head = "[okini]\nkey01=/first\n";
    write(head + body);
    EXPECT_EQ(prof.GetString("key01", ""), "/first");
    EXPECT_EQ(prof.GetKeyCount(), 1);
    ASSERT_TRUE(prof.WriteString("key02", "/second"));
    EXPECT_TRUE(read() == head + "key02=/second\n" + body); // not EXPECT_EQ: no 100 MB message
    EXPECT_EQ(files(), QStringList({"kiriview.ini"}));
    prof.setStrSection("tail");
    EXPECT_EQ(prof.GetString("key", ""), "end");
}

TEST(Val, ReadsTheNumberATextBeginsWith)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, double> cases[] = {
        // Answers to the favorites prompt: these select slot 2, the next ones none.
        {"2", 2}, {" 2", 2}, {"2.0", 2}, {"2abc", 2}, {"&H2", 2}, {"+2", 2}, {"\t\n2 ", 2}, {"20e-1", 2},
        {"0", 0}, {"7", 7}, {"1.5", 1.5}, {"", 0}, {"abc", 0}, {"-3", -3},
        // Blanks, tabs and line feeds are skipped anywhere, a carriage return is not; one sign
        // in front, digits, one point, an exponent with E or D; "&H" and "&O" without a sign.
        {"1 2", 12}, {" 1\t2\n3 ", 123}, {"- 1 . 5", -1.5}, {"1 e 2", 100}, {"& H 1 F", 31}, {"2\r3", 2}, {"\r2", 0},
        {"1E+2", 100}, {"1e-2", 0.01}, {"1D2", 100}, {"-2.5e1", -25}, {".5", 0.5}, {"-.5", -0.5}, {"5.", 5},
        {"1.2.3", 1.2}, {"1,000", 1}, {"1e", 1}, {"1e+", 1}, {"--2", 0}, {"+-2", 0}, {"2-1", 2}, {".", 0}, {"-", 0},
        {"&O17", 15}, {"&o178", 15}, {"&O8", 0}, {"&hff", 255}, {"&HFFFF", 65535}, {"&H1G", 1}, {"&H", 0}, {"&", 0},
        {"&X1", 0}, {"&17", 0}, {"-&H2", 0}, {"&H1.5", 1}, {"123456789012345678901234567890", 1.2345678901234568e29},
        // Full-width forms as a Japanese input method types them; out of range never raises.
        {"２", 2}, {"　２", 2}, {"２．５", 2.5}, {"－３", -3}, {"＆Ｈ２", 2}, {"二", 0}, {"2番", 2},
        {"1e400", inf}, {"-1e400", -inf}, {"1e-400", 0}, {"0e99999999999999999999", 0},
        {"1e99999999999999999999", inf}, {"0.000001e-99999999999", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(Val(QString::fromUtf8(text)), value) << text;
    EXPECT_EQ(Val(QString(100000, u'9')), inf);
    EXPECT_EQ(Val("&H" + QString(1000, u'F')), inf);
}

// Inputs the fuzzers kept, replayed with the same checks.
TEST(ProfileFuzzRegressions, KeptInputsStillHoldTheInvariants)
{
    for (const char* target : {"ini_fuzz", "val_fuzz"}) {
        const QDir folder(QStringLiteral(KIRIVIEW_TEST_DATA "/profile/") + target);
        ASSERT_FALSE(folder.isEmpty(QDir::Files)) << target;
        const auto checkInput = target[0] == 'i' ? ini_invariants::checkInput : val_invariants::checkInput;
        for (const QString& name : folder.entryList(QDir::Files)) {
            QFile file(folder.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            checkInput(file.readAll(), [&](bool condition, const char* what) {
                EXPECT_TRUE(condition) << name.toStdString() << ": " << what;
            });
        }
    }
}

} // namespace
