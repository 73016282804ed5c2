// Where the desktop and the trash lie, as the drive scan looks for them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/drives.h"
#include "platform/special_folders.h"

namespace {

class FakeDrives : public DriveTable {
public:
    QStringList drives() const override { return list; }
    QStringList list;
};

class SpecialFoldersTest : public ::testing::Test {
protected:
    SpecialFoldersTest()
    {
        // Canonical, so the drives name the folders the way resolved paths do.
        root_ = QDir(temp_.path()).canonicalPath();
        QDir(root_).mkpath(QStringLiteral("disk"));
        QDir(root_).mkpath(QStringLiteral("home/u"));
        table_.list = {QStringLiteral("/"), root_ + QStringLiteral("/disk"), root_ + QStringLiteral("/home")};
        setDriveTable(&table_);
    }
    ~SpecialFoldersTest() override
    {
        setDriveTable(nullptr);
        setSpecialFolderLocations(QString(), QString());
    }

    QTemporaryDir temp_;
    QString root_;
    FakeDrives table_;
};

TEST_F(SpecialFoldersTest, TheDesktopIsDescribedBelowTheDriveThatHoldsIt)
{
    setSpecialFolderLocations(root_ + QStringLiteral("/home/u/デスクトップ"), QString());
    const SpecialFolder desktop = desktopFolder();
    EXPECT_EQ(desktop.probe, QStringLiteral("u/デスクトップ"));
    EXPECT_EQ(desktop.expectedName, QStringLiteral("デスクトップ"));
    EXPECT_EQ(desktop.folder, QStringLiteral("u/デスクトップ/"));
}

TEST_F(SpecialFoldersTest, TheTrashIsProbedByItsFolderAndOpenedAtItsFiles)
{
    setSpecialFolderLocations(QString(), root_ + QStringLiteral("/home/u/.local/share/Trash"));
    const SpecialFolder trash = recycleBinFolder();
    EXPECT_EQ(trash.probe, QStringLiteral("u/.local/share/Trash"));
    EXPECT_EQ(trash.expectedName, QStringLiteral("Trash"));
    EXPECT_EQ(trash.folder, QStringLiteral("u/.local/share/Trash/files"));
}

TEST_F(SpecialFoldersTest, AFolderReachedThroughALinkBelongsToTheDriveItLiesOn)
{
    QDir(root_).mkpath(QStringLiteral("home/u/Desktop"));
    ASSERT_TRUE(QFile::link(root_ + QStringLiteral("/home/u"), root_ + QStringLiteral("/disk/link")));
    setSpecialFolderLocations(root_ + QStringLiteral("/disk/link/Desktop"), QString());
    EXPECT_EQ(desktopFolder().probe, QStringLiteral("u/Desktop"));
}

TEST_F(SpecialFoldersTest, LocationsComeFromTheUsersFoldersUnlessReplaced)
{
    setSpecialFolderLocations(QStringLiteral("/x/Desk"), QStringLiteral("/x/Bin"));
    EXPECT_EQ(desktopLocation(), QStringLiteral("/x/Desk"));
    EXPECT_EQ(trashLocation(), QStringLiteral("/x/Bin"));
    setSpecialFolderLocations(QString(), QString());
    EXPECT_FALSE(desktopLocation().isEmpty());
    EXPECT_TRUE(trashLocation().endsWith(QStringLiteral("/Trash")));
    EXPECT_NE(trashLocation(), QStringLiteral("/Trash"));
}

TEST(OnDrive, JoinsWithExactlyOneSeparator)
{
    EXPECT_EQ(onDrive(QStringLiteral("/"), QStringLiteral("u/Desktop")), QStringLiteral("/u/Desktop"));
    EXPECT_EQ(onDrive(QStringLiteral("/media/usb"), QStringLiteral("u/Desktop/")), QStringLiteral("/media/usb/u/Desktop/"));
    EXPECT_EQ(onDrive(QStringLiteral("/media/usb"), QString()), QStringLiteral("/media/usb/"));
}

} // namespace
