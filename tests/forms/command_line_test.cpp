// A path from the command line or from a later start, shown as a click shows it.
#include <QDir>

#include "app/command_line.h"
#include "form_fixture.h"

using CommandLineTest = FormTest;

TEST_F(CommandLineTest, APathWaitsForTheMainWindowThenSelectsItsFileOrFolderOrIsReported)
{
    QDir().mkpath(at("sub"));
    write("a.jpg", encodedAs(testPicture(40, 30), "JPEG"));
    write("c.gif", "not a picture");
    commandline::openPath(write("b.bmp", encodedAs(testPicture(30, 40), "BMP"))); // before the main window: kept until it shows
    startProgram();
    MainWindow& form = forms::get<MainWindow>();
    EXPECT_EQ(QStringList({form.folderList->Path(), form.fileList->FileName(), form.pathBox->text(), form.selectedPath}),
              QStringList({pictures(), "b.bmp", at("b.bmp"), at("b.bmp")}));

    commandline::openPath(at("sub"));
    EXPECT_EQ(form.folderList->Path() + '|' + form.selectedPath, at("sub|"));

    form.filterButtons[4]->click(); // KIR only: the file is not listed until every kind is
    commandline::openPath(at("a.jpg"));
    EXPECT_TRUE(form.selectedPath == at("a.jpg") && !form.filterButtons[3]->isEnabled());

    dialogs_->answerMessage().answerMessage();
    commandline::openPath(at("c.gif"));
    commandline::openPath(at("gone.jpg"));
    ASSERT_EQ(dialogs_->boxes().size(), 2u);
    EXPECT_EQ(dialogs_->boxes().front().text + '|' + dialogs_->last().text,
              "ファイルが空です|指定されたファイルまたはフォルダが見つかりません\n" + at("gone.jpg"));
    EXPECT_EQ(form.folderList->Path(), pictures()); // a missing path leaves the browser where it was
}
