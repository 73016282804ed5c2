// The real dialog wrappers, answered with keys as a person would.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "form_fixture.h"
#include "forms/main/main_window.h"
#include "forms/save/save_dialog.h"
#include "forms/viewing_state.h"
#include "runtime/dialogs.h"
#include "runtime/forms.h"
#include "controls/file_list_box.h"
#include "files/native_names.h"
#include "test_files.h"

namespace {

using Action = std::function<void(QWidget*)>;

// Runs the next action on each modal box as it opens, and notes each box's title and text.
struct ModalDriver {
    explicit ModalDriver(std::vector<Action> actions)
        : actions(std::move(actions))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || box == handled)
                return;
            handled = box;
            const auto* message = qobject_cast<QMessageBox*>(box);
            said.push_back((box->windowTitle() + QStringLiteral(": ") + (message ? message->text() : QString())).toStdString());
            if (next < this->actions.size())
                return this->actions[next++](box);
            ADD_FAILURE() << "an unexpected box: " << said.back();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        timer.start(0);
    }
    ~ModalDriver() { EXPECT_EQ(next, actions.size()) << "fewer boxes opened than expected"; }

    std::vector<Action> actions;
    std::size_t next = 0;
    QPointer<QWidget> handled;
    QTimer timer;
    std::vector<std::string> said;
};

// A key pressed where the keyboard focus is, or on the box when nothing in it has the focus.
Action press(Qt::Key key)
{
    return [key](QWidget* box) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus && box->isAncestorOf(focus) ? focus : box, key);
    };
}

TEST(RealDialogs, MessageBoxAnswersEnterWithOkAndEscapeWithCancel)
{
    const struct { int style; Qt::Key key; int answer; } cases[] = {
        {MsgBoxStyle::OkCancel, Qt::Key_Escape, MsgBoxResult::Cancel}, {MsgBoxStyle::OkCancel, Qt::Key_Return, MsgBoxResult::Ok},
        {MsgBoxStyle::OkCancel | MsgBoxStyle::Exclamation, Qt::Key_Enter, MsgBoxResult::Ok},
        {MsgBoxStyle::OkOnly, Qt::Key_Escape, MsgBoxResult::Ok}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << ", key " << c.key);
        ModalDriver driver({press(c.key)});
        EXPECT_EQ(QtDialogService().msgBox(QStringLiteral("質問"), c.style, QStringLiteral("題")), c.answer);
        EXPECT_EQ(driver.said, std::vector<std::string>{"題: 質問"});
    }
}

TEST(RealDialogs, InputBoxReturnsTheTypedTextOrNothingOnCancel)
{
    for (const auto& [key, typed] : {std::pair(Qt::Key_Return, QStringLiteral("42")), std::pair(Qt::Key_Escape, QString())}) {
        ModalDriver driver({[key = key](QWidget* box) {
            auto* edit = box->findChild<QLineEdit*>();
            ASSERT_TRUE(edit && edit->text() == QStringLiteral("1"));
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("42"));
            press(key)(box);
        }});
        EXPECT_EQ(QtDialogService().inputBox(QStringLiteral("番号"), QStringLiteral("題"), QStringLiteral("1")), typed);
    }
}

class RealDialogsOnForms : public FormTest {
protected:
    RealDialogsOnForms() { services().dialogs = nullptr; }
};

TEST_F(RealDialogsOnForms, EscapeOnTheDeleteQuestionKeepsTheFileAndEnterDeletesIt)
{
    MainWindow& mainWindow = forms::get<MainWindow>();
    mainWindow.selectedPath = programFolder() + QStringLiteral("/photo.jpg");
    ASSERT_TRUE(QFile(mainWindow.selectedPath).open(QIODevice::WriteOnly));
    const std::string path = mainWindow.selectedPath.toStdString(), question = "ファイルの削除: ファイル 【　" + path + "　】を削除しますか？";
    for (const auto& [key, outcome] : {std::pair(Qt::Key_Escape, std::string("削除キャンセル: 削除をキャンセルしました")),
                                       std::pair(Qt::Key_Return, "削除終了: " + path + "を削除しました")}) {
        ModalDriver driver({press(key), press(Qt::Key_Return)});
        mainWindow.deleteSelectedFile();
        EXPECT_EQ(driver.said, (std::vector<std::string>{question, outcome}));
        EXPECT_EQ(QFile::exists(mainWindow.selectedPath), key == Qt::Key_Escape);
    }
}

// The file dialog opens on the JPEG filter, in the picture's folder or, for a drive's root, the program's.
TEST_F(RealDialogsOnForms, SaveFileDialogOpensOnTheJpegFilterInTheProposedFolder)
{
    const QString pictures = programFolder() + QStringLiteral("/pictures");
    ASSERT_TRUE(QDir().mkpath(pictures));
    for (const auto& [currentPicturePath, folder] : {std::pair(pictures + "/photo.bmp", pictures), std::pair(QStringLiteral("/"), App::Path())}) {
        SCOPED_TRACE(currentPicturePath.toStdString());
        viewing::currentPicturePath = currentPicturePath;
        ModalDriver driver({[&](QWidget* box) {
            auto* dialog = qobject_cast<QFileDialog*>(box);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->selectedNameFilter().toStdString(), "JPEG (*.jpg)");
            EXPECT_EQ(dialog->directory().absolutePath().toStdString(), folder.toStdString());
            press(Qt::Key_Escape)(box);
        }});
        forms::get<SaveDialog>().save(); // cancelled: no box follows
    }
}

// Qt cannot show a folder whose name is not UTF-8: the dialog gets one it can, and the
// picture lands under the folder's exact bytes, with the scripted answer and with the real dialog.
TEST_F(RealDialogsOnForms, ASaveIntoAProposedFolderNamedInBytesThatAreNotUtf8LandsThere)
{
    startProgram();
    const QString folder = native_names::decode(native_names::encode(programFolder()) + "/bad\xff\xfe");
    ASSERT_TRUE(QDir().mkpath(programFolder()) && ::mkdir(native_names::encode(folder).constData(), 0755) == 0);
    ASSERT_TRUE(writeBytes(folder + "/photo.bmp", encodedAs(testPicture(32, 24), "BMP")));
    forms::get<MainWindow>().fileList->setPath(folder);
    forms::get<MainWindow>().fileList->setListIndex(0);
    ASSERT_EQ(viewing::currentPicturePath, folder + "/photo.bmp");

    {
        // While it is open, the scripted dialog checks that Qt reaches the folder proposed.
        struct Scripted : ScriptedDialogs {
            QString showSave(const SaveFileRequest& request) override
            {
                struct stat shown {}, real {};
                EXPECT_TRUE(::stat(QFile::encodeName(QFileInfo(request.initDir).path()).constData(), &shown) == 0
                            && ::stat(native_names::encode(folder).constData(), &real) == 0 && shown.st_ino == real.st_ino)
                    << request.initDir.toStdString();
                return ScriptedDialogs::showSave(request);
            }
            QString folder;
        } scripted;
        scripted.folder = folder;
        scripted.answerSave(folder + "/scripted.jpg").answerMessage();
        forms::get<SaveDialog>().save();
    }
    ModalDriver driver({[](QWidget* box) {
                            auto* name = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                            ASSERT_TRUE(name);
                            box->activateWindow();
                            QCoreApplication::processEvents();
                            name->setFocus();
                            name->selectAll();
                            QTest::keyClicks(name, QStringLiteral("real.jpg"));
                            QTest::keyClick(name, Qt::Key_Return);
                        },
                        press(Qt::Key_Return)});
    forms::get<SaveDialog>().save();
    EXPECT_EQ(driver.said.back(), "保存情況: JPEG変換完了♪");
    for (const char* name : {"/scripted.jpg", "/real.jpg", "/photo.bmp"}) {
        EXPECT_TRUE(readBytes(folder + name).startsWith(name[1] == 'p' ? "BM" : "\xFF\xD8\xFF")) << name;
        ::unlink((native_names::encode(folder) + name).constData()); // Qt's clean-up cannot reach them
    }
    EXPECT_EQ(::rmdir(native_names::encode(folder).constData()), 0) << "something else was left in the folder";
}

} // namespace
