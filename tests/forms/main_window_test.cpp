// The windows as a person meets them: each window's size with every control inside it and none covering another,
// a click on the file already selected, and a start in a folder whose name is not UTF-8.
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QStyle>

#include "about_dialog/about_dialog.h"
#include "runtime/version.h"
#include "app/splash_screen.h"
#include "files/native_names.h"
#include "form_fixture.h"
#include "ui/twips.h"

namespace {

using LayoutTest = FormTest;

// Where a control shows: a plain label's text (its box may reach beyond the window), any other control whole.
QRect shownPart(const QWidget* w)
{
    QRect r = w->rect();
    auto* label = qobject_cast<const QLabel*>(w);
    if (label && !label->text().isEmpty() && !label->wordWrap() && label->frameShape() == QFrame::NoFrame)
        r = QStyle::alignedRect(Qt::LeftToRight, label->alignment(), label->fontMetrics().size(0, label->text()),
                                label->contentsRect());
    return r.translated(w->pos());
}

// The window's size in twips; its controls inside it and overlapping at most by a shared edge.
void expectTidy(const QWidget* window, QSize twipsSize)
{
    EXPECT_EQ(twips::fromPixels(window->rect()).size(), twipsSize);
    const auto controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* a : controls) {
        const QRect shown = shownPart(a);
        EXPECT_TRUE(window->rect().contains(shown)) << a->objectName().toStdString() << a->toolTip().toStdString();
        for (const QWidget* b : controls) {
            const QRect both = shown & shownPart(b);
            EXPECT_TRUE(a == b || std::min(both.width(), both.height()) <= 1)
                << a->toolTip().toStdString() << " / " << b->toolTip().toStdString();
        }
    }
}

TEST_F(LayoutTest, WindowsHaveTheirSizesAndNoControlOutsideOrCovered)
{
    MainWindow& f = mainWindow();
    expectTidy(f.centralWidget(), QSize(4980, 3555));
    EXPECT_TRUE(f.minimumSize() == f.maximumSize() && !(f.windowFlags() & Qt::WindowMaximizeButtonHint)) << "the main window can be resized";
    SaveDialog saveDialog(SaveDialog::Subject{testPicture(8, 6), nullptr, QString()});
    expectTidy(&saveDialog, QSize(6315, 3510));
    SplashScreen splash;
    expectTidy(&splash, QSize(4680, 3195));
    expectTidy(&mainWindow().aboutDialog(), QSize(3945, 3465));
}

TEST_F(LayoutTest, TheVersionDialogShowsTheProgramsVersion)
{
    AboutDialog& about = mainWindow().aboutDialog();
    about.show();
    EXPECT_EQ(about.versionLabel->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QStringLiteral(KIRIVIEW_VERSION));
}

class ClickAgainTest : public FormTest {
protected:
    ClickAgainTest()
    {
        startProgram();
        click("a.jpg", encodedAs(testPicture(64, 48), "JPEG"));
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
