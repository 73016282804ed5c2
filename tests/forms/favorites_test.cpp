// The six favorite folders: kept in kiriview.ini beside the program, shown in
// the menu with their exact text, set by number and cleared all at once.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLineEdit>

#include "runtime/forms.h"
#include "form_fixture.h"
#include "forms/main/main_window.h"
#include "controls/dir_list_box.h"
#include "test_files.h"

namespace {

class FavoritesTest : public FormTest {
protected:
    QString ini() const { return programFolder() + "/kiriview.ini"; }
    QString folder(const QString& name)
    {
        QDir().mkpath(folders_.path() + '/' + name);
        return folders_.path() + '/' + name;
    }
    // The visible slots as "n=caption".
    QStringList shown() const
    {
        QStringList items;
        for (int n = 1; n <= 6; ++n)
            if (form().favoriteActions[n]->isVisible())
                items << QString::number(n) + '=' + form().favoriteActions[n]->data().toString();
        return items;
    }
    MainWindow& form() const { return forms::get<MainWindow>(); }
    // Answers the number prompt while the folder list shows the path.
    void add(const QString& path, const QString& answer)
    {
        form().folderList->setPath(path);
        dialogs_->answerInput(answer);
        form().addFavorite();
    }
    QTemporaryDir folders_;
};

TEST_F(FavoritesTest, LoadingShowsOnlySetSlotsAndThePromptListsThemAll)
{
    startProgram();
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(QFile::exists(ini())); // nothing is written at start
    unloadAllFormsNow();
    const QString photos = folder("photos");
    writeBytes(ini(), "[other]\nkey01=elsewhere\n[okini]\nkey02=\nkey03=" + photos.toUtf8() + "\n");
    startProgram();
    EXPECT_EQ(shown(), QStringList{"3=" + photos});
    EXPECT_TRUE(form().clearFavoritesAction->isEnabled());

    add(photos, "");
    EXPECT_EQ(dialogs_->last().title + dialogs_->last().defaultText, "お気に入りナンバー1");
    EXPECT_EQ(dialogs_->last().text, "お気に入りセットする番号を入力してください(1～6)\r1.\r2.\r3." + photos + "\r4.\r5.\r6.");
}

TEST_F(FavoritesTest, OnlyAnswersThatReadAsOneToSixSelectASlot)
{
    startProgram();
    const QString target = folder("x");
    for (const char* answer : {"0", "7", "1.5", "-1", "abc", ""})
        add(target, answer);
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(QFile::exists(ini()));
    for (const char* answer : {"2", " 2", "2.0", "2abc", "&H2"}) {
        form().clearFavorites();
        add(target, answer);
        EXPECT_EQ(shown(), QStringList{"2=" + target}) << answer;
        EXPECT_TRUE(readBytes(ini()).contains("key02=" + target.toUtf8())) << answer;
    }
}

// Whatever else the file holds, even bytes that are no text, stays as it was.
TEST_F(FavoritesTest, SettingReplacesOneSlotAndClearingRemovesOnlyItsSection)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) & 0xff));
    const QByteArray others = garbage + "\n[window]\nleft=10\n";
    writeBytes(ini(), others + "[okini]\nkey01=/nowhere\n[tail]\nx=1\n");
    startProgram();
    const QString a = folder("a"), b = folder("b");
    add(a, "3");
    add(b, "3");
    EXPECT_EQ(shown(), (QStringList{"1=/nowhere", "3=" + b}));
    EXPECT_FALSE(readBytes(ini()).contains(a.toUtf8()));

    form().clearFavorites();
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(form().clearFavoritesAction->isEnabled());
    add(a, "5"); // a new section holding only that key
    EXPECT_EQ(readBytes(ini()), others + "[tail]\nx=1\n[okini]\nkey05=" + a.toUtf8() + "\n");
}

TEST_F(FavoritesTest, AwkwardPathsSurviveARestartAndNavigateByTheirExactText)
{
    startProgram();
    const QString odd = folder(" 写真 & 'R&D' \"x\"; #1 ");
    add(odd, "6");
    unloadAllFormsNow();
    startProgram();
    EXPECT_EQ(form().favoriteActions[6]->text(), QString(odd).replace("&", "&&"));
    form().openFavorite(6);
    EXPECT_EQ(form().folderList->Path() + '|' + form().pathBox->text(), odd + '|' + odd);
}

TEST_F(FavoritesTest, GoneFolderWarnsAndStaysInTheMenu)
{
    startProgram();
    const QString gone = folder("gone"), here = folder("here");
    add(gone, "4");
    form().folderList->setPath(here);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    dialogs_->answerMessage();
    form().openFavorite(4);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, "パスが見つかりません警告");
    EXPECT_EQ(form().folderList->Path(), here);
    EXPECT_TRUE(form().favoriteActions[4]->isVisible());
}

} // namespace
