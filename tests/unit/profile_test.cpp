// The settings engine: INI text, Profile on real files, atomic writes.
#include <filesystem>

#include <QDir>
#include <QTemporaryDir>

#include "profile/profile.h"
#include "files/native_names.h"
#include "runtime/services.h"
#include "profile/profile_file.h"
#include "profile/profile_buffer.h"
#include "profile/ini_encoding.h"
#include "test_files.h"

#include "../../fuzz/ini_invariants.h"
#include "../../fuzz/val_invariants.h"

using namespace profile::ini;
using namespace ini_invariants;

namespace {

QByteArray changed(const Edit& edit) { EXPECT_EQ(edit.result, Edit::Result::Changed); return edit.file; }

QByteArray sjis(const QString& text) { return encodeExactly(text, TextEncoding::ShiftJis).value(); }

TEST(ProfileText, LineKindsNamesAndValues)
{
    const QByteArray file = "top=0\n[OkiNi]\n  Key01 =  plain value  \n; k=comment\n# k=hash\n[no bracket\n"
                            "flag\n=orphan\nc='single'\n  [ spaced ] trailing\nk = v\n[Ä]\nZA=1\n[]\n";
    const std::tuple<const char*, const char*, std::optional<QString>> cases[] = {
        {"okini", "KEY01", "plain value"}, {" okini\t", " key01 ", "plain value"}, {"okini", "top", {}},
        {"", "top", {}}, {"okini", "", {}}, {"okini", "; k", {}}, {"okini", "flag", ""},
        {"okini", "c", "single"}, {"spaced", "K", "v"}, {"Ä", "za", "1"}, {"ä", "za", {}}, {"missing", "k", {}}};
    for (const auto& [section, key, value] : cases)
        EXPECT_EQ(findValue(file, section, key), value) << section << "/" << key;
    EXPECT_EQ(sectionNames(file), QStringList({"OkiNi", "spaced", "Ä"}));
    EXPECT_EQ(entries(file, "okini"), QStringList({"Key01=plain value", "flag", "=orphan", "c=single"}));
}

TEST(ProfileText, EditsChangeOnlyTheirOwnLines)
{
    const QByteArray file = "; settings\r\n[other]\r\nx=1\r\n\r\n"
                            "[okini]\n  key01 = \"old\"   \rflag\n# note\n\n[last]\ny=2";
    EXPECT_EQ(changed(setValue(file, "OKINI", "key01", "new")), QByteArray(file).replace("= \"old\"   \r", "= new\r"));
    EXPECT_EQ(changed(setValue(file, "okini", "FLAG", "on")), QByteArray(file).replace("\rflag\n", "\rflag=on\n"));
    EXPECT_EQ(changed(setValue(file, "okini", "key05", "")), QByteArray(file).replace("flag\n", "flag\nkey05=\r\n"));
    EXPECT_EQ(changed(setValue(file, "new", "k", "v")), file + "\r\n[new]\r\nk=v\r\n");
    EXPECT_EQ(changed(setValue("[e]\rk=v", "e", "n", "w")), "[e]\rk=v\rn=w\r");
    EXPECT_EQ(changed(setValue("\xEF\xBB\xBF", "b", "k", "v")), "\xEF\xBB\xBF[b]\nk=v\n");
    EXPECT_EQ(setValue("[s]\nk=v\n", "s", "K", "v").result, Edit::Result::Unchanged);
    EXPECT_EQ(setValue("[s]\nk = \"v\"\n", "s", "k", "v").result, Edit::Result::Changed);
}

// A cut never splits a character: characters of one, three and four bytes.
TEST(ProfileText, ABufferTakesWholeCharactersOnly)
{
    const QString text = QStringLiteral("ab日本") + QString::fromUcs4(U"\U0001F600") + "c";
    const QByteArray bytes = text.toUtf8(); // whole characters end at 1, 2, 5, 8, 12 and 13 bytes
    const int fits[] = {0, 0, 1, 2, 2, 2, 5, 5, 5, 8, 8, 8, 8, 12, 13, 13};
    for (int size = 1; size < 16; ++size) {
        char buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), 'x');
        EXPECT_EQ(profile::copyToBuffer(text, std::span(buffer, std::size_t(size))), fits[size]) << size;
        EXPECT_EQ(QByteArray(buffer), bytes.left(fits[size])) << size;
    }
    char untouched = 'x';
    EXPECT_EQ(profile::copyToBuffer(text, std::span(&untouched, 0)), 0);
    EXPECT_EQ(untouched, 'x');
}

TEST(ProfileText, FilesAreUtf8UnlessTheBytesAreNot)
{
    // Overlong forms, surrogates, values above U+10FFFF and cut sequences are not UTF-8; a BOM says it is.
    for (const char* bytes : {"k=\xE5\x86\x99\xF0\x9F\x98\x80", "\xEF\xBB\xBFk=\x8E\xCA"})
        EXPECT_EQ(detectEncoding(bytes).encoding, TextEncoding::Utf8) << bytes;
    for (const char* bytes : {"k=\x8E\xCA", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE5\x86"})
        EXPECT_EQ(detectEncoding(bytes).encoding, TextEncoding::ShiftJis) << bytes;
}

// A Shift-JIS file: "表" and "ソ" end in the byte of "\", "ー" ends in "[", "　" and "院" in "@".
struct ShiftJisText : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(shiftJisAvailable()) << "Qt lacks the ICU Shift_JIS converter"; }
    const QByteArray head = "[" + sjis("お気に入り") + "]\r\n" + sjis("キー") + "=" + sjis("C:\\表示\\ソフト　院") + "\r\n";
    const QByteArray tail = "[" + sjis("データ") + "]\r\nx=" + sjis("ー") + "\r\n[c]\nk=\x1A\x1C\x7F\\~\n";
};

TEST_F(ShiftJisText, NamesAndValuesReadWhateverTheirLastByte)
{
    EXPECT_EQ(sectionNames(head + tail), QStringList({"お気に入り", "データ", "c"}));
    const QStringList values = {findValue(head + tail, "お気に入り", "キー").value_or("?"), findValue(head + tail, "データ", "x").value_or("?"),
                                findValue(head + tail, "c", "k").value_or("?")};
    EXPECT_EQ(values, QStringList({"C:\\表示\\ソフト　院", "ー", "\x1A\x1C\x7F\\~"}));
}

// Text Shift-JIS cannot hold turns the file into UTF-8, unless bytes would be lost.
TEST_F(ShiftJisText, AFileStaysShiftJisUntilTheTextDoesNotFit)
{
    EXPECT_EQ(changed(setValue(head + tail, "お気に入り", "key02", "D:\\写真")),
              head + "key02=" + sjis("D:\\写真") + "\r\n" + tail);
    EXPECT_EQ(changed(setValue(head, "お気に入り", "e", "😀")), "[お気に入り]\r\nキー=C:\\表示\\ソフト　院\r\ne=😀\r\n");
    EXPECT_EQ(setValue("[s]\nk=\x80\x85\x40\n", "s", "e", "😀").result, Edit::Result::Refused)
        << "a byte neither Shift-JIS nor UTF-8 would be lost";
    // Removing the only line that is not UTF-8 converts the rest, so "ﾃｩ" does not turn into "é".
    EXPECT_EQ(changed(removeSection("[s]\nk=\x82\xA0\n[t]\nx=\xC3\xA9\n", "s")), "[t]\nx=ﾃｩ\n");
}

// Profile on a real file, in a folder named in bytes that are not UTF-8, which every write keeps.
struct ProfileTest : ::testing::Test {
    ProfileTest() { std::filesystem::create_directory(folder.constData()); prof.setFileName(path()); prof.setSection("okini"); }
    ~ProfileTest() override { std::filesystem::remove_all(folder.constData()); } // Qt's clean-up cannot reach it
    QString path() const { return native_names::decode(folder + "/kiriview.ini"); }
    void write(const QByteArray& bytes) const { ASSERT_TRUE(writeBytes(path(), bytes)); }
    QByteArray read() const { return readBytes(path()); }

    QTemporaryDir dir;
    const QByteArray folder = native_names::encode(dir.path()) + "/\xff\xfe";
    Profile prof;
    ScopedServices services_{services()};
};

TEST_F(ProfileTest, ValuesReadBackAsWrittenAndMissingOnesAsTheTrimmedDefault)
{
    write("[okini]\nempty=\nblank=   \nvalue= v \n");
    for (const char* key : {"missing", "empty", "blank", "value"})
        EXPECT_EQ(prof.getString(key, "  abc  "), key[0] == 'v' ? "v" : "abc") << key;
    const QStringList paths = {" /leading blank", "/trailing blank ", "\"/quoted\"", "'/single'", "/a=b", "/semi;colon",
                               "#hash", "[bracket]", "C:\\Program Files\\", "\"", "x\"", "\t/tab", "/全角　スペース　", "\"\"", "''", ""};
    for (int i = 0; i < paths.size(); ++i)
        ASSERT_TRUE(prof.writeString(QString("key%1").arg(i), paths[i])) << paths[i].toStdString();
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(prof.getString(QString(i % 2 ? "KEY%1" : "Key%1").arg(i), "<default>"), paths[i].isEmpty() ? "<default>" : paths[i]);
    EXPECT_FALSE(prof.writeString("bad", "/line\nbreak"));
    // Quotes are added only where reading would otherwise change the value.
    EXPECT_TRUE(read().contains("\nkey0=\" /leading blank\"\n") && read().contains("\nkey4=/a=b\nkey5=/semi;colon\n"))
        << "quotes missing, or added where not needed: " << read().toStdString();
}

TEST_F(ProfileTest, DeletingAKeyOrSectionTakesOnlyItsLines)
{
    write("[view]\nzoom=2\n\n[okini]\nkey01=/a\n; mine\nkey03=/c\n[other]\nkey01=/z\n");
    EXPECT_EQ(QStringList({prof.sectionAt(0), prof.sectionAt(2), prof.keyAt(0), prof.keyAt(1), prof.keyAt(2)}),
              QStringList({"view", "other", "key01", "key03", ""}));
    EXPECT_TRUE(prof.deleteKey("key01"));
    EXPECT_EQ(read(), "[view]\nzoom=2\n\n[okini]\n; mine\nkey03=/c\n[other]\nkey01=/z\n");
    EXPECT_TRUE(prof.deleteSection());
    EXPECT_EQ(read(), "[view]\nzoom=2\n\n[other]\nkey01=/z\n");
}

TEST_F(ProfileTest, AWriteInterruptedBeforeItsRenameLeavesTheOldFile)
{
    const QByteArray old = "[view]\nzoom=2\n\n[other]\nkey01=/z\n";
    write(old);
    services().beforeRename = [&](const QString& target, const QString&) { return target != path(); };
    EXPECT_FALSE(prof.writeString("key01", "/b"));
    EXPECT_EQ(read(), old);
    EXPECT_EQ(native_names::entries(native_names::decode(folder), native_names::EntryKind::Files), QStringList({"kiriview.ini"}))
        << "the temporary file is left behind";
}

// A file changed behind the program is read again; over 1 MiB it is neither read nor written over.
TEST_F(ProfileTest, AChangedFileIsReadAgainUnlessItIsHuge)
{
    write("[okini]\nkey01=/a\nkey02=/b\n");
    const int before = profile::fileReadsForTesting();
    for (const char* key : {"key01", "key02", "key03", "key01"})
        prof.getString(key, "");
    EXPECT_EQ(profile::fileReadsForTesting(), before + 1);
    const QByteArray huge = "[okini]\nkey01=/a\n" + QByteArray(1 << 20, ';');
    write(huge);
    EXPECT_EQ(prof.getString("key01", "none") + prof.getString("key02", "none"), "nonenone");
    EXPECT_FALSE(prof.writeString("key01", "/b"));
    EXPECT_EQ(read(), huge);
    write(huge.left(1 << 20));
    EXPECT_EQ(prof.getString("key01", "none"), "/a");
}

TEST(ProfileFuzzRegressions, KeptInputsStillHoldTheInvariants)
{
    for (const char* target : {"ini_fuzz", "val_fuzz"}) {
        const QDir folder(QStringLiteral(KIRIVIEW_TEST_DATA "/profile/") + target);
        ASSERT_FALSE(folder.isEmpty(QDir::Files)) << target;
        const auto checkInput = target[0] == 'i' ? ini_invariants::checkInput : val_invariants::checkInput;
        for (const QString& name : folder.entryList(QDir::Files))
            checkInput(readBytes(folder.filePath(name)), [&](bool ok, const char* what) { EXPECT_TRUE(ok) << name.toStdString() << ": " << what; });
    }
}

} // namespace
