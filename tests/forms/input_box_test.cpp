// The real input box with the favorites prompt: one slot a line, and within the screen.

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QScreen>
#include <QTimer>

#include "runtime/dialogs.h"

TEST(InputBox, ShowsEachCrSeparatedLineAndStaysWithinTheScreen)
{
    const QString deepFolder = QStringLiteral("/home/someone/") + QString(40, QLatin1Char('x')).repeated(20);
    const QString prompt = QStringLiteral("1: ") + deepFolder + QStringLiteral("\r2: /tmp\r3: ");
    QString shownText;
    int shownWidth = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->labelText();
        shownWidth = box->sizeHint().width();
        box->reject();
    });
    QtDialogService real;
    EXPECT_EQ(real.inputBox(prompt, QStringLiteral("お気に入りナンバー"), QStringLiteral("1")), QString());
    EXPECT_EQ(shownText.count(QLatin1Char('\n')), 2);
    EXPECT_FALSE(shownText.contains(QLatin1Char('\r')));
    EXPECT_TRUE(shownText.contains(QStringLiteral("2: /tmp")));
    EXPECT_LE(shownWidth, QGuiApplication::primaryScreen()->availableGeometry().width());
}
