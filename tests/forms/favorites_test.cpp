#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "app/forms.h"
#include "form_fixture.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"

namespace {

class FavoritesTest : public FormTest {
protected:
    QString iniPath() const { return programFolder() + QStringLiteral("/kiriview.ini"); }

    void writeIni(const QByteArray& text)
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray readIni() const
    {
        QFile file(iniPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A folder of the test's own, so the folder list can go there.
    QString folder(const QString& name)
    {
        const QString path = folders_.path() + QLatin1Char('/') + name;
        QDir().mkpath(path);
        return path;
    }
    QStringList visibleSlots() const
    {
        QStringList shown;
        for (int n = 1; n <= 6; ++n)
            if (form().mnurec[n]->isVisible())
                shown << QString::number(n);
        return shown;
    }
    Form1& form() const { return forms::get<Form1>(); }

    // Answers the number prompt with `answer` while the folder list shows `path`.
    void add(const QString& path, const QString& answer)
    {
        form().Dir1->setPath(path);
        dialogs_->answerInput(answer);
        form().mnuokiniplus_Click();
    }

    QTemporaryDir folders_;
};

TEST_F(FavoritesTest, FirstStartWithoutSettingsShowsNoSlots)
{
    startProgram();
    EXPECT_TRUE(visibleSlots().isEmpty());
    EXPECT_FALSE(form().mnuokiniclear->isEnabled());
    EXPECT_TRUE(form().mnuokiniplus->isEnabled());
    EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(FavoritesTest, LoadingShowsTheSetSlotsOnly)
{
    const QString photos = folder(QStringLiteral("photos"));
    writeIni("[other]\nkey01=elsewhere\n[okini]\nkey02=\nkey03=" + photos.toUtf8() + "\n");
    startProgram();
    EXPECT_EQ(visibleSlots(), QStringList{QStringLiteral("3")});
    EXPECT_EQ(form().mnurec[3]->text(), photos);
    EXPECT_TRUE(form().mnuokiniclear->isEnabled());
}

TEST_F(FavoritesTest, PromptListsEverySlotSeparatedByCarriageReturns)
{
    const QString photos = folder(QStringLiteral("photos"));
    writeIni("[okini]\nkey02=" + photos.toUtf8() + "\n");
    startProgram();
    dialogs_->answerInput(QString());
    form().mnuokiniplus_Click();

    const auto& box = dialogs_->last();
    EXPECT_EQ(box.title, QStringLiteral("お気に入りナンバー"));
    EXPECT_EQ(box.defaultText, QStringLiteral("1"));
    EXPECT_EQ(box.text, QStringLiteral("お気に入りセットする番号を入力してください(1～6)\r1.\r2.") + photos
                            + QStringLiteral("\r3.\r4.\r5.\r6."));
    EXPECT_FALSE(box.text.contains(QLatin1Char('\n')));
}

TEST_F(FavoritesTest, AnswersThatReadAsTwoSelectSlotTwo)
{
    startProgram();
    const QString target = folder(QStringLiteral("two"));
    for (const char* answer : {"2", " 2", "2.0", "2abc", "&H2"}) {
        SCOPED_TRACE(answer);
        form().mnuokiniclear_Click();
        add(target, QString::fromUtf8(answer));
        EXPECT_EQ(visibleSlots(), QStringList{QStringLiteral("2")});
        EXPECT_EQ(form().mnurec[2]->data().toString(), target);
        EXPECT_TRUE(readIni().contains("key02=" + target.toUtf8()));
    }
}

TEST_F(FavoritesTest, AnswersThatSelectNoSlotChangeNothing)
{
    startProgram();
    const QString target = folder(QStringLiteral("x"));
    for (const char* answer : {"0", "7", "1.5", "-1", "abc", ""}) {
        SCOPED_TRACE(answer);
        add(target, QString::fromUtf8(answer));
    }
    EXPECT_TRUE(visibleSlots().isEmpty());
    EXPECT_FALSE(form().mnuokiniclear->isEnabled());
    EXPECT_FALSE(QFile::exists(iniPath()));
    EXPECT_EQ(dialogs_->messageCount(), 0);
}

TEST_F(FavoritesTest, ReplacingASlotKeepsTheOthers)
{
    startProgram();
    const QString a = folder(QStringLiteral("a")), b = folder(QStringLiteral("b")), c = folder(QStringLiteral("c"));
    add(a, QStringLiteral("3"));
    add(b, QStringLiteral("1"));
    add(c, QStringLiteral("3"));
    EXPECT_EQ(visibleSlots(), (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
    EXPECT_EQ(form().mnurec[1]->data().toString(), b);
    EXPECT_EQ(form().mnurec[3]->data().toString(), c);
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("key01=" + b.toUtf8()));
    EXPECT_TRUE(ini.contains("key03=" + c.toUtf8()));
    EXPECT_FALSE(ini.contains(a.toUtf8()));
}

TEST_F(FavoritesTest, ClearingRemovesOnlyTheFavoritesSection)
{
    writeIni("; mine\n[window]\nleft=10\n[okini]\nkey01=/nowhere\nkey04=/elsewhere\n[tail]\nx=1\n");
    startProgram();
    form().mnuokiniclear_Click();
    EXPECT_TRUE(visibleSlots().isEmpty());
    EXPECT_FALSE(form().mnuokiniclear->isEnabled());
    for (int n = 1; n <= 6; ++n)
        EXPECT_TRUE(form().mnurec[n]->data().toString().isEmpty());
    EXPECT_EQ(readIni(), QByteArray("; mine\n[window]\nleft=10\n[tail]\nx=1\n"));

    // A slot set afterwards starts a new section holding only that key.
    add(folder(QStringLiteral("five")), QStringLiteral("5"));
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.startsWith("; mine\n[window]\nleft=10\n[tail]\nx=1\n"));
    EXPECT_TRUE(ini.contains("[okini]"));
    EXPECT_TRUE(ini.contains("key05="));
    EXPECT_FALSE(ini.contains("key01"));
}

TEST_F(FavoritesTest, FavoritesSurviveARestart)
{
    startProgram();
    const QString photos = folder(QStringLiteral("写真 & 'quoted' \"x\""));
    add(photos, QStringLiteral("6"));
    unloadAllFormsNow();
    startProgram();
    EXPECT_EQ(visibleSlots(), QStringList{QStringLiteral("6")});
    EXPECT_EQ(form().mnurec[6]->data().toString(), photos);
}

TEST_F(FavoritesTest, AmpersandShowsLiterallyAndNavigatesByItsExactText)
{
    startProgram();
    const QString odd = folder(QStringLiteral("R&D"));
    add(odd, QStringLiteral("1"));
    EXPECT_EQ(form().mnurec[1]->text(), folders_.path() + QStringLiteral("/R&&D"));
    form().Dir1->setPath(folders_.path());
    form().mnurec_Click(1);
    EXPECT_EQ(form().Dir1->Path(), odd);
    EXPECT_EQ(form().Text1->text(), odd);
}

TEST_F(FavoritesTest, GoneFolderWarnsAndStaysInTheMenu)
{
    startProgram();
    const QString gone = folder(QStringLiteral("gone"));
    add(gone, QStringLiteral("4"));
    const QString here = folder(QStringLiteral("here"));
    form().Dir1->setPath(here);
    ASSERT_TRUE(QDir(gone).removeRecursively());

    dialogs_->answerMessage();
    form().mnurec_Click(4);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("パスが見つかりません"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("警告"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    EXPECT_EQ(form().Dir1->Path(), here);
    EXPECT_TRUE(form().mnurec[4]->isVisible());
    EXPECT_TRUE(readIni().contains("key04="));
}

TEST_F(FavoritesTest, DamagedSettingsFileStillStartsAndKeepsItsOtherData)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) & 0xff));
    writeIni(garbage + "\n[keep]\nthis=that\n");
    startProgram();
    add(folder(QStringLiteral("one")), QStringLiteral("1"));
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("[keep]\nthis=that"));
    EXPECT_TRUE(ini.startsWith(garbage.left(100)));
}

} // namespace
