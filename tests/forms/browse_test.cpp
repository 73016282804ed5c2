// Browsing drives, folders and the file list with its five filters; a click in the list: the picture fitted with
// its date and size, the start-up picture for anything that cannot be shown, names as people have them.
#include <cstdio>
#include <optional>

#include <QClipboard>
#include <QDir>

#include "decoder/picture_loader.h"
#include "fake_drives.h"
#include "files/files.h"
#include "files/native_names.h"
#include "form_fixture.h"
#include "runtime/run_time_error.h"
#include "runtime/texts.h"

namespace {

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
    QString a() const { return programFolder() + "/a"; }
    QString b() const { return programFolder() + "/b"; }

    FakeDrives drives_{{a(), programFolder() + "/no-medium", b()}};
    MainWindow& form = forms::get<MainWindow>();
};

TEST_F(DriveTest, EachDriveRemembersItsFolderAndOneNotReadyIsReportedAndLeft)
{
    form.driveList->setListIndex(2);
    EXPECT_EQ(form.folderList->Path(), b()); // never visited: its root
    form.folderList->setPath(b() + "/music/albums");
    form.driveList->setListIndex(0);
    form.sizeValue->setText("12");
    dialogs_->answerMessage();
    form.driveList->setListIndex(1);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "デバイスの準備ができていませんドライブ情報");
    EXPECT_EQ(form.driveList->Drive() + form.folderList->Path() + form.sizeValue->text(), a() + a() + "/photos12"); // as it was
    form.driveList->setListIndex(2);
    EXPECT_EQ(form.folderList->Path() + '|' + form.pathBox->text(), b() + "/music/albums|" + b() + "/music/albums");
    // A remembered folder deleted since: its nearest existing ancestor.
    form.driveList->setListIndex(0);
    ASSERT_TRUE(QDir(b() + "/music").removeRecursively());
    form.driveList->setListIndex(2);
    EXPECT_EQ(form.folderList->Path() + '|' + form.driveList->Drive(), b() + '|' + b());
}

// A folder list that crossed into a drive which then fails goes back to the root.
TEST_F(DriveTest, AFailingDriveTheFolderListIsInSendsItBackToTheRoot)
{
    drives_.setDrives({"/", a(), b()});
    form.driveList->Refresh();
    form.folderList->setPath(b() + "/music");
    ASSERT_TRUE(QDir(b()).removeRecursively());
    dialogs_->answerMessage();
    form.driveList->setListIndex(2); // reported by the answered box
    EXPECT_EQ(form.driveList->Drive() + '|' + form.folderList->Path(), "/|/");
}

// A volume mounted after the start appears when the list is opened; the selection stays.
TEST_F(DriveTest, OpeningTheListReadsTheDrivesAgainAndFoldersOpenByDoubleClick)
{
    drives_.setDrives({a(), b(), programFolder() + "/usb"});
    form.driveList->showPopup();
    form.driveList->hidePopup();
    EXPECT_EQ(form.driveList->List(2) + '|' + form.driveList->Drive() + form.folderList->Path(), programFolder() + "/usb|" + a() + a() + "/photos");

    form.folderList->setPath(b() + "/music");
    auto entry = [&](const char* name) { return form.folderList->findItems(name, Qt::MatchEndsWith).value(0); };
    form.folderList->setCurrentItem(entry("albums"));
    EXPECT_EQ(form.folderList->Path(), b() + "/music"); // a single click only selects
    emit form.folderList->itemDoubleClicked(entry("albums"));
    EXPECT_EQ(form.pathBox->text(), b() + "/music/albums");
    emit form.folderList->itemDoubleClicked(entry("music")); // ancestors stay listed above
    EXPECT_EQ(form.folderList->Path(), b() + "/music");
    EXPECT_THROW(form.folderList->setPath(programFolder() + "/gone"), RunTimeError);
    EXPECT_EQ(form.folderList->Path(), b() + "/music");
}

QByteArray jpeg(int width, int height) { return encodedAs(testPicture(width, height), "JPEG"); }

class BrowseTest : public FormTest {
protected:
    BrowseTest() { startProgram(); }

    // Lists the folder and clicks the named entry (written first when bytes are given).
    void click(const QString& name, const std::optional<QByteArray>& bytes = {})
    {
        if (bytes)
            write(name, *bytes);
        form.folderList->setPath(pictures());
        form.fileList->Refresh();
        const auto found = form.fileList->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << "not listed: " << name.toStdString();
        form.fileList->setListIndex(form.fileList->row(found.front()));
    }

    // The picture shown, or with fallback the start-up picture after the box, and the paths either way.
    void expectShown(const QString& name, QSize pixels, bool fallback = false)
    {
        EXPECT_EQ(QStringList({form.pathBox->text(), form.selectedPath, viewing::currentPicturePath}),
                  QStringList({at(name), at(name), fallback ? programFolder() : at(name)}));
        if (fallback)
            EXPECT_TRUE(dialogs_->last().text + dialogs_->last().title == "ファイルが空ですエラー"
                        && imageWindow.pictureView->picture() == imageWindow.fallbackPicture.picture());
        else
            EXPECT_EQ(imageWindow.picture.picture().size(), pixels);
        EXPECT_EQ(QSizeF(imageWindow.pictureWidth.value(), imageWindow.pictureHeight.value()), QSizeF(pixels + QSize(4, 4)) * 15);
        EXPECT_TRUE(imageWindow.isVisible() && form.mousePointer() == 0);
    }

    MainWindow& form = forms::get<MainWindow>();
    ImageWindow& imageWindow = forms::get<ImageWindow>();
};

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
    QDir().mkpath(at("sub"));
    for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir", "h.png", "jpg", "k.jpg.txt"})
        write(name, "x");
    const QStringList all = {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"};
    form.sizeValue->setText("1.5");
    form.folderList->setPath(pictures());
    EXPECT_EQ(QStringList({form.fileList->Path(), form.pathBox->text(), viewing::currentPicturePath, form.selectedPath + form.sizeValue->text()}),
              QStringList({pictures(), pictures(), pictures(), ""}));
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
        EXPECT_EQ(form.selectedPath + form.dateValue->text() + form.fileList->FileName(), "") << index;
    }
    EXPECT_EQ(form.pathBox->text() + '|' + viewing::currentPicturePath, "typed by hand|" + currentPicturePath);

    form.folderList->setPath("/"); // a root keeps its own separator
    EXPECT_EQ(viewing::currentPicturePath, "/");
}

TEST_F(BrowseTest, ClickShowsThePictureFittedWithItsDateAndSize)
{
    QByteArray sized = jpeg(640, 480);
    sized.append(QByteArray(123456 - sized.size(), '\0')); // bytes after the picture are ignored
    click("photo.jpg", sized);
    expectShown("photo.jpg", QSize(640, 480));
    EXPECT_EQ(form.dateValue->text() + '|' + form.sizeValue->text(), dateText(FileDateTime(at("photo.jpg"))) + "|123.456");
    EXPECT_EQ(QSizeF(imageWindow.Width().value(), imageWindow.Height().value()), QSizeF(3000, 2255)); // 7260 / 3.22 = 2254.66

    click("bitmap.jpg", encodedAs(testPicture(480, 640), "BMP")); // decided by content
    expectShown("bitmap.jpg", QSize(480, 640));
}

TEST_F(BrowseTest, APhotoShowsDecodedSmallAndCopiesAtFullSizeFromTheBytesShown)
{
    const QByteArray shownBytes = jpeg(1600, 1200);
    write("other.jpg", encodedAs(testPicture(1600, 1200).mirrored(true, true), "JPEG"));
    click("photo.jpg", shownBytes);
    EXPECT_EQ(imageWindow.picture.picture().size(), QSize(800, 600)); // half covers the 667-pixel box
    EXPECT_EQ(QSizeF(imageWindow.pictureWidth.value(), imageWindow.pictureHeight.value()), QSizeF(1604, 1204) * 15);
    EXPECT_EQ(imageWindow.Height(), Twips(2252)); // fitted by its natural size: by the decoded one it would be 2254

    // Replaced on disk after it was shown: the copy is still what the person saw.
    ASSERT_EQ(std::rename(QFile::encodeName(at("other.jpg")).constData(),
                          QFile::encodeName(at("photo.jpg")).constData()), 0);
    dialogs_->answerMessage();
    form.copyPicture();
    EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), decodePicture(shownBytes));
}

TEST_F(BrowseTest, EveryBadFileEndsInTheStartUpPictureAndAFileGoneKeepsTheEarlierLabels)
{
    QByteArray huge = jpeg(16, 16); // its header claims 60000 x 60000 pixels
    huge.replace(huge.indexOf("\xff\xc0") + 5, 4, QByteArray::fromHex("ea60ea60"));
    const std::pair<QString, QByteArray> files[] = {
        {"text.kir", "not a picture"}, {"empty.jpg", {}}, {"truncated.jpg", jpeg(400, 300).left(2000)}, {"huge.jpg", huge}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        dialogs_->answerMessage();
        click(name, bytes);
        expectShown(name, QSize(50, 50), true);
        EXPECT_EQ(form.sizeValue->text(), sizeText(bytes.size())); // written before the load failed
    }
    const QString size = form.sizeValue->text();
    const int row = form.fileList->row(form.fileList->findItems("text.kir", Qt::MatchExactly).value(0));
    ASSERT_TRUE(QDir().remove(at("text.kir")));
    dialogs_->answerMessage();
    form.fileList->setListIndex(row); // still listed
    expectShown("text.kir", QSize(50, 50), true);
    EXPECT_EQ(form.sizeValue->text(), size);
}

TEST_F(BrowseTest, ClickOrArrowKeyReturnsFromEnlargedAndClosedViews)
{
    write("2.jpg", jpeg(30, 10));
    click("1.jpg", jpeg(10, 10));
    form.enlargeImage();
    QTest::keyClick(form.fileList, Qt::Key_Down);
    expectShown("2.jpg", QSize(30, 10));
    EXPECT_TRUE(!form.isEnlarged && imageWindow.Width() == Twips(3000));

    form.closeImage();
    QTest::keyClick(form.fileList, Qt::Key_Up);
    expectShown("1.jpg", QSize(10, 10));
    EXPECT_TRUE(form.closeImageButton->isEnabled() && form.enlargeButton->isEnabled());
}

TEST_F(BrowseTest, NamesAsPeopleHaveThem)
{
    ASSERT_TRUE(QDir(pictures()).mkdir("x.jpg")); // a folder is never listed as a file
    const QString names[] = {"with space.jpg", "a & b.jpg", "it's \"quoted\".jpg", "写真 ２０２６.jpg",
                             native_names::decode("latin1-\xe9t\xe9.jpg")}; // the last not valid UTF-8
    for (const QString& name : names) {
        SCOPED_TRACE(native_names::encode(name).toStdString());
        click(name, jpeg(12, 8));
        expectShown(name, QSize(12, 8));
    }
    EXPECT_EQ(form.fileList->ListCount(), 5);
    std::remove(native_names::encode(at(names[4])).constData()); // Qt cannot remove it with its folder
}

} // namespace
