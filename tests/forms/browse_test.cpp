// Browsing: drives, folders and the file list with its five filters.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "fake_drives.h"
#include "form_fixture.h"
#include "forms/main/main_window.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "runtime/run_time_error.h"
#include "test_files.h"

namespace {

using BrowseTest = FormTest;

QStringList listed(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->ListCount(); ++i)
        names << list->List(i);
    return names;
}

// A folder change lists the pictures and forgets the selection; the filters change only the list.
TEST_F(BrowseTest, FolderChangeAndFilterButtonsListTheirKindsAndForgetTheSelection)
{
    const QString pictures = programFolder() + "/pictures";
    QDir().mkpath(pictures + "/sub");
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir", "h.png", "jpg", "k.jpg.txt"})
        ASSERT_TRUE(writeBytes(pictures + '/' + name, "x"));
    startProgram();
    MainWindow& form = forms::get<MainWindow>();
    const QStringList all = {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"};
    form.sizeValue->setText("1.5");
    form.folderList->setPath(pictures);
    EXPECT_EQ(QStringList({form.fileList->Path(), form.pathBox->text(), viewing::currentPicturePath}), QStringList(3, pictures));
    EXPECT_EQ(form.selectedPath + form.sizeValue->text(), "");
    EXPECT_EQ(listed(form.fileList), all);

    dialogs_->answerMessage(); // the selected file holds no picture
    form.fileList->setListIndex(0);
    form.pathBox->setText("typed by hand");
    const QString currentPicturePath = viewing::currentPicturePath;
    const std::pair<int, QStringList> filters[] = {
        {2, {"e.gif", "F.GIF"}}, {0, {"d.bmp"}}, {1, {"a.jpg", "B.JPG", "c.jpeg"}}, {4, {"g.kir"}}, {3, all}};
    for (const auto& [index, names] : filters) {
        form.dateValue->setText("x");
        form.filterButtons[index]->click();
        EXPECT_EQ(listed(form.fileList), names) << index;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(form.filterButtons[i]->isEnabled(), i != index) << index;
        EXPECT_EQ(form.selectedPath + form.dateValue->text() + form.fileList->FileName(), "");
    }
    EXPECT_EQ(form.pathBox->text() + '|' + viewing::currentPicturePath, "typed by hand|" + currentPicturePath);

    form.folderList->setPath("/"); // a root keeps its own separator
    EXPECT_EQ(viewing::currentPicturePath, "/");
}

class DriveTest : public FormTest {
protected:
    DriveTest()
    {
        QDir(a()).mkpath("photos");
        QDir(b()).mkpath("music/albums");
        startProgram();
        form.folderList->setPath(a() + "/photos");
        form.driveList->Refresh();
        form.driveList->setDrive(form.folderList->Path());
    }
    QString a() const { return tmp_.path() + "/a"; }
    QString b() const { return tmp_.path() + "/b"; }

    QTemporaryDir tmp_;
    FakeDrives drives_{{tmp_.path() + "/a", tmp_.path() + "/no-medium", tmp_.path() + "/b"}};
    MainWindow& form = forms::get<MainWindow>();
};

// A volume mounted after the start appears when the list is opened; the selection stays.
TEST_F(DriveTest, OpeningTheListReadsTheDrivesAgain)
{
    drives_.setDrives({a(), b(), tmp_.path() + "/usb"});
    form.driveList->showPopup();
    form.driveList->hidePopup();
    EXPECT_EQ(form.driveList->ListCount(), 3);
    EXPECT_EQ(form.driveList->List(2), tmp_.path() + "/usb");
    EXPECT_EQ(form.driveList->Drive(), a());
    EXPECT_EQ(form.folderList->Path(), a() + "/photos");
}

TEST_F(DriveTest, EachDriveRemembersItsFolderAndOneNotReadyIsReportedAndLeft)
{
    form.driveList->setListIndex(2);
    EXPECT_EQ(form.folderList->Path(), b()); // never visited: its root
    form.folderList->setPath(b() + "/music/albums");
    form.driveList->setListIndex(0);
    EXPECT_EQ(form.folderList->Path(), a() + "/photos");
    form.sizeValue->setText("12");
    dialogs_->answerMessage();
    form.driveList->setListIndex(1);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "デバイスの準備ができていませんドライブ情報");
    EXPECT_EQ(form.driveList->Drive(), a());
    EXPECT_EQ(form.folderList->Path() + form.sizeValue->text(), a() + "/photos12");
    form.driveList->setListIndex(2);
    EXPECT_EQ(form.folderList->Path() + '|' + form.pathBox->text(), b() + "/music/albums|" + b() + "/music/albums");
    // A remembered folder deleted since: its nearest existing ancestor.
    form.driveList->setListIndex(0);
    ASSERT_TRUE(QDir(b() + "/music").removeRecursively());
    form.driveList->setListIndex(2);
    EXPECT_EQ(form.folderList->Path() + '|' + form.driveList->Drive(), b() + '|' + b());
}

TEST_F(DriveTest, FolderListOpensByDoubleClickNotSingleClick)
{
    form.folderList->setPath(b() + "/music");
    auto entry = [&](const char* name) { return form.folderList->findItems(name, Qt::MatchEndsWith).value(0); };
    form.folderList->setCurrentItem(entry("albums"));
    EXPECT_EQ(form.folderList->Path(), b() + "/music");
    emit form.folderList->itemDoubleClicked(entry("albums"));
    EXPECT_EQ(form.pathBox->text(), b() + "/music/albums");
    emit form.folderList->itemDoubleClicked(entry("music")); // ancestors stay listed above
    EXPECT_EQ(form.folderList->Path(), b() + "/music");
    EXPECT_THROW(form.folderList->setPath(tmp_.path() + "/gone"), RunTimeError);
    EXPECT_EQ(form.folderList->Path(), b() + "/music");
}

} // namespace
