#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "app/forms.h"
#include "form_fixture.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"
#include "test_files.h"

namespace {

class FavoritesTest : public FormTest {
protected:
    QString iniPath() const { return programFolder() + QStringLiteral("/kiriview.ini"); }
    void writeIni(const QByteArray& text) { ASSERT_TRUE(writeBytes(iniPath(), text)); }
    QByteArray readIni() const { return readBytes(iniPath()); }
    QString folder(const QString& name)
    {
        const QString path = folders_.path() + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }
    // The visible slots as "n=caption".
    QStringList shown() const
    {
        QStringList items;
        for (int n = 1; n <= 6; ++n)
            if (form().mnurec[n]->isVisible())
                items << QString::number(n) + QLatin1Char('=') + form().mnurec[n]->data().toString();
        return items;
    }
    Form1& form() const { return forms::get<Form1>(); }
    // Answers the number prompt while the folder list shows the path.
    void add(const QString& path, const QString& answer)
    {
        form().Dir1->setPath(path);
        dialogs_->answerInput(answer);
        form().mnuokiniplus_Click();
    }
    QTemporaryDir folders_;
};

TEST_F(FavoritesTest, LoadingShowsOnlySetSlotsAndThePromptListsThemAll)
{
    startProgram();
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(form().mnuokiniclear->isEnabled());
    EXPECT_FALSE(QFile::exists(iniPath())); // nothing is written at start

    unloadAllFormsNow();
    const QString photos = folder(QStringLiteral("photos"));
    writeIni("[other]\nkey01=elsewhere\n[okini]\nkey02=\nkey03=" + photos.toUtf8() + "\n");
    startProgram();
    EXPECT_EQ(shown(), QStringList{QStringLiteral("3=") + photos});
    EXPECT_TRUE(form().mnuokiniclear->isEnabled());

    dialogs_->answerInput(QString());
    form().mnuokiniplus_Click();
    EXPECT_EQ(dialogs_->last().title + dialogs_->last().defaultText, QStringLiteral("お気に入りナンバー1"));
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("お気に入りセットする番号を入力してください(1～6)\r1.\r2.\r3.")
                                         + photos + QStringLiteral("\r4.\r5.\r6."));
}

TEST_F(FavoritesTest, OnlyAnswersThatReadAsOneToSixSelectASlot)
{
    startProgram();
    const QString target = folder(QStringLiteral("x"));
    for (const char* answer : {"0", "7", "1.5", "-1", "abc", ""})
        add(target, QString::fromUtf8(answer));
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(QFile::exists(iniPath()));

    for (const char* answer : {"2", " 2", "2.0", "2abc", "&H2"}) {
        form().mnuokiniclear_Click();
        add(target, QString::fromUtf8(answer));
        EXPECT_EQ(shown(), QStringList{QStringLiteral("2=") + target}) << answer;
        EXPECT_TRUE(readIni().contains("key02=" + target.toUtf8())) << answer;
    }
}

TEST_F(FavoritesTest, SettingReplacesOneSlotAndClearingRemovesOnlyItsSection)
{
    writeIni("; mine\n[window]\nleft=10\n[okini]\nkey01=/nowhere\n[tail]\nx=1\n");
    startProgram();
    const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b"));
    add(a, QStringLiteral("3"));
    add(b, QStringLiteral("3"));
    EXPECT_EQ(shown(), (QStringList{QStringLiteral("1=/nowhere"), QStringLiteral("3=") + b}));
    EXPECT_FALSE(readIni().contains(a.toUtf8()));

    form().mnuokiniclear_Click();
    EXPECT_TRUE(shown().isEmpty());
    EXPECT_FALSE(form().mnuokiniclear->isEnabled());
    // A slot set afterwards starts a new section holding only that key.
    add(a, QStringLiteral("5"));
    EXPECT_EQ(readIni(), QByteArray("; mine\n[window]\nleft=10\n[tail]\nx=1\n[okini]\nkey05=") + a.toUtf8() + "\n");
}

TEST_F(FavoritesTest, AwkwardPathsSurviveARestartAndNavigateByTheirExactText)
{
    startProgram();
    const QString odd = folder(QStringLiteral(" 写真 & 'R&D' \"x\"; #1 "));
    add(odd, QStringLiteral("6"));
    unloadAllFormsNow();
    startProgram();
    EXPECT_EQ(shown(), QStringList{QStringLiteral("6=") + odd});
    EXPECT_EQ(form().mnurec[6]->text(), QString(odd).replace(QLatin1Char('&'), QStringLiteral("&&")));
    form().mnurec_Click(6);
    EXPECT_EQ(form().Dir1->Path(), odd);
    EXPECT_EQ(form().Text1->text(), odd);
}

TEST_F(FavoritesTest, GoneFolderWarnsAndStaysInTheMenu)
{
    startProgram();
    const QString gone = folder(QStringLiteral("gone")), here = folder(QStringLiteral("here"));
    add(gone, QStringLiteral("4"));
    form().Dir1->setPath(here);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    dialogs_->answerMessage();
    form().mnurec_Click(4);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, QStringLiteral("パスが見つかりません警告"));
    EXPECT_EQ(form().Dir1->Path(), here);
    EXPECT_TRUE(form().mnurec[4]->isVisible());
}

TEST_F(FavoritesTest, DamagedSettingsFileStillStartsAndKeepsItsOtherData)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) & 0xff));
    writeIni(garbage + "\n[keep]\nthis=that\n");
    startProgram();
    add(folder(QStringLiteral("one")), QStringLiteral("1"));
    EXPECT_TRUE(readIni().startsWith(garbage + "\n[keep]\nthis=that\n"));
}

} // namespace
