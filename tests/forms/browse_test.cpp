#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
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

namespace {

QStringList listed(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->ListCount(); ++i)
        names << list->List(i);
    return names;
}

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}

class BrowseTest : public FormTest {
protected:
    BrowseTest()
    {
        QDir(root()).mkpath(QStringLiteral("pictures/sub"));
        for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir", "h.png", "i.txt",
                                 "jpg", "k.jpg.txt"})
            touch(pictures() + QLatin1Char('/') + QLatin1String(name));
        startProgram();
    }
    QString root() const { return drives_.path(); }
    QString pictures() const { return root() + QStringLiteral("/pictures"); }

    QTemporaryDir drives_;
    Form1& form = forms::get<Form1>();
};

TEST_F(BrowseTest, FolderChangeListsItsFilesAndClearsTheSelectionState)
{
    form.selpath = QStringLiteral("old");
    form.Label2->setText(QStringLiteral("2000/05/20"));
    form.Label5->setText(QStringLiteral("1.5"));
    form.Dir1->setPath(pictures());

    EXPECT_EQ(form.File1->Path(), pictures());
    EXPECT_EQ(form.Text1->text(), pictures());
    EXPECT_TRUE(form.selpath.isEmpty());
    EXPECT_TRUE(form.Label2->text().isEmpty());
    EXPECT_TRUE(form.Label5->text().isEmpty());
    EXPECT_TRUE(form.File1->FileName().isEmpty());
    EXPECT_EQ(Module1::curpath, pictures());
    EXPECT_EQ(listed(form.File1), (QStringList{"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"}));
}

TEST_F(BrowseTest, RootFolderKeepsItsOwnSeparator)
{
    form.Dir1->setPath(QStringLiteral("/"));
    EXPECT_EQ(form.Text1->text(), QStringLiteral("/"));
    EXPECT_EQ(Module1::curpath, QStringLiteral("/"));
}

TEST_F(BrowseTest, FilterButtonsSelectTheirKindAndDisableThemselves)
{
    form.Dir1->setPath(pictures());
    form.Text1->setText(QStringLiteral("typed by hand"));
    form.Label2->setText(QStringLiteral("x"));
    form.Label5->setText(QStringLiteral("y"));
    form.selpath = QStringLiteral("z");
    const QString curpathBefore = Module1::curpath;

    form.Command3[2]->click(); // GIF
    EXPECT_EQ(listed(form.File1), (QStringList{"e.gif", "F.GIF"}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(form.Command3[i]->isEnabled(), i != 2) << i;
    EXPECT_TRUE(form.Label2->text().isEmpty());
    EXPECT_TRUE(form.Label5->text().isEmpty());
    EXPECT_TRUE(form.selpath.isEmpty());
    EXPECT_EQ(form.Text1->text(), QStringLiteral("typed by hand"));
    EXPECT_EQ(Module1::curpath, curpathBefore);

    const std::pair<int, QStringList> filters[] = {
        {0, {"d.bmp"}},
        {1, {"a.jpg", "B.JPG", "c.jpeg"}},
        {4, {"g.kir"}},
        {3, {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"}},
    };
    for (const auto& [index, names] : filters) {
        form.Command3[index]->click();
        EXPECT_EQ(listed(form.File1), names) << index;
        EXPECT_FALSE(form.Command3[index]->isEnabled());
    }
}

TEST_F(BrowseTest, FilterChangeClearsTheFileSelection)
{
    form.Dir1->setPath(pictures());
    dialogs_->answerMessage(); // the file holds no picture
    form.File1->setCurrentRow(0);
    form.Command3[1]->click();
    EXPECT_TRUE(form.File1->FileName().isEmpty());
}

class DriveTest : public FormTest {
protected:
    DriveTest()
    {
        QDir(a()).mkpath(QStringLiteral("photos"));
        QDir(b()).mkpath(QStringLiteral("music/albums"));
        startProgram();
        form.Dir1->setPath(a() + QStringLiteral("/photos"));
    }
    QString a() const { return tmp_.path() + QStringLiteral("/a"); }
    QString b() const { return tmp_.path() + QStringLiteral("/b"); }
    QString missing() const { return tmp_.path() + QStringLiteral("/no-medium"); }

    QTemporaryDir tmp_;
    FakeDrives drives_{{tmp_.path() + QStringLiteral("/a"), tmp_.path() + QStringLiteral("/no-medium"),
                        tmp_.path() + QStringLiteral("/b")}};
    Form1& form = forms::get<Form1>();
};

TEST_F(DriveTest, DriveListShowsTheTableWithTheListedFoldersDrive)
{
    form.Drive1->Refresh();
    ASSERT_EQ(form.Drive1->ListCount(), 3);
    form.Drive1->setDrive(form.Dir1->Path());
    EXPECT_EQ(form.Drive1->Drive(), a());
}

TEST_F(DriveTest, DriveNotReadyIsReportedOnceAndTheListGoesBack)
{
    form.Drive1->Refresh();
    form.Drive1->setDrive(form.Dir1->Path());
    const QString before = form.Dir1->Path();
    form.Label5->setText(QStringLiteral("12"));

    dialogs_->answerMessage();
    form.Drive1->setListIndex(1);

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("デバイスの準備ができていません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("ドライブ情報"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(form.Drive1->Drive(), a());
    EXPECT_EQ(form.Dir1->Path(), before);
    EXPECT_EQ(form.Label5->text(), QStringLiteral("12"));
}

TEST_F(DriveTest, EachDriveRemembersItsCurrentFolder)
{
    form.Drive1->Refresh();
    form.Drive1->setDrive(form.Dir1->Path());

    form.Drive1->setListIndex(2);
    EXPECT_EQ(form.Dir1->Path(), b()); // never visited: its root
    EXPECT_EQ(form.Text1->text(), b());
    form.Dir1->setPath(b() + QStringLiteral("/music/albums"));

    form.Drive1->setListIndex(0);
    EXPECT_EQ(form.Dir1->Path(), a() + QStringLiteral("/photos"));
    form.Drive1->setListIndex(2);
    EXPECT_EQ(form.Dir1->Path(), b() + QStringLiteral("/music/albums"));
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(DriveTest, FolderListOpensByDoubleClickNotSingleClick)
{
    form.Dir1->setPath(b() + QStringLiteral("/music"));
    QListWidgetItem* albums = nullptr;
    for (int i = 0; i < form.Dir1->count(); ++i)
        if (form.Dir1->item(i)->text().trimmed() == QStringLiteral("albums"))
            albums = form.Dir1->item(i);
    ASSERT_NE(albums, nullptr);

    form.Dir1->setCurrentItem(albums);
    EXPECT_EQ(form.Dir1->Path(), b() + QStringLiteral("/music"));
    emit form.Dir1->itemDoubleClicked(albums);
    EXPECT_EQ(form.Dir1->Path(), b() + QStringLiteral("/music/albums"));
    EXPECT_EQ(form.Text1->text(), b() + QStringLiteral("/music/albums"));

    // The ancestors stay listed above; entering one goes back up.
    QListWidgetItem* music = nullptr;
    for (int i = 0; i < form.Dir1->count(); ++i)
        if (form.Dir1->item(i)->text().trimmed() == QStringLiteral("music"))
            music = form.Dir1->item(i);
    ASSERT_NE(music, nullptr);
    emit form.Dir1->itemDoubleClicked(music);
    EXPECT_EQ(form.Dir1->Path(), b() + QStringLiteral("/music"));
}

TEST_F(DriveTest, MissingFolderIsARunTimeErrorAndChangesNothing)
{
    const QString before = form.Dir1->Path();
    EXPECT_THROW(form.Dir1->setPath(tmp_.path() + QStringLiteral("/gone")), RunTimeError);
    EXPECT_EQ(form.Dir1->Path(), before);
}

} // namespace
