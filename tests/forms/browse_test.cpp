// Browsing drives, folders and the file list with its five filters; a click in the list: the picture fitted with
// its date and size, the start-up picture for anything that cannot be shown, names as people have them.
#include <cstdio>
#include <optional>

#include <QDir>
#include <QTest>
#include <QThreadPool>

#include "resources/builtin_pictures.h"
#include "viewing/read_ahead.h"
#include "fake_drives.h"
#include "files/files.h"
#include "files/native_names.h"
#include "form_fixture.h"
#include "model_driver.h"
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
        mainWindow().folderList->setPath(a() + "/photos");
        mainWindow().driveList->refresh();
        mainWindow().driveList->setDrive(mainWindow().folderList->path());
    }
    QString a() const { return programFolder() + "/a"; }
    QString b() const { return programFolder() + "/b"; }

    FakeDrives drives_{{a(), programFolder() + "/no-medium", b()}};
};

TEST_F(DriveTest, EachDriveRemembersItsFolderAndOneNotReadyIsReportedAndLeft)
{
    mainWindow().driveList->setListIndex(2);
    EXPECT_EQ(mainWindow().folderList->path(), b()); // never visited: its root
    mainWindow().folderList->setPath(b() + "/music/albums");
    mainWindow().driveList->setListIndex(0);
    mainWindow().sizeValue->setText("12");
    dialogs_->answerMessage();
    mainWindow().driveList->setListIndex(1);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "デバイスの準備ができていませんドライブ情報");
    EXPECT_EQ(mainWindow().driveList->drive() + mainWindow().folderList->path() + mainWindow().sizeValue->text(), a() + a() + "/photos12"); // as it was
    mainWindow().driveList->setListIndex(2);
    EXPECT_EQ(mainWindow().folderList->path() + '|' + mainWindow().pathBox->text(), b() + "/music/albums|" + b() + "/music/albums");
    // A remembered folder deleted since: its nearest existing ancestor.
    mainWindow().driveList->setListIndex(0);
    ASSERT_TRUE(QDir(b() + "/music").removeRecursively());
    mainWindow().driveList->setListIndex(2);
    EXPECT_EQ(mainWindow().folderList->path() + '|' + mainWindow().driveList->drive(), b() + '|' + b());
}

// A volume mounted after the start appears when the list is opened; the selection stays.
TEST_F(DriveTest, OpeningTheListReadsTheDrivesAgain)
{
    drives_.setDrives({a(), b(), programFolder() + "/usb"});
    mainWindow().driveList->showPopup();
    mainWindow().driveList->hidePopup();
    EXPECT_EQ(mainWindow().driveList->entry(2) + '|' + mainWindow().driveList->drive() + mainWindow().folderList->path(),
              programFolder() + "/usb|" + a() + a() + "/photos");
}

TEST_F(DriveTest, FoldersOpenByDoubleClickAndAMissingOneRaises)
{
    mainWindow().folderList->setPath(b() + "/music");
    auto entry = [&](const char* name) { return mainWindow().folderList->findItems(name, Qt::MatchEndsWith).value(0); };
    mainWindow().folderList->setCurrentItem(entry("albums"));
    EXPECT_EQ(mainWindow().folderList->path(), b() + "/music") << "a single click only selects";
    emit mainWindow().folderList->itemDoubleClicked(entry("albums"));
    EXPECT_EQ(mainWindow().pathBox->text(), b() + "/music/albums");
    emit mainWindow().folderList->itemDoubleClicked(entry("music")); // ancestors stay listed above
    EXPECT_EQ(mainWindow().folderList->path(), b() + "/music");
    EXPECT_THROW(mainWindow().folderList->setPath(programFolder() + "/gone"), RunTimeError);
    EXPECT_EQ(mainWindow().folderList->path(), b() + "/music") << "a missing folder moved the list";
}

TEST_F(DriveTest, AFailingDriveSendsTheFolderListToTheRoot)
{
    drives_.setDrives({"/", a(), b()});
    mainWindow().driveList->refresh();
    mainWindow().folderList->setPath(b() + "/music");
    ASSERT_TRUE(QDir(b()).removeRecursively());
    dialogs_->answerMessage();
    mainWindow().driveList->setListIndex(2); // reported by the answered box
    EXPECT_EQ(mainWindow().driveList->drive() + '|' + mainWindow().folderList->path(), "/|/");
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
        mainWindow().folderList->setPath(pictures());
        mainWindow().fileList->refresh();
        const auto found = mainWindow().fileList->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << "not listed: " << name.toStdString();
        mainWindow().fileList->setListIndex(mainWindow().fileList->row(found.front()));
        waitForPicture();
    }

    // The picture shown, or with fallback the start-up picture after the box, and the paths either way.
    void expectShown(const QString& name, QSize pixels, bool fallback = false)
    {
        EXPECT_EQ(QStringList({mainWindow().pathBox->text(), mainWindow().selectedPath, model().savePath()}),
                  QStringList({at(name), at(name), fallback ? programFolder() : at(name)}));
        if (fallback)
        {
            EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "ファイルが空ですエラー");
            EXPECT_TRUE(imageWindow().pictureView->picture() == builtin::noFilePicture()) << "not the start-up picture";
        }
        else
            EXPECT_EQ(imageWindow().picture.picture().size(), pixels);
        EXPECT_EQ(QSizeF(imageWindow().pictureWidth.value(), imageWindow().pictureHeight.value()), QSizeF(pixels + QSize(4, 4)) * 15);
        EXPECT_TRUE(imageWindow().isVisible()) << "the image window is hidden";
        EXPECT_EQ(mainWindow().mousePointer(), MousePointer::Default);
    }

    // Pictures of every kind and files that are none, listed.
    QStringList listAMixedFolder()
    {
        QDir().mkpath(at("sub"));
        for (const char* name : {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir", "h.png", "jpg", "k.jpg.txt"})
            write(name, "x");
        mainWindow().folderList->setPath(pictures());
        return {"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"};
    }
};

QStringList listed(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->listCount(); ++i)
        names << list->entry(i);
    return names;
}

TEST_F(BrowseTest, FolderAndFilterChangesListPicturesAndForgetSelection)
{
    mainWindow().sizeValue->setText("1.5");
    const QStringList all = listAMixedFolder();
    EXPECT_EQ(QStringList({mainWindow().fileList->path(), mainWindow().pathBox->text(), model().savePath(),
                           mainWindow().selectedPath + mainWindow().sizeValue->text()}),
              QStringList({pictures(), pictures(), pictures(), ""}));
    EXPECT_EQ(listed(mainWindow().fileList), all);

    dialogs_->answerMessage(); // the selected file holds no picture
    mainWindow().fileList->setListIndex(0);
    waitForPicture();
    mainWindow().pathBox->setText("typed by hand");
    const QString currentPicturePath = model().savePath();
    const std::pair<int, QStringList> filters[] = {
        {2, {"e.gif", "F.GIF"}}, {0, {"d.bmp"}}, {1, {"a.jpg", "B.JPG", "c.jpeg"}}, {4, {"g.kir"}}, {3, all}};
    for (const auto& [index, names] : filters) {
        SCOPED_TRACE(testing::Message() << "filter " << index);
        mainWindow().dateValue->setText("x");
        mainWindow().filterButtons[index]->click();
        EXPECT_EQ(listed(mainWindow().fileList), names);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(mainWindow().filterButtons[i]->isEnabled(), i != index) << "button " << i;
        EXPECT_EQ(mainWindow().selectedPath + mainWindow().dateValue->text() + mainWindow().fileList->fileName(), "")
            << "the selection was kept";
    }
    EXPECT_EQ(mainWindow().pathBox->text() + '|' + model().savePath(), "typed by hand|" + currentPicturePath);
    mainWindow().folderList->setPath("/");
    EXPECT_EQ(model().savePath(), "/") << "a root lost its own separator";
}

TEST_F(BrowseTest, ClickShowsThePictureFittedWithItsDateAndSizeWhateverItsName)
{
    QByteArray sized = jpeg(640, 480);
    sized.append(QByteArray(123456 - sized.size(), '\0')); // bytes after the picture are ignored
    click("photo.jpg", sized);
    expectShown("photo.jpg", QSize(640, 480));
    EXPECT_EQ(mainWindow().dateValue->text() + '|' + mainWindow().sizeValue->text(), dateText(FileDateTime(at("photo.jpg"))) + "|123.456");

    click("bitmap.jpg", encodedAs(testPicture(480, 640), "BMP")); // decided by content
    expectShown("bitmap.jpg", QSize(480, 640));

    ASSERT_TRUE(QDir(pictures()).mkdir("x.jpg")); // a folder is never listed as a file
    const QString names[] = {"with space.jpg", "a & b.jpg", "it's \"quoted\".jpg", "写真 ２０２６.jpg",
                             native_names::decode("latin1-\xe9t\xe9.jpg")}; // the last not valid UTF-8
    for (const QString& name : names) {
        SCOPED_TRACE(native_names::encode(name).toStdString());
        click(name, jpeg(12, 8));
        expectShown(name, QSize(12, 8));
    }
    EXPECT_EQ(mainWindow().fileList->listCount(), 7); // with the two above
    std::remove(native_names::encode(at(names[4])).constData()); // Qt cannot remove it with its folder
}

// Only the left button picks a file: a right or middle click on a row selects and loads nothing.
TEST_F(BrowseTest, OnlyALeftClickOnARowSelectsIt)
{
    write("a.jpg", jpeg(12, 8));
    write("b.jpg", jpeg(8, 12));
    mainWindow().folderList->setPath(pictures());
    FileListBox* list = mainWindow().fileList;
    list->resize(200, 200);
    const QPoint second = list->visualItemRect(list->item(1)).center();
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(list->viewport(), button, {}, second);
        QTest::mouseDClick(list->viewport(), button, {}, second);
    }
    EXPECT_EQ(list->fileName() + '|' + mainWindow().selectedPath, "|") << "selected by another button";
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second);
    waitForPicture();
    EXPECT_EQ(mainWindow().selectedPath, at("b.jpg"));
}

// The arrow keys move the selection a row at a time, from no selection to the first row.
TEST_F(BrowseTest, ArrowKeysMoveTheSelectionFromNoneToTheFirstRow)
{
    write("a.jpg", jpeg(12, 8));
    write("b.jpg", jpeg(8, 12));
    mainWindow().folderList->setPath(pictures());
    QApplication::setActiveWindow(&mainWindow());
    mainWindow().fileList->setFocus(); // the focus frame on the first row, which is not selected
    for (const auto& [key, name] : {std::pair(Qt::Key_Down, "a.jpg"), std::pair(Qt::Key_Down, "b.jpg"), std::pair(Qt::Key_Up, "a.jpg")}) {
        QTest::keyClick(mainWindow().fileList, key);
        waitForPicture();
        EXPECT_EQ(mainWindow().selectedPath, at(name));
    }
}

TEST_F(BrowseTest, EveryBadFileEndsInTheStartUpPicture)
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
        EXPECT_EQ(mainWindow().sizeValue->text(), sizeText(bytes.size())) << "the size is written before the load fails";
    }
}

TEST_F(BrowseTest, AFileGoneSinceListingKeepsTheLabels)
{
    write("text.kir", "not a picture");
    dialogs_->answerMessage();
    click("empty.jpg", QByteArray()); // another selection, whose labels stay
    const QString size = mainWindow().sizeValue->text();
    const int row = mainWindow().fileList->row(mainWindow().fileList->findItems("text.kir", Qt::MatchExactly).value(0));
    ASSERT_TRUE(QDir().remove(at("text.kir")));
    dialogs_->answerMessage();
    mainWindow().fileList->setListIndex(row); // still listed
    waitForPicture();
    expectShown("text.kir", QSize(50, 50), true);
    EXPECT_EQ(mainWindow().sizeValue->text(), size);
}

// Three pictures in a folder, the middle one bad; every decode held until the test lets it go.
class BurstTest : public BrowseTest {
protected:
    BurstTest()
    {
        write("a.jpg", jpeg(10, 10));
        write("b.jpg", "not a picture");
        write("c.jpg", jpeg(30, 10));
        mainWindow().folderList->setPath(pictures());
    }
    ~BurstTest() override
    {
        decoder_.gate.release(1000); // read-ahead may be waiting in it
        QThreadPool::globalInstance()->waitForDone();
        ReadAhead::threads().waitForDone();
    }
    HeldDecoder decoder_;
};

TEST_F(BurstTest, SelectionsPassedOverAreNeverShownNorDecoded)
{
    mainWindow().fileList->setListIndex(0);
    decoder_.began.acquire(); // a
    mainWindow().fileList->setListIndex(1);
    mainWindow().fileList->setListIndex(2);
    EXPECT_EQ(mainWindow().mousePointer(), MousePointer::Hourglass) << "while the window waits";
    decoder_.gate.release(2); // a, which finds itself stopped, then c
    waitForPicture();
    const auto [started, stopped] = decoder_.startedAndStopped();
    EXPECT_EQ(started.mid(0, 2), (QStringList{at("a.jpg"), at("c.jpg")})) << "b began before c";
    EXPECT_EQ(stopped, QStringList{at("a.jpg")});
    EXPECT_EQ(dialogs_->messageCount(), 0) << "the bad file passed over was reported";
    expectShown("c.jpg", QSize(30, 10));
    EXPECT_EQ(mainWindow().sizeValue->text(), sizeText(FileLen(at("c.jpg"))));
}

TEST_F(BurstTest, APictureDecodedDuringAQuestionWaitsForTheAnswer)
{
    mainWindow().fileList->setListIndex(2);
    decoder_.began.acquire(); // c
    dialogs_->whileNextBoxOpen([&] {
        decoder_.gate.release(1);
        QThreadPool::globalInstance()->waitForDone(); // decoded, its picture on the way
        QCoreApplication::processEvents();
        EXPECT_NE(imageWindow().picture.naturalWidth(), 30) << "the picture changed behind the question";
    }).answerMessage(MsgBoxResult::Cancel).answerMessage(); // and "削除をキャンセルしました"
    mainWindow().deleteButton->click();
    waitForPicture();
    EXPECT_EQ(imageWindow().picture.naturalWidth(), 30);
    EXPECT_EQ(model().savePath(), at("c.jpg"));
}

} // namespace
