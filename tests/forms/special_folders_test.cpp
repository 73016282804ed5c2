// The desktop and recycle-bin buttons: the drive scan over a table of test drives.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/forms.h"
#include "form_fixture.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"
#include "platform/drive_list_box.h"
#include "platform/drives.h"
#include "platform/special_folders.h"

namespace {

const QString notReady = QStringLiteral("デバイスの準備ができていません");
const QString desktopMissing = QStringLiteral("【ﾃﾞｽｸﾄｯﾌﾟ】が見つかりませんでした");
const QString recycledMissing = QStringLiteral("【Recycled】が見つかりませんでした");
const QString pathTitle = QStringLiteral("パスが見つかりません");

class TestDrives : public DriveTable {
public:
    QStringList drives() const override { return list; }
    QStringList list;
};

// Drives are folders of a temporary folder; a drive that is not ready is one
// whose folder does not exist. The program starts on the first drive.
class SpecialFoldersTest : public FormTest {
protected:
    SpecialFoldersTest()
    {
        root_ = QDir(temp_.path()).canonicalPath();
        previousFolder_ = QDir::currentPath();
        forgetCurrentFolders();
        setDriveTable(&table_);
    }
    ~SpecialFoldersTest() override
    {
        unloadAllFormsNow();
        QDir::setCurrent(previousFolder_);
        setDriveTable(nullptr);
        forgetCurrentFolders();
        setSpecialFolderLocations(QString(), QString());
    }

    // Drives named d1, d2, ...; those listed in notReady are not created.
    void makeDrives(int count, const QList<int>& notReadyDrives = {})
    {
        for (int n = 1; n <= count; ++n) {
            if (!notReadyDrives.contains(n))
                QDir(root_).mkpath(driveName(n));
            table_.list << drive(n);
        }
    }
    QString driveName(int n) const { return QStringLiteral("d%1").arg(n); }
    QString drive(int n) const { return root_ + QLatin1Char('/') + driveName(n); }
    void makeFolder(int n, const QString& below) { ASSERT_TRUE(QDir(drive(n)).mkpath(below)); }

    // The user's desktop is u/Desktop below a drive, the trash u/.local/share/Trash.
    void placeUserFoldersOn(int n)
    {
        setSpecialFolderLocations(drive(n) + QStringLiteral("/u/Desktop"),
                                  drive(n) + QStringLiteral("/u/.local/share/Trash"));
    }

    void start()
    {
        QDir::setCurrent(drive(1));
        startProgram();
        form1 = &forms::get<Form1>();
        ASSERT_EQ(form1->Drive1->ListIndex(), 0);
    }

    QStringList titles() const
    {
        QStringList result;
        for (const auto& box : dialogs_->boxes())
            result << box.title;
        return result;
    }

    QTemporaryDir temp_;
    QString root_;
    QString previousFolder_;
    TestDrives table_;
    Form1* form1 = nullptr;
};

TEST_F(SpecialFoldersTest, OnlyTheSecondDriveHoldsTheDesktop)
{
    makeDrives(3);
    makeFolder(2, QStringLiteral("u/Desktop"));
    placeUserFoldersOn(2);
    start();

    form1->Command8->click();

    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form1->Drive1->ListIndex(), 1);
    EXPECT_EQ(form1->Dir1->Path(), drive(2) + QStringLiteral("/u/Desktop"));
    EXPECT_EQ(form1->Text1->text(), form1->Dir1->Path());
    EXPECT_TRUE(form1->selpath.isEmpty());
}

TEST_F(SpecialFoldersTest, TheLastOfTwoMatchingDrivesWins)
{
    makeDrives(4);
    makeFolder(1, QStringLiteral("u/Desktop"));
    makeFolder(3, QStringLiteral("u/Desktop"));
    placeUserFoldersOn(1);
    start();

    form1->Command8_Click();

    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form1->Drive1->ListIndex(), 2);
    EXPECT_EQ(form1->Text1->text(), drive(3) + QStringLiteral("/u/Desktop"));
}

TEST_F(SpecialFoldersTest, NoMatchingDriveSelectsTheFirstAndSaysSoOnce)
{
    makeDrives(3);
    makeFolder(1, QStringLiteral("u"));
    placeUserFoldersOn(1);
    start();
    dialogs_->answerMessage();

    form1->Command8_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, desktopMissing);
    EXPECT_EQ(dialogs_->last().title, pathTitle);
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::Exclamation);
    EXPECT_EQ(form1->Drive1->ListIndex(), 0);
    // The folder list stays on the first drive's folder, and the box shows it.
    EXPECT_EQ(form1->Dir1->Path(), drive(1));
    EXPECT_EQ(form1->Text1->text(), drive(1));
}

TEST_F(SpecialFoldersTest, NoMatchWithTheFirstDriveNotReadyShowsBothMessages)
{
    makeDrives(3, {1});
    makeFolder(2, QStringLiteral("u"));
    placeUserFoldersOn(2);
    QDir::setCurrent(drive(2));
    startProgram();
    form1 = &forms::get<Form1>();
    ASSERT_EQ(form1->Drive1->ListIndex(), 1);
    dialogs_->answerMessage().answerMessage().answerMessage();

    form1->Command8_Click();

    // Once in the scan and once more when the first entry is chosen at the end.
    EXPECT_EQ(titles(), (QStringList{QStringLiteral("ドライブ情報"), QStringLiteral("ドライブ情報"), pathTitle}));
    EXPECT_EQ(dialogs_->boxes()[0].text, notReady);
    EXPECT_EQ(dialogs_->boxes()[0].style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(dialogs_->boxes()[2].text, desktopMissing);
    EXPECT_EQ(form1->Text1->text(), form1->Dir1->Path());
}

// The search on a drive that is not ready reads the drive the list went back
// to, so right after a match it matches too; choosing it at the end fails
// and the scan's last drive is where the folder list stays.
TEST_F(SpecialFoldersTest, ADriveNotReadyRightAfterAMatchBecomesTheMatch)
{
    makeDrives(3, {2});
    makeFolder(1, QStringLiteral("u/Desktop"));
    placeUserFoldersOn(1);
    start();
    dialogs_->answerMessage().answerMessage().answerMessage();

    form1->Command8_Click();

    EXPECT_EQ(titles(), (QStringList{QStringLiteral("ドライブ情報"), QStringLiteral("ドライブ情報"), pathTitle}));
    EXPECT_EQ(dialogs_->boxes()[2].text, desktopMissing);
    EXPECT_EQ(dialogs_->boxes()[2].style, MsgBoxStyle::Exclamation);
    EXPECT_EQ(form1->Drive1->ListIndex(), 2);
    EXPECT_EQ(form1->Text1->text(), drive(3));
}

TEST_F(SpecialFoldersTest, ADriveNotReadyBeforeTheMatchOnlyCostsItsMessage)
{
    makeDrives(3, {2});
    makeFolder(3, QStringLiteral("u/Desktop"));
    placeUserFoldersOn(3);
    start();
    dialogs_->answerMessage();

    form1->Command8_Click();

    EXPECT_EQ(titles(), QStringList{QStringLiteral("ドライブ情報")});
    EXPECT_EQ(form1->Drive1->ListIndex(), 2);
    EXPECT_EQ(form1->Text1->text(), drive(3) + QStringLiteral("/u/Desktop"));
}

TEST_F(SpecialFoldersTest, AFolderDifferingInLetterCaseDoesNotMatch)
{
    makeDrives(2);
    makeFolder(2, QStringLiteral("u/desktop"));
    makeFolder(2, QStringLiteral("U/Desktop"));
    placeUserFoldersOn(2);
    start();
    dialogs_->answerMessage();

    form1->Command8_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, desktopMissing);
    EXPECT_EQ(form1->Drive1->ListIndex(), 0);
}

TEST_F(SpecialFoldersTest, RecycleBinOpensTheTrashFilesWithoutAFinalSeparator)
{
    makeDrives(2);
    makeFolder(2, QStringLiteral("u/.local/share/Trash/files"));
    placeUserFoldersOn(2);
    start();

    form1->Command9->click();

    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form1->Drive1->ListIndex(), 1);
    EXPECT_EQ(form1->Text1->text(), drive(2) + QStringLiteral("/u/.local/share/Trash/files"));
}

TEST_F(SpecialFoldersTest, ATrashWithoutItsFilesFolderIsStillChosen)
{
    makeDrives(3);
    makeFolder(2, QStringLiteral("u/.local/share/Trash"));
    placeUserFoldersOn(2);
    start();
    dialogs_->answerMessage();

    form1->Command9_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, recycledMissing);
    EXPECT_EQ(dialogs_->last().title, pathTitle);
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::Exclamation);
    EXPECT_EQ(form1->Drive1->ListIndex(), 1);
    EXPECT_EQ(form1->Text1->text(), drive(2));
}

// A file where the probe expects a folder is simply no match.
TEST_F(SpecialFoldersTest, AProbeBlockedByAFileIsNoMatch)
{
    makeDrives(2);
    makeFolder(2, QStringLiteral("u/Desktop"));
    QFile blocker(drive(1) + QStringLiteral("/u"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    placeUserFoldersOn(2);
    start();

    form1->Command8_Click();

    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form1->Drive1->ListIndex(), 1);
    EXPECT_EQ(form1->Text1->text(), drive(2) + QStringLiteral("/u/Desktop"));
}

} // namespace
