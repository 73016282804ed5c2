// The real file dialog, answered with keys as a person would.
#include <filesystem>

#include <sys/stat.h>

#include <QtWidgets>

#include "app/translations.h"
#include "form_fixture.h"
#include "files/native_names.h"

namespace {

using Action = std::function<void(QWidget*)>;

// Runs the next action on each modal box as it opens.
struct ModalDriver {
    explicit ModalDriver(std::vector<Action> actions) : actions(std::move(actions))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || box == handled)
                return;
            handled = box;
            if (next < this->actions.size())
                return this->actions[next++](box);
            ADD_FAILURE() << "an unexpected box: " << box->windowTitle().toStdString();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        timer.start(0);
    }
    ~ModalDriver() { EXPECT_EQ(next, actions.size()) << "fewer boxes opened than expected"; }

    std::vector<Action> actions;
    std::size_t next = 0;
    QPointer<QWidget> handled;
    QTimer timer;
};

// A key pressed where the keyboard focus is, or on the box when nothing in it has the focus.
Action press(Qt::Key key)
{
    return [key](QWidget* box) { QTest::keyClick(box->isAncestorOf(QApplication::focusWidget()) ? QApplication::focusWidget() : box, key); };
}

struct SaveFileDialogOnForms : FormTest {
    SaveFileDialogOnForms()
    {
        services().dialogs = nullptr;
        startProgram();
    }
    ~SaveFileDialogOnForms() override { std::filesystem::remove_all(bytes.constData()); } // Qt's clean-up cannot reach it
    const QByteArray bytes = native_names::encode(programFolder()) + "/bad\xff\xfe";
    const QString pictures = programFolder() + "/pictures", bad = native_names::decode(bytes);
    const bool made = QDir().mkpath(pictures) && ::mkdir(bytes.constData(), 0755) == 0;
};

// The proposed folder: the picture's, the program's for a drive's root, and one not named in UTF-8 through a stand-in.
TEST_F(SaveFileDialogOnForms, OpensOnTheJpegFilterInTheProposedFolder)
{
    ASSERT_TRUE(made);
    const auto inode = [](const QByteArray& path) { struct stat info {}; return ::stat(path.constData(), &info) == 0 ? info.st_ino : 0; };
    for (const auto& [currentPicturePath, folder] :
         {std::pair(pictures + "/photo.bmp", pictures), std::pair(QStringLiteral("/"), App::path()), std::pair(bad + "/photo.bmp", bad)}) {
        model().enterFolder(currentPicturePath); // the path a save proposes
        mainWindow().openSaveDialog();
        settleWorkers();
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
TEST_F(SaveFileDialogOnForms, TheSaveFileDialogListsInJapaneseWhateverTheLocale)
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
