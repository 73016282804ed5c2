// Damaged and hostile settings files: whatever can be read is read, nothing
// crashes, and a later write loses none of the other sections or keys.
#include <gtest/gtest.h>

#include <random>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "profile/cprof.h"
#include "profile/ini_document.h"
#include "profile/ini_lines.h"

#include "../../fuzz/ini_invariants.h"
#include "../../fuzz/val_invariants.h"

namespace {

class ProfileBadFiles : public ::testing::Test {
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
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    cProf prof;
};

QByteArray garbage(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(static_cast<qsizetype>(size), '\0');
    for (char& b : bytes)
        b = static_cast<char>(random() & 0xFF);
    return bytes;
}

TEST_F(ProfileBadFiles, BinaryGarbageIsReadWithoutHarmAndKeptByteForByte)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        QByteArray file = garbage(20000, seed);
        file.insert(10000, "\n[keep]\nk=v\n");
        write(file);
        EXPECT_GE(prof.GetSectionCount(), 0);
        EXPECT_EQ(prof.GetKeyCount(), 0);
        EXPECT_EQ(prof.GetString("key01", " none "), "none");
        for (int i = -1; i <= prof.GetSectionCount() + 1; ++i)
            prof.GetSection(i);
        cProf keep;
        keep.setStrFileName(path());
        keep.setStrSection("keep");
        EXPECT_EQ(keep.GetString("k", ""), "v");
        for (int i = -1; i <= keep.GetKeyCount(); ++i)
            keep.GetKey(i);

        // Writing adds a section at the end and changes no byte before it.
        ASSERT_TRUE(prof.WriteString("key05", "/home/u/x"));
        const QByteArray after = read();
        ASSERT_TRUE(after.startsWith(file));
        const QByteArray added = after.sliced(file.size());
        EXPECT_TRUE(added.endsWith("[okini]" + profile::ini::lineBreakOf(file).toByteArray() + "key05=/home/u/x" +
                                   profile::ini::lineBreakOf(file).toByteArray()))
            << seed;
        EXPECT_EQ(prof.GetString("key05", ""), "/home/u/x");
        EXPECT_EQ(keep.GetString("k", ""), "v");

        // Clearing takes it away again.
        ASSERT_TRUE(prof.DeleteSection());
        EXPECT_TRUE(read().startsWith(file));
        EXPECT_LE(read().size(), file.size() + 2);
    }
}

TEST_F(ProfileBadFiles, LinesWithoutEqualsDuplicatesMarkAndMixedEndings)
{
    const QByteArray file = "\xEF\xBB\xBF; kiriview\r\n"
                            "[okini]\r\n"
                            "key01=/a\r"
                            "this line has no equals sign\n"
                            "key01=/shadowed\r\n"
                            "[view]\n"
                            "zoom=2\r"
                            "[OKINI]\r\n"
                            "key02=/b\n"
                            "[view]\r\n"
                            "zoom=3\n"
                            "tail without break";
    write(file);
    EXPECT_EQ(prof.GetString("key01", ""), "/a");
    EXPECT_EQ(prof.GetString("key02", ""), "/b");
    EXPECT_EQ(prof.GetKeyCount(), 4);
    EXPECT_EQ(prof.GetKey(1), "");
    EXPECT_EQ(prof.GetSectionCount(), 1);
    EXPECT_EQ(prof.GetSection(1), "view");

    ASSERT_TRUE(prof.WriteString("key03", "/c"));
    ASSERT_TRUE(prof.WriteString("key01", "/z"));
    QByteArray expected = file;
    expected.replace("key01=/a\r", "key01=/z\r").replace("key01=/shadowed\r\n", "key01=/shadowed\r\nkey03=/c\r\n");
    EXPECT_EQ(read(), expected);

    ASSERT_TRUE(prof.DeleteSection());
    EXPECT_EQ(read(), "\xEF\xBB\xBF; kiriview\r\n[view]\nzoom=2\r[view]\r\nzoom=3\ntail without break");
}

TEST_F(ProfileBadFiles, TenThousandSections)
{
    QByteArray file;
    for (int i = 0; i < 10000; ++i)
        file += QString("[s%1]\nk=%2\n").arg(i, 5, 10, QChar('0')).arg(i).toUtf8();
    write(file);

    // Names of 6 bytes and their 0 byte: 4,680 fit in the work buffer.
    EXPECT_EQ(prof.GetSectionCount(), 4679);
    EXPECT_EQ(prof.GetSection(4679), "s04679");
    EXPECT_EQ(prof.GetSection(4680), "");
    prof.setStrSection("S09999");
    EXPECT_EQ(prof.GetString("k", ""), "9999");

    prof.setStrSection("s05000");
    ASSERT_TRUE(prof.WriteString("k", "changed"));
    QByteArray expected = file;
    expected.replace("[s05000]\nk=5000\n", "[s05000]\nk=changed\n");
    EXPECT_EQ(read(), expected);

    ASSERT_TRUE(prof.DeleteSection());
    expected.replace("[s05000]\nk=changed\n", "");
    EXPECT_EQ(read(), expected);
}

// Writes the file in pieces and hashes the same bytes, with the given line
// inserted after the first piece.
QByteArray writeLargeFile(const QString& path, qint64 targetSize, const QByteArray& inserted)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QCryptographicHash expected(QCryptographicHash::Sha256);
    const QByteArray head = "[okini]\nkey01=/first\n";
    file.write(head);
    expected.addData(head);
    expected.addData(inserted);
    QByteArray chunk;
    for (int k = 0; k < 50; ++k)
        chunk += QString("k%1=%2\n").arg(k).arg(QString(20, QChar('v'))).toUtf8();
    qint64 written = head.size();
    for (int section = 0; written < targetSize; ++section) {
        const QByteArray block = QString("[fill%1]\r\n").arg(section).toUtf8() + chunk;
        file.write(block);
        expected.addData(block);
        written += block.size();
    }
    const QByteArray tail = "[tail]\nkey=end\n";
    file.write(tail);
    expected.addData(tail);
    return expected.result();
}

QByteArray hashOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

TEST_F(ProfileBadFiles, HundredMegabyteFile)
{
    const QByteArray inserted = "key02=/second\n";
    const QByteArray expectedHash = writeLargeFile(path(), 100'000'000, inserted);
    ASSERT_FALSE(expectedHash.isEmpty());
    const qint64 size = QFileInfo(path()).size();

    EXPECT_EQ(prof.GetString("key01", ""), "/first");
    EXPECT_EQ(prof.GetKeyCount(), 1);
    cProf tail;
    tail.setStrFileName(path());
    tail.setStrSection("tail");
    EXPECT_EQ(tail.GetString("key", ""), "end");

    ASSERT_TRUE(prof.WriteString("key02", "/second"));
    EXPECT_EQ(QFileInfo(path()).size(), size + inserted.size());
    EXPECT_EQ(hashOf(path()), expectedHash);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// Inputs the fuzzers kept (crashes and broken invariants they found, and
// hand-made awkward cases) replayed with the same checks.
TEST(ProfileFuzzRegressions, IniInputs)
{
    const QDir folder(QStringLiteral(KIRIVIEW_TEST_DATA "/profile/ini_fuzz"));
    const QStringList names = folder.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray input = file.readAll();
        ini_invariants::checkInput(input, [&](bool condition, const char* what) {
            EXPECT_TRUE(condition) << name.toStdString() << ": " << what;
        });
    }
}

TEST(ProfileFuzzRegressions, ValInputs)
{
    const QDir folder(QStringLiteral(KIRIVIEW_TEST_DATA "/profile/val_fuzz"));
    const QStringList names = folder.entryList(QDir::Files);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray input = file.readAll();
        val_invariants::checkInput(input, [&](bool condition, const char* what) {
            EXPECT_TRUE(condition) << name.toStdString() << ": " << what;
        });
    }
}

} // namespace
