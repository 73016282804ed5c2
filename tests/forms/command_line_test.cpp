// A path from the command line or from a later start, shown as a click shows it.

#include <QDir>

#include "app/command_line.h"
#include "form_fixture.h"
#include "runtime/dialogs.h"

using CommandLineTest = FormTest;

TEST_F(CommandLineTest, APathWaitsForTheMainWindowThenSelectsItsFileOrFolderOrIsReported)
{
    const QString pictures = programFolder() + "/pictures";
    QDir().mkpath(pictures + "/sub");
    ASSERT_TRUE(writeBytes(pictures + "/a.jpg", encodedAs(testPicture(40, 30), "JPEG")));
    ASSERT_TRUE(writeBytes(pictures + "/b.bmp", encodedAs(testPicture(30, 40), "BMP")));
    ASSERT_TRUE(writeBytes(pictures + "/c.gif", "not a picture"));
    commandline::openPath(pictures + "/b.bmp"); // before the main window: kept until it shows
    startProgram();
    MainWindow& form = forms::get<MainWindow>();
    EXPECT_EQ(QStringList({form.folderList->Path(), form.fileList->FileName(), form.pathBox->text(), form.selectedPath}),
              QStringList({pictures, "b.bmp", pictures + "/b.bmp", pictures + "/b.bmp"}));

    commandline::openPath(pictures + "/sub");
    EXPECT_EQ(form.folderList->Path() + '|' + form.selectedPath, pictures + "/sub|");

    form.filterButtons[4]->click(); // KIR only: the file is not listed until every kind is
    commandline::openPath(pictures + "/a.jpg");
    EXPECT_EQ(form.selectedPath, pictures + "/a.jpg");
    EXPECT_FALSE(form.filterButtons[3]->isEnabled());

    dialogs_->answerMessage().answerMessage();
    commandline::openPath(pictures + "/c.gif");
    commandline::openPath(pictures + "/gone.jpg");
    ASSERT_EQ(dialogs_->boxes().size(), 2u);
    EXPECT_EQ(dialogs_->boxes()[0].text, "ファイルが空です");
    EXPECT_EQ(dialogs_->boxes()[1].text, "指定されたファイルまたはフォルダが見つかりません\n" + pictures + "/gone.jpg");
    EXPECT_EQ(form.folderList->Path(), pictures); // a missing path leaves the browser where it was
}
