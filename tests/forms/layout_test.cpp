// What a person sees of each window's layout: its size, the Tab order, every
// control inside its window, no control covering another, the menus in order.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

#include "app/form4.h"
#include "app/forms.h"
#include "form_fixture.h"
#include "forms/about/frmabout.h"
#include "forms/main/form1.h"
#include "forms/save/form3.h"
#include "platform/dir_list_box.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/twips.h"

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
    Form1& f = forms::get<Form1>();
    expectTidy(f.centralWidget(), QSize(4980, 3555));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    expectTidy(&forms::get<Form3>(), QSize(6315, 3510));
    expectTidy(&forms::get<Form4>(), QSize(4680, 3195));
    expectTidy(&forms::get<frmAbout>(), QSize(3945, 3465));
}

TEST_F(LayoutTest, TabVisitsTheControlsInTheirOrder)
{
    Form1& f = forms::get<Form1>();
    EXPECT_EQ(tabOrder(f.Drive1, 17),
              (std::vector<QWidget*>{f.Drive1, f.Dir1, f.File1, f.Command1, f.Command2, f.Command3[0], f.Command3[1],
                                     f.Command3[2], f.Command3[3], f.Text1, f.Command4, f.Command3[4], f.Command5,
                                     f.Command6, f.Command7, f.Command8, f.Command9}));
    Form3& s = forms::get<Form3>();
    EXPECT_EQ(s.focusWidget(), s.Command1);
    EXPECT_EQ(tabOrder(s.Command1, 6),
              (std::vector<QWidget*>{s.Command1, s.HScroll1, s.Command2, s.Command3, s.Command4, s.Command1}));
}

TEST_F(LayoutTest, MenusHoldTheirItemsInOrder)
{
    Form1& f = forms::get<Form1>();
    QStringList all;
    for (QAction* menu : f.menuBar()->actions()) {
        all << menu->text() + ':';
        for (QAction* a : menu->menu()->actions())
            all << (a->isSeparator() ? "-" : a->isVisible() ? a->text() : "(hidden)");
    }
    EXPECT_EQ(all.join('|'), "ファイル(&F):|保存(&S)|終了(&X)|編集(&E):|画像をコピー(&C)|パスをコピー(&P)|クリップクリア(&Y)|"
                             "クリップボードビュアー(&Z)|お気に入り(&O):|追加(&G)|全てクリア(&N)|-|(hidden)|(hidden)|"
                             "(hidden)|(hidden)|(hidden)|(hidden)|ウィンドウ(&W):|ヘルプ(&H)|バージョン情報(&V)");
    EXPECT_FALSE(f.mnuokiniclear->isEnabled());
}

} // namespace
