// Browsing drives, folders and the file list; a click shows the picture, or the start-up picture when it cannot.
#include <cstdio>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>

#include "fake_drives.h"
#include "files/files.h"
#include "files/native_names.h"
#include "form_fixture.h"
#include "resources/builtin_pictures.h"
#include "runtime/run_time_error.h"
#include "runtime/texts.h"

namespace {

// Drives a, a drive not ready and b, the program started in a/photos.
class DriveTest : public FormTest {
protected:
    DriveTest()
    {
        QDir(a).mkpath("photos");
        QDir(b).mkpath("music/albums");
        startProgram();
        folders().setPath(a + "/photos");
        drives().refresh();
        drives().setDrive(folders().path());
    }
    static QString where() { return drives().drive() + '|' + folders().path(); }
    const QString a = programFolder() + "/a", b = programFolder() + "/b";
    FakeDrives table_{{a, programFolder() + "/no-medium", b}};
    static DriveListBox& drives() { return *mainWindow().driveList; }
    static DirListBox& folders() { return *mainWindow().folderList; }
};

TEST_F(DriveTest, EachDriveRemembersItsFolderAndOneNotReadyIsReportedAndLeft)
{
    drives().setListIndex(2);
    EXPECT_EQ(where(), b + '|' + b); // never visited: its root
    folders().setPath(b + "/music/albums");
    drives().setListIndex(0);
    dialogs_->answerMessage();
    drives().setListIndex(1);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "デバイスの準備ができていませんドライブ情報");
    EXPECT_EQ(where(), a + '|' + a + "/photos");
    drives().setListIndex(2);
    EXPECT_EQ(where() + '|' + mainWindow().pathBox->text(), b + '|' + b + "/music/albums|" + b + "/music/albums");
    drives().setListIndex(0);
    ASSERT_TRUE(QDir(b + "/music").removeRecursively());
    drives().setListIndex(2);
    EXPECT_EQ(where(), b + '|' + b) << "not the deleted folder's nearest ancestor";
}

// A volume mounted after the start appears when the list is opened; the selection stays.
TEST_F(DriveTest, OpeningTheListReadsTheDrivesAgain)
{
    table_.setDrives({programFolder() + "/usb", b, a}); // the selected drive moves down
    drives().showPopup();
    drives().hidePopup();
    EXPECT_EQ(drives().entry(0) + '|' + where(), programFolder() + "/usb|" + a + '|' + a + "/photos");
}

TEST_F(DriveTest, FoldersOpenByDoubleClickAndAMissingOneRaises)
{
    folders().setPath(b + "/music");
    auto entry = [&](const char* name) { return folders().findItems(name, Qt::MatchEndsWith).value(0); };
    EXPECT_EQ(folders().currentItem(), entry("music")) << "the open folder is the current row";
    folders().setCurrentItem(entry("albums"));
    EXPECT_EQ(folders().path(), b + "/music") << "a single click only selects";
    emit folders().itemDoubleClicked(entry("albums"));
    EXPECT_EQ(mainWindow().pathBox->text(), b + "/music/albums");
    emit folders().itemDoubleClicked(entry("music")); // ancestors stay listed above
    EXPECT_EQ(folders().path(), b + "/music");
    EXPECT_THROW(folders().setPath(programFolder() + "/gone"), RunTimeError);
    EXPECT_EQ(folders().path(), b + "/music") << "a missing folder moved the list";
    // A drive failing when chosen sends the list to the root.
    table_.setDrives({"/", a, b});
    drives().refresh();
    ASSERT_TRUE(QDir(b).removeRecursively());
    dialogs_->answerMessage();
    drives().setListIndex(2);
    EXPECT_EQ(where(), "/|/");
}

QByteArray jpeg(int width, int height) { return encodedAs(testPicture(width, height), "JPEG"); }

class BrowseTest : public FormTest {
protected:
    BrowseTest() { startProgram(); }
    // The picture shown, or with fallback the start-up picture after the box, and the paths either way.
    void expectShown(const QString& name, QSize pixels, bool fallback = false)
    {
        EXPECT_EQ(QStringList({mainWindow().pathBox->text(), mainWindow().selectedPath, model().savePath()}),
                  QStringList({at(name), at(name), fallback ? programFolder() : at(name)}));
        EXPECT_TRUE(!fallback || imageWindow().pictureView->picture() == builtin::noFilePicture()) << "not the start-up picture";
        // Two pixels of border on each side, at 15 twips a pixel.
        EXPECT_EQ(QSizeF(imageWindow().pictureWidth.value(), imageWindow().pictureHeight.value()), QSizeF(pixels + QSize(4, 4)) * 15);
        EXPECT_TRUE(imageWindow().isVisible()) << "the image window is hidden";
    }
    static QStringList listed()
    {
        QStringList names;
        for (int i = 0; i < files().listCount(); ++i)
            names << files().entry(i);
        return names;
    }
    static FileListBox& files() { return *mainWindow().fileList; }
};

TEST_F(BrowseTest, FolderAndFilterChangesListPicturesAndForgetSelection)
{
    QDir().mkpath(at("sub"));
    for (const char* name : {"B.JPG", "a.jpg", "c.jpeg", "d.bmp", "F.GIF", "e.gif", "g.kir", "h.png", "jpg", "k.jpg.txt"})
        write(name, "x");
    mainWindow().sizeValue->setText("1.5");
    mainWindow().folderList->setPath(pictures());
    const QStringList all{"a.jpg", "B.JPG", "c.jpeg", "d.bmp", "e.gif", "F.GIF", "g.kir"};
    EXPECT_EQ(listed(), all) << "not every kind, or not in order whatever the case";
    EXPECT_EQ(files().path() + '|' + mainWindow().pathBox->text() + '|' + model().savePath() + '|' + mainWindow().selectedPath
                  + mainWindow().sizeValue->text(), pictures() + '|' + pictures() + '|' + pictures() + '|');
    dialogs_->answerMessage(); // the selected file holds no picture
    files().setListIndex(0);
    waitForPicture();
    mainWindow().pathBox->setText("typed by hand");
    const QString currentPicturePath = model().savePath();
    const std::pair<int, QStringList> filters[] = {
        {2, {"e.gif", "F.GIF"}}, {0, {"d.bmp"}}, {1, {"a.jpg", "B.JPG", "c.jpeg"}}, {4, {"g.kir"}}, {3, all}};
    for (const auto& [index, names] : filters) {
        mainWindow().dateValue->setText("x");
        mainWindow().filterButtons[index]->click();
        EXPECT_EQ(listed(), names) << "filter " << index;
        EXPECT_EQ(mainWindow().selectedPath + mainWindow().dateValue->text() + files().fileName(), "") << "the selection was kept";
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
    click("bitmap.jpg", encodedAs(testPicture(480, 641), "BMP")); // decided by content
    expectShown("bitmap.jpg", QSize(480, 641));
    ASSERT_TRUE(QDir(pictures()).mkdir("x.jpg")); // a folder is never listed as a file
    const QString names[] = {"a & b's \"quoted\".jpg", "写真 ２０２６.jpg", native_names::decode("latin1-\xe9t\xe9.jpg")}; // the last not UTF-8
    for (const QString& name : names) {
        click(name, jpeg(12, 7));
        expectShown(name, QSize(12, 7));
    }
    EXPECT_EQ(files().listCount(), 5);
    std::remove(native_names::encode(at(names[2])).constData()); // Qt cannot remove it with its folder
}

// Only the left button picks a file; the arrow keys move a row at a time, from no selection to the first row.
TEST_F(BrowseTest, OnlyALeftClickOrAnArrowKeySelectsARow)
{
    write("a.jpg", jpeg(12, 8));
    write("b.jpg", jpeg(8, 12));
    files().setPath(pictures());
    files().resize(200, 200);
    const QPoint second = files().visualItemRect(files().item(1)).center();
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(files().viewport(), button, {}, second);
        QTest::mouseDClick(files().viewport(), button, {}, second);
    }
    EXPECT_EQ(files().fileName() + '|' + mainWindow().selectedPath, "|") << "selected by another button";
    QApplication::setActiveWindow(&mainWindow());
    files().setFocus(); // the focus frame on the first row, which is not selected
    for (const auto& [key, name] : {std::pair(Qt::Key_Down, "a.jpg"), std::pair(Qt::Key_Down, "b.jpg"), std::pair(Qt::Key_Up, "a.jpg")}) {
        QTest::keyClick(&files(), key);
        waitForPicture();
        EXPECT_EQ(mainWindow().selectedPath, at(name));
    }
    QTest::mouseClick(files().viewport(), Qt::LeftButton, {}, second);
    waitForPicture();
    EXPECT_EQ(mainWindow().selectedPath, at("b.jpg"));
}

// Closed, enlarged or replaced by the clipboard's picture: a click on the same row brings the file back. Meanwhile
// the image window's two buttons offer only what can still be done.
TEST_F(BrowseTest, ClickOnTheSelectedRowShowsItsPictureAgain)
{
    click("a.jpg", jpeg(64, 48));
    const auto buttons = [] { return std::pair(mainWindow().enlargeButton->isEnabled(), mainWindow().closeImageButton->isEnabled()); };
    const std::pair<std::function<void()>, std::pair<bool, bool>> leaves[] = {
        {[] { mainWindow().closeImageButton->click(); }, {false, false}},
        {[] { mainWindow().enlargeButton->click(); }, {false, true}},
        {[] {
             QApplication::clipboard()->setImage(testPicture(10, 10));
             mainWindow().clipboardPictureButton->click();
         }, {true, true}}};
    for (const auto& [leave, enabled] : leaves) {
        leave();
        EXPECT_EQ(buttons(), enabled);
        QTest::mouseClick(files().viewport(), Qt::LeftButton, {}, files().visualItemRect(files().item(0)).center());
        waitForPicture();
        expectShown("a.jpg", QSize(64, 48));
        EXPECT_EQ(imageWindow().twipsWidth().value(), 3000) << "not the box of a click";
        EXPECT_EQ(buttons(), std::pair(true, true));
    }
}

// The size is written before the load fails, even of an empty file; a file gone since the listing keeps the last one.
TEST_F(BrowseTest, EveryBadFileEndsInTheStartUpPicture)
{
    QByteArray huge = jpeg(16, 16); // its header claims 60000 x 60000 pixels
    huge.replace(huge.indexOf("\xff\xc0") + 5, 4, QByteArray::fromHex("ea60ea60"));
    write("gone.kir", "not a picture");
    const std::pair<QString, std::optional<QByteArray>> cases[] = {{"text.kir", "not a picture"}, {"empty.jpg", QByteArray()},
        {"truncated.jpg", jpeg(400, 300).left(2000)}, {"huge.jpg", huge}, {"gone.kir", std::nullopt}};
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name.toStdString());
        if (!bytes) {
            files().setPath(pictures());
            ASSERT_TRUE(QDir().remove(at(name)));
        }
        dialogs_->answerMessage();
        click(name, bytes);
        expectShown(name, QSize(50, 50), true);
        EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "ファイルが空ですエラー");
        EXPECT_EQ(mainWindow().sizeValue->text(), sizeText(bytes.value_or(huge).size()));
    }
}

TEST_F(FormTest, AStartInAFolderNotNamedInUtf8KeepsItsBytes)
{
    const QByteArray folder = QFile::encodeName(pictures()) + "/dir\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    ASSERT_TRUE(writeBytes(native_names::decode(folder + "/a.jpg"), jpeg(8, 8)));
    const QByteArray previous = QFile::encodeName(QDir::currentPath());
    ASSERT_EQ(::chdir(folder.constData()), 0);
    startProgram();
    const QString listed = mainWindow().fileList->path();
    const int files = mainWindow().fileList->listCount();
    ASSERT_EQ(::chdir(previous.constData()), 0);
    EXPECT_EQ(native_names::encode(listed) + QByteArray::number(files), folder + '1');
}

} // namespace
