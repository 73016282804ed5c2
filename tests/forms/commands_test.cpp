// The main window's file, clipboard and special-folder commands and help.
// Every box shown must be scripted; shown() lists them all.
#include <optional>
#include <string>
#include <unistd.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QThread>

#include "runtime/forms.h"
#include "fake_drives.h"
#include "form_fixture.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "desktop/help_file.h"
#include "desktop/launcher.h"
#include "files/native_names.h"
#include "runtime/run_time_error.h"
#include "desktop/special_folders.h"
#include "test_files.h"

namespace {

using Boxes = std::vector<std::string>;

std::string box(const QString& text, const QString& title, int style = MsgBoxStyle::OkOnly)
{
    return (text + " | " + title + " | " + QString::number(style)).toStdString();
}

class CommandTest : public FormTest {
protected:
    CommandTest() { start(); }
    explicit CommandTest(bool) {}
    void start()
    {
        startProgram();
        mainWindow = &forms::get<MainWindow>();
    }
    Boxes shown() const
    {
        Boxes boxes;
        for (const auto& b : dialogs_->boxes())
            boxes.push_back(box(b.text, b.title, b.style));
        return boxes;
    }
    MainWindow* mainWindow = nullptr;
};

// Records every command line and starts nothing, or fails once told to.
struct RecordingLauncher : Launcher {
    RecordingLauncher() { services().launcher = this; }
    ~RecordingLauncher() override { services().launcher = nullptr; }
    void Shell(const QString& commandLine, int windowStyle) override
    {
        EXPECT_EQ(windowStyle, vbMinimizedFocus);
        calls << commandLine;
        if (failure != 0)
            throw RunTimeError(failure);
    }
    QStringList calls;
    int failure = 0;
};

// A program for the launcher recording each run's arguments, NUL-separated
// (no argument holds that byte) and renamed into place so none is half read.
struct FakeProgram {
    explicit FakeProgram(const QString& name = "opener")
        : path(folder.filePath(name))
    {
        writeBytes(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // The arguments of the next run, or nothing when none came in time.
    std::optional<QStringList> waitForArguments(int timeoutMs = 10000)
    {
        for (int waited = 0; !QFile::exists(path + ".args"); waited += 20, QThread::msleep(20))
            if (waited >= timeoutMs)
                return std::nullopt;
        QStringList arguments;
        for (const QByteArray& argument : readBytes(path + ".args").split('\0'))
            arguments << native_names::decode(argument);
        QFile::remove(path + ".args");
        arguments.removeLast(); // after the last terminator
        return arguments;
    }
    QTemporaryDir folder;
    QString path;
};

TEST_F(CommandTest, CopyEmptiesTheClipboardWhileTheRedTextIsShownThenCopiesIt)
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setImage(QImage(8, 8, QImage::Format_RGB32));
    dialogs_->whileNextMessageOpen([&] {
        EXPECT_TRUE(clipboard->text().isEmpty() && clipboard->image().isNull());
        EXPECT_EQ(mainWindow->pathBox->palette().color(QPalette::Text), QColor(Qt::red));
        mainWindow->pathBox->setText(" typed while open ");
    });
    dialogs_->answerMessage();
    mainWindow->copyButton->click();
    EXPECT_EQ(clipboard->text(), " typed while open ");
    EXPECT_EQ(mainWindow->pathBox->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(shown(), Boxes{box("コピー完了", "クリップボード")});

    // A name that is not UTF-8 is no text; its URI keeps the bytes. A valid one is both.
    for (const QByteArray& name : {QByteArray("/tmp/bad\xFF\xFE.jpg"), QByteArray("/tmp/写 真#.jpg")}) {
        mainWindow->pathBox->setText(native_names::decode(name));
        dialogs_->answerMessage();
        mainWindow->copyButton->click();
        const bool utf8 = name.endsWith("#.jpg");
        EXPECT_EQ(clipboard->mimeData()->formats().contains("text/plain"), utf8);
        EXPECT_TRUE(!utf8 || clipboard->text() == QString::fromUtf8(name));
        EXPECT_EQ(clipboard->mimeData()->data("text/uri-list"),
                  utf8 ? "file:///tmp/%E5%86%99%20%E7%9C%9F%23.jpg\r\n" : "file:///tmp/bad%FF%FE.jpg\r\n");
    }
}

// Run, the clipboard viewer and help go through the launcher; help only for a View.hlp file beside the program.
TEST_F(CommandTest, RunViewerAndHelpGoThroughTheLauncherOrSayWhyNot)
{
    RecordingLauncher launcher;
    const QString helpFile = programFolder() + "/View.hlp", page = programFolder() + "/help.html";
    const QStringList pages{page};
    setHelpPages(&pages);
    mainWindow->pathBox->setText(" a b.jpg  ");
    dialogs_->answerMessage().answerMessage();
    mainWindow->runButton->click();
    mainWindow->clipboardViewerAction->trigger();
    mainWindow->helpAction->trigger();
    QDir().mkpath(helpFile); // a folder of that name is no help file either
    mainWindow->showHelp();
    EXPECT_EQ(launcher.calls, (QStringList{"Start  a b.jpg  ", "Start Clipbrd.exe"}));
    QDir().rmdir(helpFile);
    writeBytes(helpFile, {});
    launcher.failure = RunTimeError::FileNotFound;
    dialogs_->answerMessage().answerMessage().answerMessage();
    mainWindow->runFile();
    mainWindow->openClipboardViewer();
    mainWindow->showHelp();
    EXPECT_EQ(launcher.calls.mid(2), (QStringList{"Start  a b.jpg  ", "Start Clipbrd.exe", "Start " + helpFile}));
    const std::string noHelp = box("ヘルプファイルが見つかりません", "ヘルプ"), cannotStart = box("ファイルが見つかりません", "エラー");
    // Without View.hlp the program's own page is opened.
    QFile::remove(helpFile);
    writeBytes(page, {});
    dialogs_->answerMessage();
    mainWindow->showHelp();
    setHelpPages(nullptr);
    EXPECT_EQ(launcher.calls.last(), "Start " + page);
    const std::string noViewer = box("ヘルプを表示するプログラムが見つかりません", "ヘルプ");
    EXPECT_EQ(shown(), (Boxes{noHelp, noHelp, cannotStart, cannotStart, noViewer, noViewer}));
}

// With stand-in programs: a name reaches the opener as one argument, a leading "-" cannot pass
// for an option, nothing runs through a shell, and the clipboard viewer is the first one installed.
TEST(DesktopLauncher, NothingTypedRunsACommandAndTheClipboardViewerIsTheFirstInstalled)
{
    FakeProgram opener, second("viewer-b"), third("viewer-c");
    DesktopLauncher launcher;
    launcher.setOpener(opener.path);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(opener.folder.path());
    const std::pair<QString, QString> typedAndPassed[] = {
        {"a; touch pwned", "a; touch pwned"}, {"$(touch pwned)", "$(touch pwned)"}, {"`touch pwned`", "`touch pwned`"},
        {"a\ntouch pwned", "a\ntouch pwned"}, {"-pwned", "./-pwned"}, {"/a/-b", "/a/-b"},
        {native_names::decode("/bad\xFF\xFE.jpg"), native_names::decode("/bad\xFF\xFE.jpg")}, // bytes as on disk
    };
    for (const auto& [typed, passed] : typedAndPassed) {
        launcher.Shell("Start " + typed, vbMinimizedFocus);
        EXPECT_EQ(opener.waitForArguments(), QStringList{passed}) << typed.toStdString();
    }
    QThread::msleep(200); // the time a smuggled command would need
    EXPECT_FALSE(QFile::exists("pwned"));
    QDir::setCurrent(previous);

    launcher.setSearchPath({second.folder.path(), third.folder.path()});
    launcher.setClipboardViewers({{"viewer-a", {"show"}}, {"viewer-b", {"ui"}}, {"viewer-c", {}}});
    launcher.Shell("Start Clipbrd.exe", vbMinimizedFocus);
    EXPECT_EQ(second.waitForArguments(), QStringList{"ui"});
    launcher.setClipboardViewers({{"viewer-a", {}}});
    for (const char* refused : {"Start ", "FileName", "Start Clipbrd.exe"})
        EXPECT_THROW(launcher.Shell(refused, vbMinimizedFocus), RunTimeError) << refused;
    EXPECT_EQ(third.waitForArguments(300), std::nullopt); // neither the other viewer nor the opener ran
    EXPECT_EQ(opener.waitForArguments(300), std::nullopt);
}

class DeleteTest : public CommandTest {
protected:
    DeleteTest()
    {
        QDir().mkpath(at("sub.jpg"));
        for (const char* name : {"a.jpg", "b.jpg", "c.gif", "*.jpg", "a.jpg ", "sub.jpg/inside.jpg"})
            writeBytes(at(name), {});
        mainWindow->folderList->setPath(folder);
    }
    QString at(const QString& name) const { return folder + "/" + name; }
    void deleteAnswering(const QString& name, int answer = MsgBoxResult::Ok)
    {
        mainWindow->selectedPath = at(name);
        dialogs_->answerMessage(answer).answerMessage();
        mainWindow->deleteSelectedFile();
    }
    std::string asked(const QString& path) const
    {
        return box("ファイル 【　" + path + "　】を削除しますか？", "ファイルの削除", MsgBoxStyle::OkCancel);
    }
    std::string deleted(const QString& name) const { return box(at(name) + "を削除しました", "削除終了"); }
    QStringList left() const { return QDir(folder).entryList(QDir::Files, QDir::Name); }

    const QString folder = programFolder() + "/pictures";
    const std::string notFound = box("ファイルが見つかりません", "ファイルの削除");
};

// Only the selected file is deleted, never the path box's text; wildcards and trailing blanks are
// part of its name, and a folder, a file gone or no selection at all is not found.
TEST_F(DeleteTest, CancelKeepsOkDeletesExactlyTheSelectedFileAndRefreshesTheList)
{
    mainWindow->pathBox->setText(at("b.jpg"));
    const int listed = mainWindow->fileList->ListCount();
    deleteAnswering("a.jpg", MsgBoxResult::Cancel);
    deleteAnswering("a.jpg");
    EXPECT_EQ(mainWindow->fileList->ListCount(), listed - 1);
    for (const char* name : {"a.jpg", "*.jpg", "a.jpg ", "c.gif ", "sub.jpg"})
        deleteAnswering(name);
    mainWindow->folderList->setPath(programFolder()); // a folder change forgets the selection
    dialogs_->answerMessage().answerMessage();
    mainWindow->deleteButton->click();
    EXPECT_EQ(shown(), (Boxes{asked(at("a.jpg")), box("削除をキャンセルしました", "削除キャンセル"), asked(at("a.jpg")),
                              deleted("a.jpg"), asked(at("a.jpg")), notFound, asked(at("*.jpg")), deleted("*.jpg"),
                              asked(at("a.jpg ")), deleted("a.jpg "), asked(at("c.gif ")), notFound, asked(at("sub.jpg")),
                              notFound, asked(""), notFound}));
    EXPECT_EQ(left(), (QStringList{"b.jpg", "c.gif"}));
    EXPECT_TRUE(QFile::exists(at("sub.jpg/inside.jpg")));
}

// Root (how CI runs) overrides folder permissions: this thread lets go of that for the delete.
TEST_F(DeleteTest, AFileInAReadOnlyFolderStays)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct caps[2]{};
    ASSERT_EQ(::syscall(SYS_capget, &header, caps), 0);
    const __u32 held = caps[0].effective;
    caps[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
    ASSERT_EQ(::syscall(SYS_capset, &header, caps), 0);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    deleteAnswering("a.jpg");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    caps[0].effective = held;
    ::syscall(SYS_capset, &header, caps);
    EXPECT_EQ(shown(), (Boxes{asked(at("a.jpg")), notFound}));
    EXPECT_TRUE(QFile::exists(at("a.jpg")));
}

QImage rgb(const QImage& picture) { return picture.convertToFormat(QImage::Format_RGB32); }

// Shown like a clicked file, here from the enlarged view with the window closed, and copied
// back as that picture, not the fitted view; without a picture nothing changes.
TEST_F(CommandTest, ClipboardPictureIsShownFittedAndCopiedBackAtItsNaturalSize)
{
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText("only text");
    mainWindow->pathBox->setText("/pictures/a.jpg");
    mainWindow->enlargeImage();
    dialogs_->answerMessage();
    mainWindow->showClipboardPicture();
    EXPECT_EQ(mainWindow->pathBox->text() + clipboard->text(), "/pictures/a.jpgonly text");
    EXPECT_TRUE(mainWindow->isEnlarged);

    const QImage picture = testPicture(100, 50);
    clipboard->setImage(picture);
    mainWindow->sizeValue->setText("123.456");
    mainWindow->closeImage();
    mainWindow->clipboardPictureButton->click();
    EXPECT_EQ(mainWindow->pathBox->text() + mainWindow->sizeValue->text(), "ClipBoard");
    EXPECT_FALSE(mainWindow->isEnlarged);
    EXPECT_TRUE(mainWindow->closeImageButton->isEnabled() && mainWindow->enlargeButton->isEnabled() && imageWindow.isVisible());
    EXPECT_EQ(rgb(imageWindow.pictureView->picture()), picture);
    // (100 + 4) x (50 + 4) pixels at 15 twips fitted to the 3000 twip box: 810 / (1560 / 3000) = 1557.7.
    EXPECT_EQ(QSizeF(imageWindow.Width().value(), imageWindow.Height().value()), QSizeF(3000, 1558));

    clipboard->setText("text that must go");
    dialogs_->answerMessage();
    mainWindow->copyPictureAction->trigger();
    EXPECT_EQ(rgb(clipboard->image()), picture);
    EXPECT_TRUE(clipboard->text().isEmpty());
    mainWindow->clearClipboardAction->trigger();
    EXPECT_TRUE(clipboard->image().isNull());
    EXPECT_EQ(shown(), (Boxes{box("クリップボードに画像がありません", "クリップボード"), box("イメージをコピーしました", "クリップボード")}));
}

// The special-folder scan over test drives d1, d2, ... in a temporary folder, a drive
// that is not ready being one whose folder does not exist. The user's desktop is
// u/Desktop below one of them, the trash u/.local/share/Trash.
struct SpecialFoldersTest : CommandTest {
    SpecialFoldersTest() : CommandTest(false) {}
};

TEST_F(SpecialFoldersTest, ScanOpensTheLastMatchingDrive)
{
    const std::string notReady = box("デバイスの準備ができていません", "ドライブ情報");
    const std::string noDesktop = box("【ﾃﾞｽｸﾄｯﾌﾟ】が見つかりませんでした", "パスが見つかりません", MsgBoxStyle::Exclamation);
    const std::string noRecycled = box("【Recycled】が見つかりませんでした", "パスが見つかりません", MsgBoxStyle::Exclamation);
    const struct {
        int drives, notReady, userDrive, startDrive; // numbered from 1; notReady 0 for none
        QStringList folders;                          // made below the temporary folder
        bool recycleBin;                              // trashButton rather than desktopButton
        Boxes boxes;
        int index;     // of the drive selected afterwards
        QString shown; // in pathBox afterwards, below the temporary folder
    } scans[] = {
        {3, 0, 2, 1, {"d2/u/Desktop"}, false, {}, 1, "d2/u/Desktop"},
        {4, 0, 1, 1, {"d1/u/Desktop", "d3/u/Desktop"}, false, {}, 2, "d3/u/Desktop"}, // the last match wins
        {2, 0, 2, 1, {"d2/u/desktop", "d2/U/Desktop"}, false, {noDesktop}, 0, "d1"},   // letter case counts
        // Reported in the scan and again when the first entry is chosen at the end.
        {3, 1, 2, 2, {"d2/u"}, false, {notReady, notReady, noDesktop}, 2, "d3"},
        // Searching a drive that is not ready reads the one the list went back
        // to, so right after a match it matches too, and choosing it fails.
        {3, 2, 1, 1, {"d1/u/Desktop"}, false, {notReady, notReady, noDesktop}, 2, "d3"},
        {3, 2, 3, 1, {"d3/u/Desktop"}, false, {notReady}, 2, "d3/u/Desktop"},
        {2, 0, 2, 1, {"d2/u/.local/share/Trash/files"}, true, {}, 1, "d2/u/.local/share/Trash/files"},
        {3, 0, 2, 1, {"d2/u/.local/share/Trash"}, true, {noRecycled}, 1, "d2"}, // the trash without its files
    };
    const QString previous = QDir::currentPath();
    for (const auto& scan : scans) {
        SCOPED_TRACE(scan.shown.toStdString());
        QTemporaryDir temp;
        const QString root = QDir(temp.path()).canonicalPath() + "/";
        QStringList drives;
        for (int n = 1; n <= scan.drives; ++n) {
            drives << root + QString("d%1").arg(n);
            if (n != scan.notReady)
                QDir().mkpath(drives.last());
        }
        for (const QString& folder : scan.folders)
            QDir().mkpath(root + folder);
        FakeDrives table(drives);
        const QString user = drives[scan.userDrive - 1] + "/u";
        services().desktopFolder = user + "/Desktop";
        services().trashFolder = user + "/.local/share/Trash";
        QDir::setCurrent(drives[scan.startDrive - 1]);
        dialogs_.reset();
        dialogs_ = std::make_unique<ScriptedDialogs>();
        start();
        for (std::size_t i = 0; i < scan.boxes.size(); ++i)
            dialogs_->answerMessage();
        (scan.recycleBin ? mainWindow->trashButton : mainWindow->desktopButton)->click();
        EXPECT_EQ(shown(), scan.boxes);
        EXPECT_EQ(mainWindow->driveList->ListIndex(), scan.index);
        EXPECT_EQ(mainWindow->pathBox->text(), root + scan.shown);
        EXPECT_EQ(mainWindow->folderList->Path(), mainWindow->pathBox->text());
        unloadAllFormsNow(); // while the test drives are installed
    }
    QDir::setCurrent(previous);
}

} // namespace
