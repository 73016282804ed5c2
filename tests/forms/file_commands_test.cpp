// Copy, run and delete on the main window.
#include <unistd.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include "app/forms.h"
#include "fake_program.h"
#include "form_fixture.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"
#include "platform/file_list_box.h"
#include "recording_launcher.h"

namespace {

QColor textColour(const QLineEdit* box) { return box->palette().color(QPalette::Text); }

void touch(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}

QStringList listed(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->ListCount(); ++i)
        names << list->List(i);
    return names;
}

class FileCommandsTest : public FormTest {
protected:
    FileCommandsTest()
    {
        startProgram();
        form1 = &forms::get<Form1>();
    }

    Form1* form1 = nullptr;
};

// ---- copy -------------------------------------------------------------------

TEST_F(FileCommandsTest, CopyEmptiesTheClipboardAndShowsTextRedWhileTheMessageIsOpen)
{
    QClipboard* clipboard = QApplication::clipboard();
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    clipboard->setImage(picture);
    form1->Text1->setText(QStringLiteral("/pictures/a.jpg"));

    dialogs_->whileNextMessageOpen([&] {
        EXPECT_TRUE(clipboard->text().isEmpty());
        EXPECT_TRUE(clipboard->image().isNull());
        EXPECT_EQ(textColour(form1->Text1), QColor(Qt::red));
    });
    dialogs_->answerMessage();
    form1->Command4_Click();

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("コピー完了"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("クリップボード"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(clipboard->text(), QStringLiteral("/pictures/a.jpg"));
    EXPECT_TRUE(clipboard->image().isNull());
    EXPECT_EQ(textColour(form1->Text1), QColor(Qt::black));
}

TEST_F(FileCommandsTest, CopyTakesTheTextAsItIsWhenTheMessageCloses)
{
    QPalette blue = form1->Text1->palette();
    blue.setColor(QPalette::Text, Qt::blue);
    form1->Text1->setPalette(blue);
    form1->Text1->setText(QStringLiteral("before"));

    dialogs_->whileNextMessageOpen([&] { form1->Text1->setText(QStringLiteral(" typed while open ")); });
    dialogs_->answerMessage();
    form1->Command4_Click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(" typed while open "));
    EXPECT_EQ(textColour(form1->Text1), QColor(Qt::black));

    // An empty box puts an empty text there.
    QApplication::clipboard()->setText(QStringLiteral("old"));
    form1->Text1->clear();
    dialogs_->answerMessage();
    form1->Command4_Click();
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
}

TEST_F(FileCommandsTest, PathCopyMenuIsTheCopyButton)
{
    form1->Text1->setText(QStringLiteral("FileName"));
    dialogs_->whileNextMessageOpen([&] { EXPECT_EQ(textColour(form1->Text1), QColor(Qt::red)); });
    dialogs_->answerMessage();
    form1->mnupassc->trigger();
    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("コピー完了"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("クリップボード"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("FileName"));
    EXPECT_EQ(textColour(form1->Text1), QColor(Qt::black));
}

// ---- run --------------------------------------------------------------------

TEST_F(FileCommandsTest, RunHandsStartAndTheTextUnchangedToTheLauncher)
{
    RecordingLauncher launcher;
    form1->Command5_Click();
    form1->Text1->setText(QStringLiteral(" a b.jpg  "));
    form1->Command5->click();

    ASSERT_EQ(launcher.calls.size(), 2u);
    EXPECT_EQ(launcher.calls[0].commandLine, QStringLiteral("Start FileName"));
    EXPECT_EQ(launcher.calls[0].windowStyle, 2);
    EXPECT_EQ(launcher.calls[1].commandLine, QStringLiteral("Start  a b.jpg  "));
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(FileCommandsTest, RunOpensTheFolderShownAfterAFolderChange)
{
    RecordingLauncher launcher;
    form1->Dir1->setPath(programFolder());
    form1->Command5_Click();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].commandLine, QStringLiteral("Start ") + form1->Dir1->Path());
}

TEST_F(FileCommandsTest, RunThatCannotStartSaysTheFileIsNotFound)
{
    RecordingLauncher launcher;
    launcher.failWith(53);
    dialogs_->answerMessage();
    form1->Command5_Click();
    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("エラー"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
}

// Through the desktop's launcher with a stand-in opener: what is typed is one
// argument and never a command.
TEST_F(FileCommandsTest, NothingTypedIntoThePathBoxRunsACommand)
{
    FakeProgram opener;
    DesktopLauncher desktop;
    desktop.setOpener(opener.path());
    setLauncher(&desktop);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(programFolder());

    for (const QString& name : {QStringLiteral("a; touch pwned"), QStringLiteral("$(touch pwned)"),
                                QStringLiteral("`touch pwned`"), QStringLiteral("-pwned")}) {
        form1->Text1->setText(name);
        form1->Command5_Click();
        const auto arguments = opener.waitForArguments();
        ASSERT_TRUE(arguments) << name.toStdString();
        EXPECT_EQ(*arguments, QStringList{DesktopLauncher::openerArgument(name)});
    }
    QThread::msleep(200);
    EXPECT_FALSE(QFile::exists(QDir(programFolder()).filePath(QStringLiteral("pwned"))));
    EXPECT_TRUE(dialogs_->boxes().empty());

    QDir::setCurrent(previous);
    setLauncher(nullptr);
}

// ---- delete -----------------------------------------------------------------

class DeleteTest : public FileCommandsTest {
protected:
    DeleteTest()
    {
        folder = QDir(programFolder()).filePath(QStringLiteral("pictures"));
        QDir().mkpath(folder);
        for (const char* name : {"a.jpg", "b.jpg", "c.gif"})
            touch(folder + QLatin1Char('/') + QLatin1String(name));
        form1->Dir1->setPath(folder);
    }

    QString at(const QString& name) const { return folder + QLatin1Char('/') + name; }

    void expectBox(std::size_t index, const QString& text, const QString& title, int style)
    {
        ASSERT_LT(index, dialogs_->boxes().size());
        const auto& box = dialogs_->boxes()[index];
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.title, title);
        EXPECT_EQ(box.style, style);
    }

    QString confirmation(const QString& path) const
    {
        return QStringLiteral("ファイル 【　") + path + QStringLiteral("　】を削除しますか？");
    }

    QString folder;
};

TEST_F(DeleteTest, OkDeletesTheSelectedFileAndRefreshesTheList)
{
    form1->selpath = at(QStringLiteral("a.jpg"));
    form1->Text1->setText(QStringLiteral("something else"));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7->click();

    ASSERT_EQ(dialogs_->messageCount(), 2);
    expectBox(0, confirmation(at(QStringLiteral("a.jpg"))), QStringLiteral("ファイルの削除"), MsgBoxStyle::OkCancel);
    expectBox(1, at(QStringLiteral("a.jpg")) + QStringLiteral("を削除しました"), QStringLiteral("削除終了"),
              MsgBoxStyle::OkOnly);
    EXPECT_FALSE(QFile::exists(at(QStringLiteral("a.jpg"))));
    EXPECT_TRUE(QFile::exists(at(QStringLiteral("b.jpg"))));
    EXPECT_EQ(listed(form1->File1), (QStringList{QStringLiteral("b.jpg"), QStringLiteral("c.gif")}));
    // Nothing else follows the deletion.
    EXPECT_EQ(form1->selpath, at(QStringLiteral("a.jpg")));
    EXPECT_EQ(form1->Text1->text(), QStringLiteral("something else"));
}

TEST_F(DeleteTest, CancelKeepsTheFile)
{
    form1->selpath = at(QStringLiteral("a.jpg"));
    dialogs_->answerMessage(MsgBoxResult::Cancel).answerMessage();
    form1->Command7_Click();

    ASSERT_EQ(dialogs_->messageCount(), 2);
    expectBox(1, QStringLiteral("削除をキャンセルしました"), QStringLiteral("削除キャンセル"), MsgBoxStyle::OkOnly);
    EXPECT_TRUE(QFile::exists(at(QStringLiteral("a.jpg"))));
    EXPECT_EQ(form1->File1->ListCount(), 3);
}

TEST_F(DeleteTest, AfterAFolderChangeNothingIsNamedAndNothingDeleted)
{
    form1->selpath = at(QStringLiteral("a.jpg"));
    form1->Dir1->setPath(programFolder());
    ASSERT_TRUE(form1->selpath.isEmpty());

    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    ASSERT_EQ(dialogs_->messageCount(), 2);
    expectBox(0, QStringLiteral("ファイル 【　　】を削除しますか？"), QStringLiteral("ファイルの削除"), MsgBoxStyle::OkCancel);
    expectBox(1, QStringLiteral("ファイルが見つかりません"), QStringLiteral("ファイルの削除"), MsgBoxStyle::OkOnly);

    dialogs_->answerMessage(MsgBoxResult::Cancel).answerMessage();
    form1->Command7_Click();
    expectBox(3, QStringLiteral("削除をキャンセルしました"), QStringLiteral("削除キャンセル"), MsgBoxStyle::OkOnly);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 3);
}

TEST_F(DeleteTest, DeletingTheSameFileTwiceFindsNothingTheSecondTime)
{
    form1->selpath = at(QStringLiteral("b.jpg"));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    touch(at(QStringLiteral("late.jpg"))); // appears only if the list is re-read

    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    ASSERT_EQ(dialogs_->messageCount(), 4);
    expectBox(2, confirmation(at(QStringLiteral("b.jpg"))), QStringLiteral("ファイルの削除"), MsgBoxStyle::OkCancel);
    expectBox(3, QStringLiteral("ファイルが見つかりません"), QStringLiteral("ファイルの削除"), MsgBoxStyle::OkOnly);
    // A failed deletion leaves the list as it was.
    EXPECT_EQ(listed(form1->File1), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("c.gif")}));
}

TEST_F(DeleteTest, DeletesExactlyTheNamedFileWhateverItsName)
{
    touch(at(QStringLiteral("*.jpg")));
    touch(at(QStringLiteral("a.jpg ")));

    form1->selpath = at(QStringLiteral("*.jpg"));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("削除終了"));

    form1->selpath = at(QStringLiteral("a.jpg "));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("削除終了"));

    // Trailing blanks are part of the name: "c.gif " is not "c.gif".
    form1->selpath = at(QStringLiteral("c.gif "));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが見つかりません"));

    QStringList left = QDir(folder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(left, (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.gif")}));
}

TEST_F(DeleteTest, AFolderIsNeverDeleted)
{
    QDir().mkpath(at(QStringLiteral("sub.jpg")));
    touch(at(QStringLiteral("sub.jpg/inside.jpg")));
    form1->selpath = at(QStringLiteral("sub.jpg"));
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("ファイルの削除"));
    EXPECT_TRUE(QFile::exists(at(QStringLiteral("sub.jpg/inside.jpg"))));
}

TEST_F(DeleteTest, AFileInAReadOnlyFolderStays)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    form1->selpath = at(QStringLiteral("a.jpg"));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    dialogs_->answerMessage(MsgBoxResult::Ok).answerMessage();
    form1->Command7_Click();
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("ファイルの削除"));
    EXPECT_TRUE(QFile::exists(at(QStringLiteral("a.jpg"))));
}

} // namespace
