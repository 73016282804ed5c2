// What a person sees of each window's layout: its size, the Tab order, every
// control inside its window, no control covering another, the menus in order.

#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>

#include "app/splash_screen.h"
#include "form_fixture.h"
#include "about_dialog/about_dialog.h"
#include "save_dialog/save_dialog.h"
#include "ui/twips.h"

namespace {

using LayoutTest = FormTest;

// Where a control shows: a plain label's text (its box may reach beyond the window), any other control whole.
QRect shownPart(const QWidget* w)
{
    QRect r = w->rect();
    auto* label = qobject_cast<const QLabel*>(w);
    if (label && !label->text().isEmpty() && !label->wordWrap() && label->frameShape() == QFrame::NoFrame)
        r = QStyle::alignedRect(Qt::LeftToRight, label->alignment(), label->fontMetrics().size(0, label->text()),
                                label->contentsRect());
    return r.translated(w->pos());
}

// The window's size in twips; its controls inside it and overlapping at most by a shared edge.
void expectTidy(const QWidget* window, QSize twipsSize)
{
    EXPECT_EQ(twips::fromPixels(window->rect()).size(), twipsSize);
    const auto controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const QWidget* a : controls) {
        const QRect shown = shownPart(a);
        EXPECT_TRUE(window->rect().contains(shown)) << a->objectName().toStdString() << a->toolTip().toStdString();
        for (const QWidget* b : controls) {
            const QRect both = shown & shownPart(b);
            EXPECT_TRUE(a == b || std::min(both.width(), both.height()) <= 1)
                << a->toolTip().toStdString() << " / " << b->toolTip().toStdString();
        }
    }
}

// The controls Tab visits from the first, inner parts and controls without focus skipped.
std::vector<QWidget*> tabOrder(QWidget* first, std::size_t count)
{
    std::vector<QWidget*> order{first};
    for (QWidget* w = first; order.size() < count;) {
        w = w->nextInFocusChain();
        if (!order.back()->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->isWindow())
            order.push_back(w);
    }
    return order;
}

TEST_F(LayoutTest, WindowsHaveTheirSizesAndNoControlOutsideOrCovered)
{
    MainWindow& f = mainWindow();
    expectTidy(f.centralWidget(), QSize(4980, 3555));
    EXPECT_TRUE(f.minimumSize() == f.maximumSize() && !(f.windowFlags() & Qt::WindowMaximizeButtonHint)) << "the main window can be resized";
    SaveDialog saveDialog(SaveDialog::Subject{testPicture(8, 6), nullptr, QString()});
    expectTidy(&saveDialog, QSize(6315, 3510));
    SplashScreen splash;
    expectTidy(&splash, QSize(4680, 3195));
    expectTidy(&mainWindow().aboutDialog(), QSize(3945, 3465));
}

TEST_F(LayoutTest, TabVisitsTheControlsInTheirOrder)
{
    MainWindow& f = mainWindow();
    EXPECT_EQ(tabOrder(f.driveList, 17),
              (std::vector<QWidget*>{f.driveList, f.folderList, f.fileList, f.closeImageButton, f.enlargeButton, f.filterButtons[0], f.filterButtons[1],
                                     f.filterButtons[2], f.filterButtons[3], f.pathBox, f.copyButton, f.filterButtons[4], f.runButton,
                                     f.clipboardPictureButton, f.deleteButton, f.desktopButton, f.trashButton}));
    SaveDialog s(SaveDialog::Subject{testPicture(8, 6), nullptr, QString()});
    EXPECT_EQ(s.focusWidget(), s.saveButton);
    EXPECT_EQ(tabOrder(s.saveButton, 6),
              (std::vector<QWidget*>{s.saveButton, s.qualitySlider, s.zoomInButton, s.zoomOutButton, s.cancelButton, s.saveButton}));
}

TEST_F(LayoutTest, TheMenusHoldTheirItemsInOrder)
{
    MainWindow& f = mainWindow();
    QStringList all;
    for (QAction* menu : f.menuBar()->actions()) {
        all << menu->text() + ':';
        for (QAction* a : menu->menu()->actions())
            all << (a->isSeparator() ? "-" : a->isVisible() ? a->text() : "(hidden)");
    }
    EXPECT_EQ(all.join('|'), "ファイル(&F):|保存(&S)|終了(&X)|編集(&E):|画像をコピー(&C)|パスをコピー(&P)|クリップクリア(&Y)|"
                             "クリップボードビュアー(&Z)|お気に入り(&O):|追加(&G)|全てクリア(&N)|-|(hidden)|(hidden)|"
                             "(hidden)|(hidden)|(hidden)|(hidden)|ウィンドウ(&W):|ヘルプ(&H)|バージョン情報(&V)");
}

} // namespace
