// The main window as a person meets it: a click on the file already selected, and a start in a
// folder whose name is not UTF-8.
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QFile>

#include "files/native_names.h"
#include "form_fixture.h"

namespace {

class ClickAgainTest : public FormTest {
protected:
    ClickAgainTest()
    {
        write("a.jpg", encodedAs(testPicture(64, 48), "JPEG"));
        startProgram();
        mainWindow().folderList->setPath(pictures());
        mainWindow().fileList->setListIndex(0);
        waitForPicture();
    }
    // A person's click on the first row, which is the one selected.
    void clickTheSelectedRow()
    {
        FileListBox& list = *mainWindow().fileList;
        ASSERT_EQ(list.listIndex(), 0);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
        waitForPicture();
    }
};

// Closed, enlarged or replaced by the clipboard's picture: a click on the same row brings the file back.
TEST_F(ClickAgainTest, ClickOnTheSelectedRowShowsItsPictureAgain)
{
    const std::pair<const char*, std::function<void()>> leaves[] = {
        {"closed", [&] { mainWindow().closeImageButton->click(); }},
        {"enlarged", [&] { mainWindow().enlargeButton->click(); }},
        {"clipboard", [&] {
             QApplication::clipboard()->setImage(testPicture(10, 10));
             mainWindow().clipboardPictureButton->click();
         }}};
    for (const auto& [name, leave] : leaves) {
        SCOPED_TRACE(name);
        leave();
        clickTheSelectedRow();
        EXPECT_TRUE(imageWindow().isVisible());
        EXPECT_EQ(imageWindow().twipsWidth().value(), 3000);
        EXPECT_EQ(mainWindow().pathBox->text(), at("a.jpg"));
        EXPECT_EQ(imageWindow().picture.naturalWidth(), 64);
    }
}

using StartFolderTest = FormTest;

TEST_F(StartFolderTest, FolderNameThatIsNotUtf8KeepsItsBytes)
{
    const QByteArray folder = QFile::encodeName(pictures()) + "/dir\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    ASSERT_TRUE(writeBytes(native_names::decode(folder + "/a.jpg"), encodedAs(testPicture(8, 8), "JPEG")));
    const QByteArray previous = QFile::encodeName(QDir::currentPath());
    ASSERT_EQ(::chdir(folder.constData()), 0);
    startProgram();
    const QString listed = mainWindow().fileList->path();
    const int files = mainWindow().fileList->listCount();
    ASSERT_EQ(::chdir(previous.constData()), 0);
    EXPECT_EQ(native_names::encode(listed), folder);
    EXPECT_EQ(files, 1);
}

} // namespace
