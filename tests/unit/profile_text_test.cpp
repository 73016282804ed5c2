// The INI text engine on bytes in memory: layout, names, values, encodings and
// what an edit must leave alone.
#include <gtest/gtest.h>

#include <optional>

#include <QByteArray>
#include <QStringList>
#include <QStringDecoder>

#include "profile/ini_document.h"
#include "profile/ini_encoding.h"

using namespace profile::ini;

namespace {

QStringList entries(QByteArrayView file, const QString& section)
{
    QStringList list;
    forEachEntry(file, section, [&](const QString& entry) {
        list.append(entry);
        return true;
    });
    return list;
}

QStringList sectionNames(QByteArrayView file)
{
    QStringList names;
    forEachSectionName(file, [&](const QString& name) {
        names.append(name);
        return true;
    });
    return names;
}

QByteArray changed(const Edit& edit)
{
    EXPECT_EQ(edit.result, Edit::Result::Changed);
    return edit.file;
}

QByteArray sjis(const QString& text)
{
    return *encodeExactly(text, TextEncoding::ShiftJis);
}

TEST(ProfileText, ReadsKeysOfTheAddressedSectionOnly)
{
    const QByteArray file = "top=0\n[a]\nk=1\n[b]\nk=2\n";
    EXPECT_EQ(findValue(file, "a", "k"), QString("1"));
    EXPECT_EQ(findValue(file, "b", "k"), QString("2"));
    EXPECT_EQ(findValue(file, "a", "top"), std::nullopt);
    EXPECT_EQ(findValue(file, "c", "k"), std::nullopt);
    EXPECT_EQ(findValue(file, "", "top"), std::nullopt);
    EXPECT_EQ(findValue(file, "a", ""), std::nullopt);
}

TEST(ProfileText, NamesIgnoreAsciiCaseAndSurroundingBlanks)
{
    const QByteArray file = "[OkiNi]\n  Key01 =x\n[Ä]\nk=1\n";
    EXPECT_EQ(findValue(file, "okini", "KEY01"), QString("x"));
    EXPECT_EQ(findValue(file, " okini\t", " key01 "), QString("x"));
    EXPECT_EQ(findValue(file, "Ä", "K"), QString("1"));
    EXPECT_EQ(findValue(file, "ä", "k"), std::nullopt); // only ASCII letters fold
    EXPECT_EQ(changed(setValue(file, "OKINI", "KEY01", "y")), "[OkiNi]\n  Key01 =y\n[Ä]\nk=1\n");
}

TEST(ProfileText, LineKinds)
{
    const QByteArray file = "[s]\n; k=comment\n# k=hash\n[no bracket\nplain\n=orphan\n  [ spaced ] trailing\nk = v\n";
    EXPECT_EQ(entries(file, "s"), QStringList({"plain", "=orphan"}));
    EXPECT_EQ(sectionNames(file), QStringList({"s", "spaced"}));
    EXPECT_EQ(findValue(file, "spaced", "k"), QString("v"));
    EXPECT_EQ(findValue(file, "s", "plain"), QString(""));
    EXPECT_EQ(findValue(file, "s", "; k"), std::nullopt);
}

TEST(ProfileText, ValuesAreTrimmedAndLoseOnePairOfQuotes)
{
    const QByteArray file = "[s]\n"
                            "a =  plain value  \n"
                            "b=\"  quoted  \"\n"
                            "c='single'\n"
                            "d=\"\"inner\"\"\n"
                            "e=\"open\n"
                            "f='mixed\"\n"
                            "g=x=y;z#w\n"
                            "h=\"\n";
    EXPECT_EQ(findValue(file, "s", "a"), QString("plain value"));
    EXPECT_EQ(findValue(file, "s", "b"), QString("  quoted  "));
    EXPECT_EQ(findValue(file, "s", "c"), QString("single"));
    EXPECT_EQ(findValue(file, "s", "d"), QString("\"inner\""));
    EXPECT_EQ(findValue(file, "s", "e"), QString("\"open"));
    EXPECT_EQ(findValue(file, "s", "f"), QString("'mixed\""));
    EXPECT_EQ(findValue(file, "s", "g"), QString("x=y;z#w"));
    EXPECT_EQ(findValue(file, "s", "h"), QString("\""));
}

TEST(ProfileText, AwkwardValuesRoundTripAndQuoteOnlyWhenNeeded)
{
    const QStringList values = {
        " C:\\Program Files\\ ", "\"quoted\"", "'single'", "\"", "''", "x\"", "\"x", "a=b", ";semi",
        "#hash", "[bracket]", "a&b", "日本語のフォルダ", "\t tab", " ", "\\\\server\\share", "C:\\",
        "trailing ", "a;b#c[d]e&f=g", "＼全角　スペース　", "😀 emoji", "'\"mixed\"'", "",
    };
    QByteArray file = "[okini]\n";
    for (int i = 0; i < values.size(); ++i)
        file = changed(setValue(file, "okini", QString("k%1").arg(i), values[i]));
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(findValue(file, "okini", QString("k%1").arg(i)), values[i]) << values[i].toStdString();
    EXPECT_TRUE(file.contains("\nk7=a=b\n"));
    EXPECT_TRUE(file.contains("\nk11=a&b\n"));
    EXPECT_TRUE(file.contains("\nk0=\" C:\\Program Files\\ \"\n"));
    EXPECT_TRUE(file.contains("\nk1=\"\"quoted\"\"\n"));
}

TEST(ProfileText, ChangingAValueKeepsEverythingElse)
{
    const QByteArray file = "; settings\r\n"
                            "[other]\r\n"
                            "x=1\r\n"
                            "\r\n"
                            "[okini]\n"
                            "  key01 = \"old\"   \r"
                            "key02=two\n"
                            "# note\n"
                            "\n"
                            "[last]\n"
                            "y=2";
    QByteArray expected = file;
    expected.replace("  key01 = \"old\"   \r", "  key01 = new\r");
    EXPECT_EQ(changed(setValue(file, "okini", "key01", "new")), expected);
}

TEST(ProfileText, NewKeysFollowTheSectionsLastEntry)
{
    const QByteArray file = "[okini]\r\nkey01=a\r\n; about last\r\n\r\n[last]\r\ny=2";
    EXPECT_EQ(changed(setValue(file, "okini", "key05", "b")),
              "[okini]\r\nkey01=a\r\nkey05=b\r\n; about last\r\n\r\n[last]\r\ny=2");
    EXPECT_EQ(changed(setValue("[e]\n\n[f]\n", "e", "k", "v")), "[e]\nk=v\n\n[f]\n");
    // A header on the last line without a break gets one.
    EXPECT_EQ(changed(setValue("[e]", "e", "k", "v")), "[e]\nk=v\n");
    EXPECT_EQ(changed(setValue("[e]\rk=v", "e", "n", "w")), "[e]\rk=v\rn=w\r");
}

TEST(ProfileText, NewSectionsGoAtTheEndWithTheFilesLineBreak)
{
    EXPECT_EQ(changed(setValue("", "okini", "key05", "/x")), "[okini]\nkey05=/x\n");
    EXPECT_EQ(changed(setValue("[a]\r\nk=1", "okini", "key05", "/x")), "[a]\r\nk=1\r\n[okini]\r\nkey05=/x\r\n");
    EXPECT_EQ(changed(setValue("[a]\rk=1\r", "b", "k", "v")), "[a]\rk=1\r[b]\rk=v\r");
    EXPECT_EQ(changed(setValue("\xEF\xBB\xBF", "b", "k", "v")), "\xEF\xBB\xBF[b]\nk=v\n");
}

TEST(ProfileText, AnEntryWithoutEqualsTakesTheValue)
{
    EXPECT_EQ(changed(setValue("[s]\n  flag  \nk=1\n", "s", "FLAG", "on")), "[s]\n  flag=on\nk=1\n");
}

TEST(ProfileText, WritingTheSameValueChangesNothing)
{
    EXPECT_EQ(setValue("[s]\nk=v\n", "s", "k", "v").result, Edit::Result::Unchanged);
    EXPECT_EQ(setValue("[s]\nk = \"v\"\n", "s", "K", "v").result, Edit::Result::Changed);
}

TEST(ProfileText, AnEmptyValueIsStoredNotRemoved)
{
    const QByteArray file = changed(setValue("[s]\nk=v\n", "s", "k", ""));
    EXPECT_EQ(file, "[s]\nk=\n");
    EXPECT_EQ(findValue(file, "s", "k"), QString(""));
}

TEST(ProfileText, WritesThatWouldBreakTheLayoutAreRefused)
{
    const QByteArray file = "[s]\nk=v\n";
    for (const QString& value : {QString("a\nb"), QString("a\rb"), QString(QChar(0)) + "x"})
        EXPECT_EQ(setValue(file, "s", "k", value).result, Edit::Result::Refused);
    for (const QString& key : {"", " ", "a=b", "[k", ";k", "#k", "a\nb"})
        EXPECT_EQ(setValue(file, "s", key, "v").result, Edit::Result::Refused) << key.toStdString();
    for (const QString& section : {"", "\t", "a]b", "a\rb"})
        EXPECT_EQ(setValue(file, section, "k", "v").result, Edit::Result::Refused);
    // Names that are only unusual are fine.
    EXPECT_EQ(findValue(changed(setValue(file, "[x", "k]", "v")), "[x", "k]"), QString("v"));
    // Lone surrogates (text that is not valid Unicode) cannot be stored exactly.
    EXPECT_EQ(setValue(file, "s", "k", QString(QChar(0xDC80))).result, Edit::Result::Refused);
}

TEST(ProfileText, RemovingAKeyRemovesItsLinesOnly)
{
    const QByteArray file = "[s]\r\na=1\r\nb=2\n[t]\na=3\n[S]\nA=4";
    const QByteArray after = changed(removeKey(file, "s", "a"));
    EXPECT_EQ(after, "[s]\r\nb=2\n[t]\na=3\n[S]\n");
    EXPECT_EQ(removeKey(after, "s", "a").result, Edit::Result::Unchanged);
    EXPECT_EQ(removeKey(file, "missing", "a").result, Edit::Result::Unchanged);
}

TEST(ProfileText, RemovingASectionRemovesEveryHeaderWithItsLines)
{
    const QByteArray file = "; top\n[okini]\nkey01=a\n; c\n\n[other]\nx=1\n[OKINI]\nkey02=b\n[tail]\nz=1";
    const QByteArray after = changed(removeSection(file, "okini"));
    EXPECT_EQ(after, "; top\n[other]\nx=1\n[tail]\nz=1");
    EXPECT_EQ(removeSection(after, "okini").result, Edit::Result::Unchanged);
}

TEST(ProfileText, ClearingThenAddingSlotFiveMakesAFreshSection)
{
    const QByteArray file = "[other]\nx=1\n[okini]\nkey01=/a\nkey03=/c\n";
    const QByteArray cleared = changed(removeSection(file, "okini"));
    EXPECT_EQ(changed(setValue(cleared, "okini", "key05", "/e")), "[other]\nx=1\n[okini]\nkey05=/e\n");
}

TEST(ProfileText, DuplicateSectionsAndKeysReadAsOne)
{
    const QByteArray file = "[s]\na=1\n[t]\nx=1\n[S]\na=2\nb=3\n[s]\nb=4\n";
    EXPECT_EQ(findValue(file, "s", "a"), QString("1"));
    EXPECT_EQ(findValue(file, "s", "b"), QString("3"));
    EXPECT_EQ(entries(file, "s"), QStringList({"a=1", "a=2", "b=3", "b=4"}));
    EXPECT_EQ(sectionNames(file), QStringList({"s", "t"}));
    // Setting changes the entry that reads; a new key joins the first header.
    EXPECT_EQ(changed(setValue(file, "s", "b", "9")), "[s]\na=1\n[t]\nx=1\n[S]\na=2\nb=9\n[s]\nb=4\n");
    EXPECT_EQ(changed(setValue(file, "s", "c", "5")), "[s]\na=1\nc=5\n[t]\nx=1\n[S]\na=2\nb=3\n[s]\nb=4\n");
    EXPECT_EQ(changed(removeKey(file, "s", "b")), "[s]\na=1\n[t]\nx=1\n[S]\na=2\n[s]\n");
}

TEST(ProfileText, ByteOrderMarkIsKeptAndNotPartOfTheFirstName)
{
    const QByteArray file = "\xEF\xBB\xBF[okini]\r\nkey01=/写真\r\n";
    EXPECT_EQ(sectionNames(file), QStringList({"okini"}));
    EXPECT_EQ(findValue(file, "okini", "key01"), QString("/写真"));
    EXPECT_EQ(changed(setValue(file, "okini", "key01", "/x")), "\xEF\xBB\xBF[okini]\r\nkey01=/x\r\n");
    // U+FEFF elsewhere is an ordinary character: this line is an entry, not a header.
    const QByteArray inner = "[s]\n\xEF\xBB\xBF[t]\nx=1\n";
    EXPECT_EQ(sectionNames(inner), QStringList({"s"}));
    EXPECT_EQ(entries(inner, "s"), QStringList({"\uFEFF[t]", "x=1"}));
}

TEST(ProfileText, MixedLineEndingsAreEachKept)
{
    const QByteArray file = "[a]\r\nk1=1\rk2=2\n[b]\r\r\nx=1\n\r";
    EXPECT_EQ(entries(file, "a"), QStringList({"k1=1", "k2=2"}));
    EXPECT_EQ(entries(file, "b"), QStringList({"x=1"}));
    EXPECT_EQ(changed(setValue(file, "a", "k2", "two")), "[a]\r\nk1=1\rk2=two\n[b]\r\r\nx=1\n\r");
    EXPECT_EQ(changed(setValue(file, "a", "k3", "3")), "[a]\r\nk1=1\rk2=2\nk3=3\r\n[b]\r\r\nx=1\n\r");
    EXPECT_EQ(changed(removeKey(file, "a", "k1")), "[a]\r\nk2=2\n[b]\r\r\nx=1\n\r");
}

TEST(ProfileText, EncodingIsUtf8UnlessTheBytesAreNot)
{
    EXPECT_EQ(detectEncoding("[a]\nk=v").encoding, TextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("k=\xE5\x86\x99").encoding, TextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("k=\x8E\xCA").encoding, TextEncoding::ShiftJis);
    EXPECT_EQ(detectEncoding("\xEF\xBB\xBFk=\x8E\xCA").encoding, TextEncoding::Utf8);
    EXPECT_EQ(detectEncoding("\xEF\xBB\xBF").bodyStart, 3);
    // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));
    EXPECT_FALSE(isValidUtf8("\xE5\x86"));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(ProfileText, ShiftJisFilesAreReadAndStayShiftJis)
{
    ASSERT_TRUE(shiftJisAvailable()) << "Qt lacks the ICU Shift_JIS converter";
    // "表" and "ソ" end in the byte of "\", and "ー" ends in "[": names must
    // still be found whole.
    const QByteArray file = "[" + sjis("お気に入り") + "]\r\n" + sjis("キー") + "=" + sjis("C:\\表示\\ソフト") +
                            "\r\n[" + sjis("データ") + "]\r\nx=" + sjis("ー") + "\r\n";
    ASSERT_EQ(detectEncoding(file).encoding, TextEncoding::ShiftJis);
    EXPECT_EQ(sectionNames(file), QStringList({"お気に入り", "データ"}));
    EXPECT_EQ(findValue(file, "お気に入り", "キー"), QString("C:\\表示\\ソフト"));
    EXPECT_EQ(findValue(file, "データ", "x"), QString("ー"));

    const QByteArray after = changed(setValue(file, "お気に入り", "key02", "D:\\写真"));
    EXPECT_EQ(after, "[" + sjis("お気に入り") + "]\r\n" + sjis("キー") + "=" + sjis("C:\\表示\\ソフト") +
                         "\r\nkey02=" + sjis("D:\\写真") + "\r\n[" + sjis("データ") + "]\r\nx=" + sjis("ー") +
                         "\r\n");
}

TEST(ProfileText, ShiftJisFilesReadAsciiAsItIs)
{
    // ICU's converter swaps the control codes 0x1A, 0x1C and 0x7F; code page
    // 932 and UTF-8 do not, and neither may the engine, or a file would read
    // differently once its last non-UTF-8 byte is removed.
    const QByteArray file = "[s]\nk=\x1A\x1C\x7F\\~\n[t]\nx=\x82\xA0\n";
    ASSERT_EQ(detectEncoding(file).encoding, TextEncoding::ShiftJis);
    EXPECT_EQ(findValue(file, "s", "k"), QString("\x1A\x1C\x7F\\~"));
    const QByteArray after = changed(removeSection(file, "t"));
    EXPECT_EQ(after, "[s]\nk=\x1A\x1C\x7F\\~\n");
    EXPECT_EQ(findValue(after, "s", "k"), QString("\x1A\x1C\x7F\\~"));
    EXPECT_EQ(encodeExactly("\x1A\\~", TextEncoding::ShiftJis), QByteArray("\x1A\\~"));
}

TEST(ProfileText, TextShiftJisCannotHoldTurnsTheFileIntoUtf8)
{
    const QByteArray file = "[" + sjis("設定") + "]\nk=" + sjis("値") + "\n";
    const QByteArray after = changed(setValue(file, "設定", "emoji", "😀"));
    EXPECT_EQ(after, "[設定]\nk=値\nemoji=😀\n");
    // A Shift-JIS file with bytes that decode to nothing cannot be converted
    // without loss, so the write is refused.
    const QByteArray broken = "[s]\nk=\x80\x85\x40\n";
    EXPECT_EQ(setValue(broken, "s", "emoji", "😀").result, Edit::Result::Refused);
    EXPECT_EQ(findValue(changed(setValue(broken, "s", "x", "写")), "s", "x"), QString("写"));
}

TEST(ProfileText, RemovingTheOnlyShiftJisOddityKeepsTheRestReadable)
{
    // "\xC3\xA9" is "ﾃｩ" in Shift-JIS and "é" in UTF-8. Without the section that
    // holds "あ", the rest would be valid UTF-8 and read differently, so it is
    // converted to UTF-8 with its Shift-JIS meaning.
    const QByteArray file = "[s]\nk=\x82\xA0\n[t]\nx=\xC3\xA9\n";
    ASSERT_EQ(detectEncoding(file).encoding, TextEncoding::ShiftJis);
    ASSERT_EQ(findValue(file, "t", "x"), QString("ﾃｩ"));
    const QByteArray after = changed(removeSection(file, "s"));
    EXPECT_EQ(after, "[t]\nx=ﾃｩ\n");
    EXPECT_EQ(findValue(after, "t", "x"), QString("ﾃｩ"));
}

} // namespace
