// The real input box with the favorites prompt: one slot a line, and within the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QScreen>
#include <QTimer>

#include "runtime/dialogs.h"

TEST(InputBox, ShowsEachCrSeparatedLineAndStaysWithinTheScreen)
{
    const QString deepFolder = "/home/someone/" + QString(40, 'x').repeated(20);
    QString shownText;
    int shownWidth = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->labelText();
        shownWidth = box->sizeHint().width();
        box->reject();
    });
    EXPECT_FALSE(QtDialogService().inputBox("1: " + deepFolder + "\r2: /tmp\r3: ", "お気に入りナンバー", "1"));
    EXPECT_TRUE(shownText.count('\n') == 2 && !shownText.contains('\r') && shownText.endsWith("\n2: /tmp\n3: ")) << shownText.toStdString();
    EXPECT_LE(shownWidth, QGuiApplication::primaryScreen()->availableGeometry().width());
}
