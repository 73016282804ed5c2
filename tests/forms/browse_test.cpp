// Browsing: drives, folders and the file list with its five filters.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/module1.h"
#include "fake_drives.h"
#include "form_fixture.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/run_time_error.h"
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
    Form1& form = forms::get<Form1>();
    const QStringList all = {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"};
    form.Label5->setText("1.5");
    form.Dir1->setPath(pictures);
    EXPECT_EQ(QStringList({form.File1->Path(), form.Text1->text(), Module1::curpath}), QStringList(3, pictures));
    EXPECT_EQ(form.selpath + form.Label5->text(), "");
    EXPECT_EQ(listed(form.File1), all);

    dialogs_->answerMessage(); // the selected file holds no picture
    form.File1->setListIndex(0);
    form.Text1->setText("typed by hand");
    const QString curpath = Module1::curpath;
    const std::pair<int, QStringList> filters[] = {
        {2, {"e.gif", "F.GIF"}}, {0, {"d.bmp"}}, {1, {"a.jpg", "B.JPG", "c.jpeg"}}, {4, {"g.kir"}}, {3, all}};
    for (const auto& [index, names] : filters) {
        form.Label2->setText("x");
        form.Command3[index]->click();
        EXPECT_EQ(listed(form.File1), names) << index;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(form.Command3[i]->isEnabled(), i != index) << index;
        EXPECT_EQ(form.selpath + form.Label2->text() + form.File1->FileName(), "");
    }
    EXPECT_EQ(form.Text1->text() + '|' + Module1::curpath, "typed by hand|" + curpath);

    form.Dir1->setPath("/"); // a root keeps its own separator
    EXPECT_EQ(Module1::curpath, "/");
}

class DriveTest : public FormTest {
protected:
    DriveTest()
    {
        QDir(a()).mkpath("photos");
        QDir(b()).mkpath("music/albums");
        startProgram();
        form.Dir1->setPath(a() + "/photos");
        form.Drive1->Refresh();
        form.Drive1->setDrive(form.Dir1->Path());
    }
    QString a() const { return tmp_.path() + "/a"; }
    QString b() const { return tmp_.path() + "/b"; }

    QTemporaryDir tmp_;
    FakeDrives drives_{{tmp_.path() + "/a", tmp_.path() + "/no-medium", tmp_.path() + "/b"}};
    Form1& form = forms::get<Form1>();
};

TEST_F(DriveTest, EachDriveRemembersItsFolderAndOneNotReadyIsReportedAndLeft)
{
    form.Drive1->setListIndex(2);
    EXPECT_EQ(form.Dir1->Path(), b()); // never visited: its root
    form.Dir1->setPath(b() + "/music/albums");
    form.Drive1->setListIndex(0);
    EXPECT_EQ(form.Dir1->Path(), a() + "/photos");
    form.Label5->setText("12");
    dialogs_->answerMessage();
    form.Drive1->setListIndex(1);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "デバイスの準備ができていませんドライブ情報");
    EXPECT_EQ(form.Drive1->Drive(), a());
    EXPECT_EQ(form.Dir1->Path() + form.Label5->text(), a() + "/photos12");
    form.Drive1->setListIndex(2);
    EXPECT_EQ(form.Dir1->Path() + '|' + form.Text1->text(), b() + "/music/albums|" + b() + "/music/albums");
}

TEST_F(DriveTest, FolderListOpensByDoubleClickNotSingleClick)
{
    form.Dir1->setPath(b() + "/music");
    auto entry = [&](const char* name) { return form.Dir1->findItems(name, Qt::MatchEndsWith).value(0); };
    form.Dir1->setCurrentItem(entry("albums"));
    EXPECT_EQ(form.Dir1->Path(), b() + "/music");
    emit form.Dir1->itemDoubleClicked(entry("albums"));
    EXPECT_EQ(form.Text1->text(), b() + "/music/albums");
    emit form.Dir1->itemDoubleClicked(entry("music")); // ancestors stay listed above
    EXPECT_EQ(form.Dir1->Path(), b() + "/music");
    EXPECT_THROW(form.Dir1->setPath(tmp_.path() + "/gone"), RunTimeError);
    EXPECT_EQ(form.Dir1->Path(), b() + "/music");
}

} // namespace
