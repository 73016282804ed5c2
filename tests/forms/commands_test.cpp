// The main window's file, clipboard, special-folder and favorite commands and help.
// Every box shown must be scripted; shown() lists them all.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QMimeData>

#include "desktop/launcher.h"
#include "fake_drives.h"
#include "files/native_names.h"
#include "form_fixture.h"
#include "runtime/run_time_error.h"
#include "ui/questions.h"

namespace {

using Boxes = std::vector<std::string>;

std::string box(const QString& text, const QString& title, MsgBoxStyle style = MsgBoxStyle::OkOnly)
{
    return (text + " | " + title + " | " + QString::number(int(style))).toStdString();
}

Boxes shownIn(const ScriptedDialogs& dialogs)
{
    Boxes boxes;
    for (const auto& b : dialogs.boxes())
        boxes.push_back(box(b.text, b.title, b.style));
    return boxes;
}

class CommandTest : public FormTest {
protected:
    CommandTest() { startProgram(); }
    Boxes shown() const { return shownIn(*dialogs_); }
};

// Records what it was asked to open and starts nothing, or fails once told to.
struct RecordingLauncher : Launcher {
    RecordingLauncher() { services().launcher = this; }
    ~RecordingLauncher() override { services().launcher = nullptr; }
    void open(const QString& path, std::function<void()> failedLater) override
    {
        record("open " + path);
        failed = std::move(failedLater);
    }
    void openClipboardViewer() override { record("clipboard viewer"); }
    void record(const QString& call)
    {
        calls << call;
        if (failure)
            throw RunTimeError(failure);
    }
    QStringList calls;
    int failure = 0;
    std::function<void()> failed; // the last open's
};

QImage rgb(const QImage& picture) { return picture.convertToFormat(QImage::Format_RGB32); }

// The path is text alone (no file to paste), as its own bytes whether UTF-8 or not, read once the box is answered.
TEST_F(CommandTest, CopyEmptiesTheClipboardThenGivesThePathBytesAsText)
{
    QClipboard* clipboard = QApplication::clipboard();
    for (const QByteArray& name : {QByteArray(" /tmp/bad\xFF\xFE.jpg "), QByteArray("/tmp/写 真#.jpg")}) {
        clipboard->setImage(QImage(8, 8, QImage::Format_RGB32));
        dialogs_->whileNextBoxOpen([&] {
            EXPECT_TRUE(clipboard->text().isEmpty() && clipboard->image().isNull()) << "the clipboard was not emptied first";
            EXPECT_EQ(mainWindow().pathBox->palette().color(QPalette::Text), QColor(Qt::red));
            mainWindow().pathBox->setText(native_names::decode(name));
        }).answerMessage();
        mainWindow().copyButton->click();
        EXPECT_EQ(clipboard->mimeData()->formats(), QStringList{"text/plain"}) << name.toStdString();
        EXPECT_EQ(clipboard->mimeData()->data("text/plain"), name);
        EXPECT_EQ(mainWindow().pathBox->palette().color(QPalette::Text), QColor(Qt::black));
    }
    EXPECT_EQ(shown(), Boxes(2, box("コピー完了", "クリップボード")));
}

// Without a picture nothing changes, here in the enlarged view; with one it shows like a clicked file, here with the
// window closed, and is copied back as the clipboard's picture, not the fitted view; clearing leaves nothing.
TEST_F(CommandTest, TheClipboardPictureShowsAndCopiesBackThenClears)
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText("only text");
    mainWindow().pathBox->setText("/pictures/a.jpg");
    mainWindow().sizeValue->setText("123.456");
    mainWindow().enlargeImage();
    dialogs_->answerMessage();
    mainWindow().showClipboardPicture();
    EXPECT_EQ(mainWindow().pathBox->text() + clipboard->text(), "/pictures/a.jpgonly text");
    EXPECT_TRUE(mainWindow().isEnlarged) << "the enlarged view was left";
    const QImage picture = testPicture(100, 50);
    clipboard->setImage(picture);
    mainWindow().closeImage();
    mainWindow().clipboardPictureButton->click();
    EXPECT_EQ(mainWindow().pathBox->text() + mainWindow().sizeValue->text(), "ClipBoard");
    EXPECT_FALSE(mainWindow().isEnlarged);
    EXPECT_TRUE(mainWindow().closeImageButton->isEnabled() && imageWindow().isVisible()) << "the image window stayed closed";
    EXPECT_EQ(rgb(imageWindow().pictureView->picture()), picture);
    // (100 + 4) x (50 + 4) pixels at 15 twips fitted to the 3000 twip box: 810 / (1560 / 3000) = 1557.7.
    EXPECT_EQ(QSizeF(imageWindow().twipsWidth().value(), imageWindow().twipsHeight().value()), QSizeF(3000, 1558));
    clipboard->setText("text that must go");
    dialogs_->answerMessage();
    mainWindow().copyPictureAction->trigger();
    EXPECT_EQ(rgb(clipboard->image()), picture);
    EXPECT_TRUE(clipboard->text().isEmpty()) << "the old text stayed";
    mainWindow().clearClipboardAction->trigger();
    EXPECT_TRUE(clipboard->image().isNull() && clipboard->text().isEmpty()) << "the clipboard was not cleared";
    EXPECT_EQ(shown(), (Boxes{box("クリップボードに画像がありません", "クリップボード"), box("イメージをコピーしました", "クリップボード")}));
}

// Run, the clipboard viewer and help go through the launcher; help is View.hlp beside the program (not a folder of that
// name), else the program's own page.
TEST_F(CommandTest, RunViewerAndHelpGoThroughTheLauncherOrSayWhyNot)
{
    RecordingLauncher launcher;
    const QString helpFile = programFolder() + "/View.hlp", page = programFolder() + "/help.html";
    services().helpPages = {page};
    mainWindow().pathBox->setText(" a b.jpg  ");
    QDir().mkpath(helpFile);
    dialogs_->answerMessage();
    mainWindow().runButton->click();
    mainWindow().clipboardViewerAction->trigger();
    mainWindow().helpAction->trigger();
    QDir().rmdir(helpFile);
    writeBytes(helpFile, {});
    launcher.failure = RunTimeError::FileNotFound;
    dialogs_->answerMessage().answerMessage().answerMessage();
    mainWindow().runFile();
    mainWindow().openClipboardViewer();
    mainWindow().showHelp();
    QFile::remove(helpFile);
    writeBytes(page, {});
    dialogs_->answerMessage();
    mainWindow().showHelp();
    services().helpPages.clear();
    const QString run = "open  a b.jpg  ", viewer = "clipboard viewer";
    EXPECT_EQ(launcher.calls, (QStringList{run, viewer, run, viewer, "open " + helpFile, "open " + page}));
    const std::string cannotStart = box("ファイルが見つかりません", "エラー"), noViewer = box("ヘルプを表示するプログラムが見つかりません", "ヘルプ");
    EXPECT_EQ(shown(), (Boxes{box("ヘルプファイルが見つかりません", "ヘルプ"), cannotStart, cannotStart, noViewer, noViewer}));
}

// The opener started but could not open the path: run and help say so once no question is open, in that order.
TEST_F(CommandTest, AnOpenerFailingAfterItStartedIsReportedAfterTheQuestion)
{
    RecordingLauncher launcher;
    services().helpPages = {programFolder() + "/help.html"};
    writeBytes(programFolder() + "/help.html", {});
    mainWindow().pathBox->setText("a.jpg");
    mainWindow().runFile();
    const std::function<void()> runFailed = launcher.failed;
    mainWindow().showHelp();
    const std::function<void()> helpFailed = launcher.failed;
    ASSERT_TRUE(runFailed && helpFailed);
    {
        const questions::Open open;
        runFailed();
        helpFailed();
        QCoreApplication::processEvents();
        EXPECT_TRUE(shown().empty()) << "reported while a question was open";
    }
    dialogs_->answerMessage().answerMessage();
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), (Boxes{box("ファイルが見つかりません", "エラー"), box("ヘルプを表示するプログラムが見つかりません", "ヘルプ")}));
    services().helpPages.clear();
}

class DeleteTest : public CommandTest {
protected:
    DeleteTest()
    {
        QDir().mkpath(at("sub.jpg"));
        for (const char* name : {"a.jpg", "A.JPG", "b.jpg", "c.gif", "*.jpg", "a.jpg ", "sub.jpg/inside.jpg"})
            write(name);
        mainWindow().folderList->setPath(pictures());
    }
    void deleteAnswering(const QString& name, MsgBoxResult answer = MsgBoxResult::Ok)
    {
        mainWindow().selectedPath = at(name);
        dialogs_->answerMessage(answer).answerMessage();
        mainWindow().deleteSelectedFile();
    }
    std::string asked(const QString& path) const { return box("ファイル 【　" + path + "　】を削除しますか？", "ファイルの削除", MsgBoxStyle::OkCancel); }
    std::string deleted(const QString& name) const { return box(at(name) + "を削除しました", "削除終了"); }
    const std::string notFound = box("ファイルが見つかりません", "ファイルの削除");
};

// Cancel keeps the file, OK deletes it from the list. Only the selected file goes, never the path box's
// text; wildcards and trailing blanks are part of its name, and a folder, a file gone or no selection is not found.
TEST_F(DeleteTest, OnlyTheSelectedFileByItsExactNameIsDeletedOnOk)
{
    const int listed = mainWindow().fileList->listCount();
    mainWindow().pathBox->setText(at("b.jpg"));
    deleteAnswering("c.gif", MsgBoxResult::Cancel);
    for (const char* name : {"a.jpg", "a.jpg", "*.jpg", "a.jpg ", "c.gif ", "sub.jpg"})
        deleteAnswering(name);
    EXPECT_EQ(mainWindow().fileList->listCount(), listed - 2) << "the list was not refreshed"; // "a.jpg " is no JPEG name
    mainWindow().folderList->setPath(programFolder()); // a folder change forgets the selection
    dialogs_->answerMessage().answerMessage();
    mainWindow().deleteButton->click();
    EXPECT_EQ(shown(), (Boxes{asked(at("c.gif")), box("削除をキャンセルしました", "削除キャンセル"), asked(at("a.jpg")), deleted("a.jpg"),
                              asked(at("a.jpg")), notFound, asked(at("*.jpg")), deleted("*.jpg"), asked(at("a.jpg ")),
                              deleted("a.jpg "), asked(at("c.gif ")), notFound, asked(at("sub.jpg")), notFound, asked(""), notFound}));
    EXPECT_EQ(QDir(pictures()).entryList(QDir::Files, QDir::Name), (QStringList{"A.JPG", "b.jpg", "c.gif"}));
    EXPECT_TRUE(QFile::exists(at("sub.jpg/inside.jpg")));
}

// Root (how CI runs) overrides folder permissions: this thread lets go of that.
TEST_F(DeleteTest, AFileInAReadOnlyFolderStays)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    ASSERT_EQ(::syscall(SYS_capget, &header, caps), 0);
    const __u32 held = caps[0].effective;
    caps[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    ASSERT_EQ(::syscall(SYS_capset, &header, caps), 0);
    QFile::setPermissions(pictures(), QFile::ReadOwner | QFile::ExeOwner);
    deleteAnswering("b.jpg");
    QFile::setPermissions(pictures(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    caps[0].effective = held;
    ::syscall(SYS_capset, &header, caps);
    EXPECT_EQ(shown().back(), notFound);
    EXPECT_TRUE(QFile::exists(at("b.jpg")));
}

// The special-folder scan over test drives d1, d2, ... in a temporary folder, a drive that is not ready being one whose
// folder does not exist. The user's desktop is u/Desktop below one of them, the trash u/.local/share/Trash.
using SpecialFoldersTest = FormTest;
TEST_F(SpecialFoldersTest, ScanOpensTheLastMatchingDrive)
{
    const std::string notReady = box("デバイスの準備ができていません", "ドライブ情報");
    const std::string noDesktop = box("【ﾃﾞｽｸﾄｯﾌﾟ】が見つかりませんでした", "パスが見つかりません", MsgBoxStyle::Exclamation);
    const std::string noRecycled = box("【Recycled】が見つかりませんでした", "パスが見つかりません", MsgBoxStyle::Exclamation);
    // Drives numbered from 1 (notReady 0 for none), folders made and the path shown below the
    // temporary folder, the trash button or the desktop one, the boxes and the drive index after.
    const struct { int drives, notReady, userDrive, startDrive; QStringList folders; bool trash; Boxes boxes; int index; QString shown; } scans[] = {
        {4, 0, 1, 1, {"d1/u/Desktop", "d3/u/Desktop"}, false, {}, 2, "d3/u/Desktop"}, // the last match wins
        {2, 0, 2, 1, {"d2/u/desktop", "d2/U/Desktop"}, false, {noDesktop}, 0, "d1"},   // letter case counts
        // Reported in the scan and again when the first entry is chosen at the end.
        {3, 1, 2, 2, {"d2/u"}, false, {notReady, notReady, noDesktop}, 2, "d3"},
        // Searching a drive that is not ready reads the one the list went back
        // to, so right after a match it matches too, and choosing it fails.
        {3, 2, 1, 1, {"d1/u/Desktop"}, false, {notReady, notReady, noDesktop}, 2, "d3"},
        {2, 0, 2, 1, {"d2/u/.local/share/Trash/files"}, true, {}, 1, "d2/u/.local/share/Trash/files"},
        {3, 0, 2, 1, {"d2/u/.local/share/Trash"}, true, {noRecycled}, 1, "d2"}, // the trash without its files
    };
    const QString previous = QDir::currentPath();
    for (const auto& scan : scans) {
        SCOPED_TRACE(scan.shown.toStdString());
        QTemporaryDir temp;
        const QString root = QDir(temp.path()).canonicalPath() + "/";
        QStringList drives;
        for (int n = 1; n <= scan.drives; ++n)
            drives << root + QString("d%1").arg(n);
        for (const QString& folder : scan.folders + drives)
            if (folder != drives.value(scan.notReady - 1))
                QDir().mkpath(folder.startsWith('/') ? folder : root + folder);
        FakeDrives table(drives);
        const QString user = drives[scan.userDrive - 1] + "/u";
        services().desktopFolder = user + "/Desktop";
        services().trashFolder = user + "/.local/share/Trash";
        QDir::setCurrent(drives[scan.startDrive - 1]);
        dialogs_ = std::make_unique<ScriptedDialogs>();
        startProgram();
        for (std::size_t i = 0; i < scan.boxes.size(); ++i)
            dialogs_->answerMessage();
        (scan.trash ? mainWindow().trashButton : mainWindow().desktopButton)->click();
        EXPECT_EQ(shownIn(*dialogs_), scan.boxes);
        EXPECT_EQ(mainWindow().driveList->listIndex(), scan.index);
        EXPECT_EQ(mainWindow().pathBox->text() + '|' + mainWindow().folderList->path(), root + scan.shown + '|' + root + scan.shown);
        unloadAllFormsNow(); // while the test drives are installed
    }
    QDir::setCurrent(previous);
}

// The six favorite folders: kept in kiriview.ini beside the program, shown in
// the menu with their exact text, set by number and cleared all at once.
class FavoritesTest : public FormTest {
protected:
    FavoritesTest() { startProgram(); }
    QString ini() const { return programFolder() + "/kiriview.ini"; }
    QString folder(const QString& name) const { return QDir().mkpath(at(name)) ? at(name) : ""; }
    // The visible slots as "n=caption".
    QStringList shown() const
    {
        QStringList items;
        for (int n = 1; n <= 6; ++n)
            if (mainWindow().favoriteActions[n]->isVisible())
                items << QString::number(n) + '=' + mainWindow().favoriteActions[n]->data().toString();
        return items;
    }
    // Answers the number prompt while the folder list shows the path.
    void add(const QString& path, const QString& answer)
    {
        mainWindow().folderList->setPath(path);
        dialogs_->answerInput(answer);
        mainWindow().addFavorite();
    }
    static void restart()
    {
        unloadAllFormsNow();
        startProgram();
    }
};

// Both ends of the range and numbers as Val reads them select a slot, a later folder replaces it and clearing
// removes the section; nothing is written for an answer out of range, and the rest of the file, even bytes that are
// no text, stays as it was.
TEST_F(FavoritesTest, OnlyOneToSixSetASlotAndTheRestOfTheFileStays)
{
    const QByteArray others = "\x81\xff\xfe [no text]\x82=\xa0\n[window]\nleft=10\n";
    const QByteArray before = others + "[okini]\nkey01=/nowhere\n[tail]\nx=1\n";
    writeBytes(ini(), before);
    restart();
    const QString a = folder("a"), b = folder("b");
    for (const char* answer : {"0", "7", "1.5", "-1", "abc", ""})
        add(a, answer);
    EXPECT_EQ(shown(), QStringList{"1=/nowhere"});
    EXPECT_EQ(readBytes(ini()), before) << "written for an answer out of range";
    for (const auto& [answer, slot] : {std::pair("1", 1), std::pair("&H6", 6), std::pair(" 2.0", 2), std::pair("5abc", 5)}) {
        mainWindow().clearFavorites();
        EXPECT_TRUE(shown().isEmpty() && !mainWindow().clearFavoritesAction->isEnabled()) << "a slot survived clearing";
        add(a, answer);
        add(b, QString::number(slot)); // replaces a
        EXPECT_EQ(shown(), QStringList{QString::number(slot) + '=' + b}) << answer;
        EXPECT_EQ(readBytes(ini()), others + "[tail]\nx=1\n[okini]\nkey0" + QByteArray::number(slot) + '=' + b.toUtf8() + '\n') << answer;
    }
}

// After a restart a favorite opens by its exact text; one gone since warns, stays in the menu and leaves the list;
// one the file cannot hold (a name that is not UTF-8) is refused with a message and its slot keeps its folder.
TEST_F(FavoritesTest, AFavoriteOpensByItsTextAfterARestartOrSaysWhyNot)
{
    const QString odd = folder(" 写真 & 'R&D' \"x\"; #1 "), gone = folder("gone");
    add(odd, "6");
    add(gone, "4");
    const QByteArray bytes = QFile::encodeName(pictures()) + "/caf\xE9";
    ASSERT_EQ(::mkdir(bytes.constData(), 0700), 0);
    mainWindow().folderList->setPath(native_names::decode(bytes));
    dialogs_->answerInput("6").answerMessage();
    mainWindow().addFavorite();
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "お気に入りに保存できませんでした警告");
    restart();
    EXPECT_EQ(mainWindow().favoriteActions[6]->text(), QString(odd).replace("&", "&&"));
    mainWindow().openFavorite(6);
    EXPECT_EQ(mainWindow().folderList->path() + '|' + mainWindow().pathBox->text(), odd + '|' + odd);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    dialogs_->answerMessage();
    mainWindow().openFavorite(4);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "パスが見つかりません警告");
    EXPECT_EQ(mainWindow().folderList->path(), odd) << "the folder list moved";
    EXPECT_EQ(shown(), (QStringList{"4=" + gone, "6=" + odd})) << "the gone favorite left the menu";
}

} // namespace
