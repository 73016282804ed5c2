// The real dialog wrappers, answered with keys as a person would, and the favorites prompt as shown.
#include <filesystem>

#include <sys/stat.h>

#include <QtWidgets>

#include "app/translations.h"
#include "form_fixture.h"
#include "save_dialog/save_dialog.h"
#include "files/native_names.h"

namespace {

using Action = std::function<void(QWidget*)>;

// Runs the next action on each modal box as it opens, and notes each box's title and text.
struct ModalDriver {
    explicit ModalDriver(std::vector<Action> actions) : actions(std::move(actions))
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
    return [key](QWidget* box) { QTest::keyClick(box->isAncestorOf(QApplication::focusWidget()) ? QApplication::focusWidget() : box, key); };
}

struct RealDialogsOnForms : FormTest { RealDialogsOnForms() { services().dialogs = nullptr; } };

// Enter is OK and Escape Cancel (OK when it is the only button).
TEST_F(RealDialogsOnForms, MessageBoxAnswersEnterWithOkAndEscapeWithCancel)
{
    const struct { MsgBoxStyle style; Qt::Key key; MsgBoxResult answer; } cases[] = {
        {MsgBoxStyle::OkCancel, Qt::Key_Escape, MsgBoxResult::Cancel}, {MsgBoxStyle::OkCancel, Qt::Key_Return, MsgBoxResult::Ok},
        {MsgBoxStyle::Exclamation, Qt::Key_Enter, MsgBoxResult::Ok}, {MsgBoxStyle::OkOnly, Qt::Key_Escape, MsgBoxResult::Ok}};
    for (const auto& c : cases) {
        ModalDriver driver({press(c.key)});
        EXPECT_EQ(QtDialogService().msgBox(QStringLiteral("質問"), c.style, QStringLiteral("題")), c.answer) << int(c.style) << ", key " << c.key;
        EXPECT_EQ(driver.said, std::vector<std::string>{"題: 質問"});
    }
}

// The favorites prompt: one slot a line, within the screen; the default text is shown selected, Return gives it,
// and what is typed replaces it.
TEST_F(RealDialogsOnForms, InputBoxShowsEachCrLineAndGivesTheDefaultOrTheTypedText)
{
    const QString deepFolder = "/home/someone/" + QString(40, 'x').repeated(20);
    for (const QString typed : {"", "3"}) {
        QString shownText;
        int shownWidth = 0;
        ModalDriver driver({[&](QWidget* box) {
            auto* input = qobject_cast<QInputDialog*>(box);
            shownText = input ? input->labelText() : QString();
            shownWidth = box->sizeHint().width();
            QTest::keyClicks(box->findChild<QLineEdit*>(), typed);
            press(Qt::Key_Return)(box);
        }});
        const auto answer = QtDialogService().inputBox("1: " + deepFolder + "\r2: /tmp\r3: ", "お気に入りナンバー", "1");
        EXPECT_EQ(answer.value_or(""), typed.isEmpty() ? "1" : typed);
        EXPECT_TRUE(shownText.count('\n') == 2 && !shownText.contains('\r') && shownText.endsWith("\n2: /tmp\n3: ")) << shownText.toStdString();
        EXPECT_LE(shownWidth, QGuiApplication::primaryScreen()->availableGeometry().width());
    }
}

// A folder named in bytes that are not UTF-8, beside the pictures' folder.
struct SaveFileDialogOnForms : RealDialogsOnForms {
    SaveFileDialogOnForms() { startProgram(); }
    ~SaveFileDialogOnForms() override { std::filesystem::remove_all(bytes.constData()); } // Qt's clean-up cannot reach it
    const QByteArray bytes = native_names::encode(programFolder()) + "/bad\xff\xfe";
    const QString pictures = programFolder() + "/pictures", bad = native_names::decode(bytes);
    const bool made = QDir().mkpath(pictures) && ::mkdir(bytes.constData(), 0755) == 0;
};

// The file dialog opens on the JPEG filter in the proposed folder: the picture's, the program's for a drive's root, and
// one named in bytes that are not UTF-8 through a stand-in that goes afterwards.
TEST_F(SaveFileDialogOnForms, OpensOnTheJpegFilterInTheProposedFolder)
{
    ASSERT_TRUE(made);
    const auto inode = [](const QByteArray& path) { struct stat info {}; return ::stat(path.constData(), &info) == 0 ? info.st_ino : 0; };
    for (const auto& [currentPicturePath, folder] :
         {std::pair(pictures + "/photo.bmp", pictures), std::pair(QStringLiteral("/"), App::path()), std::pair(bad + "/photo.bmp", bad)}) {
        model().enterFolder(currentPicturePath); // the path a save proposes
        mainWindow().openSaveDialog();
        QString shown;
        ModalDriver driver({[&](QWidget* box) {
                                auto* dialog = qobject_cast<QFileDialog*>(box);
                                auto* name = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                                ASSERT_TRUE(dialog && name);
                                EXPECT_EQ(dialog->selectedNameFilter().toStdString(), "JPEG (*.jpg)");
                                shown = dialog->directory().absolutePath();
                                EXPECT_EQ(inode(QFile::encodeName(shown)), inode(native_names::encode(folder)));
                                name->selectAll();
                                QTest::keyClicks(name, QStringLiteral("saved.jpg\r"));
                            },
                            press(Qt::Key_Return)});
        driver.handled = FormTest::saveDialog(); // the modal save dialog itself is no box to answer
        (*FormTest::saveDialog()).save();
        waitForPicture();
        EXPECT_TRUE(readBytes(folder + "/saved.jpg").startsWith("\xFF\xD8\xFF")) << currentPicturePath.toStdString();
        EXPECT_EQ(QDir(shown + "/..").exists(), shown == folder) << "the stand-in was left";
    }
}

// Under a C locale (C.UTF-8 here, as CTest sets it), the file list says "フォルダー" and writes
// dates and sizes as Japanese does.
TEST_F(RealDialogsOnForms, TheSaveFileDialogListsInJapaneseWhateverTheLocale)
{
    installJapaneseTranslations();
    QTemporaryDir folder;
    QDir(folder.path()).mkdir("sub");
    writeBytes(folder.filePath("a.jpg"), QByteArray(1500, 'x'));
    QStringList sub, file;
    ModalDriver driver({[&](QWidget* box) {
        auto* view = box->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_TRUE(view);
        QAbstractItemModel* list = view->model();
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->rowCount(view->rootIndex()) == 2; }, 10000));
        for (int row = 0; row < list->rowCount(view->rootIndex()); ++row) {
            QStringList& columns = list->index(row, 0, view->rootIndex()).data().toString() == "sub" ? sub : file;
            for (int column = 1; column < 4; ++column)
                columns << list->index(row, column, view->rootIndex()).data().toString();
        }
        press(Qt::Key_Escape)(box);
    }});
    QtDialogService().showSave({{"JPEG (*.jpg)"}, "JPEG (*.jpg)", folder.path(), {}});
    const QLocale program; // Japanese in place of C
    EXPECT_TRUE(QLocale::system().language() != QLocale::C || program.language() == QLocale::Japanese);
    const QString date = program.toString(QFileInfo(folder.filePath("a.jpg")).lastModified(), QLocale::ShortFormat);
    ASSERT_EQ(sub.size(), 3);
    EXPECT_EQ(sub[1], "フォルダー");
    EXPECT_EQ(QStringList({file.value(0), file.value(2)}), QStringList({program.formattedDataSize(1500), date}));
}

} // namespace
