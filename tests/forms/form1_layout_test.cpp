#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "app/forms.h"
#include "form_fixture.h"
#include "forms/main/form1.h"
#include "platform/dir_list_box.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/fonts.h"
#include "platform/twips.h"

namespace {

using Form1LayoutTest = FormTest;

QString captionOf(QWidget* w)
{
    if (auto* b = qobject_cast<QPushButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    auto* e = qobject_cast<QLineEdit*>(w);
    return e ? e->text() : QString();
}

TEST_F(Form1LayoutTest, EveryControlHasItsCaptionTooltipGeometryFontAndState)
{
    Form1& f = forms::get<Form1>();
    struct Row { QWidget* w; const char* caption; const char* tip; QRect at; bool font; };
    const Row rows[] = {
        {f.Drive1, "", "ドライブを選択します", {2760, 1200, 1575, 300}, false},
        {f.Dir1, "", "ダブルクリックでフォルダを選択", {2760, 1560, 2055, 1140}, false},
        {f.File1, "", "クリックでファイルを選択", {120, 480, 2535, 2250}, false},
        {f.Command1, "画像を閉じる", "画像を閉じます", {120, 3120, 1095, 375}, true},
        {f.Command2, "画像を拡大", "画像を拡大します", {1320, 3120, 1095, 375}, true},
        {f.Command3[0], "BMP", "BMPを表示します", {2760, 480, 615, 255}, false},
        {f.Command3[1], "JPG", "JPGファイルを表示します", {3480, 480, 615, 255}, false},
        {f.Command3[2], "GIF", "GIFファイルを表示します", {2760, 840, 615, 255}, false},
        {f.Command3[3], "ALL", "GIF　JPG　BMP　KIR　全て表示します", {3480, 840, 615, 255}, false},
        {f.Text1, "FileName", "ファイルネームを表示します", {120, 120, 3495, 270}, false},
        {f.Command4, "copy", "ファイルネームをコピーします", {3720, 120, 495, 255}, true},
        {f.Command3[4], "KIR", "KIRファイルを表示します", {4200, 480, 615, 255}, false},
        {f.Command5, "実行", "ファイルを実行します", {4320, 120, 495, 255}, true},
        {f.Command6, "クリップ画像", "クリップボードに画像をコピーします", {2520, 3120, 1095, 375}, true},
        {f.Command7, "削除", "ファイルを削除します", {4200, 840, 615, 255}, true},
        {f.Command8, "", "デスクトップの表示", {4320, 1200, 255, 255}, true},
        {f.Label2, "", "", {840, 2760, 1800, 240}, false},
        {f.Label3, "作成日時", "", {-240, 2760, 1095, 255}, true},
        {f.Label4, "サイズ", "", {2040, 2760, 1095, 255}, true},
        {f.Label5, "", "", {3120, 2760, 1275, 240}, false},
        {f.Label6, "バイト", "", {4200, 2760, 615, 255}, true},
        {f.Command9, "", "ゴミ箱を見る", {4560, 1200, 255, 255}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tip + std::string(" ") + row.caption);
        EXPECT_EQ(twips::fromPixels(row.w->geometry()), row.at);
        EXPECT_EQ(row.w->toolTip(), QString::fromUtf8(row.tip));
        EXPECT_EQ(captionOf(row.w), QString::fromUtf8(row.caption));
        if (row.font) {
            EXPECT_EQ(row.w->font(), fonts::make(fonts::msPGothic, 8.25));
        }
        EXPECT_EQ(row.w->isEnabled(), row.w != f.Command3[3]);
    }
    EXPECT_EQ(f.windowTitle(), QStringLiteral("きりビューアー"));
    EXPECT_EQ(twips::fromPixels(f.centralWidget()->geometry()).size(), QSize(4980, 3555));
    EXPECT_EQ(f.minimumSize(), f.maximumSize());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f.Label1->text().isEmpty());
    EXPECT_EQ(f.Label1->palette().color(QPalette::WindowText), f.palette().color(QPalette::Highlight));
    for (QLabel* value : {f.Label2, f.Label5}) {
        EXPECT_EQ(value->palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_NE(value->frameShape(), QFrame::NoFrame);
        EXPECT_TRUE(value->alignment() & Qt::AlignRight);
    }
    EXPECT_FALSE(f.Command8->icon().isNull());
    EXPECT_FALSE(f.Command9->icon().isNull());
    EXPECT_TRUE(f.selpath.isEmpty());
    EXPECT_EQ(f.enlarged, 0);
}

TEST_F(Form1LayoutTest, TabOrderFollowsTheTable)
{
    Form1& f = forms::get<Form1>();
    const std::vector<QWidget*> order = {f.Drive1, f.Dir1, f.File1, f.Command1, f.Command2, f.Command3[0],
                                         f.Command3[1], f.Command3[2], f.Command3[3], f.Text1, f.Command4,
                                         f.Command3[4], f.Command5, f.Command6, f.Command7, f.Command8, f.Command9};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* next = order[i]->nextInFocusChain();
        // Labels and the inner parts of some controls take no focus.
        while (next != order[i + 1] && (order[i]->isAncestorOf(next) || next->focusPolicy() == Qt::NoFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, order[i + 1]) << "after entry " << i;
    }
}

TEST_F(Form1LayoutTest, MenusHoldTheirItemsInOrderWithoutShortcuts)
{
    Form1& f = forms::get<Form1>();
    QStringList all;
    for (QAction* menu : f.menuBar()->actions()) {
        all << menu->text() + QLatin1Char(':');
        for (QAction* a : menu->menu()->actions()) {
            all << (a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_TRUE(a->shortcut().isEmpty());
            EXPECT_EQ(a->isVisible(), std::find(f.mnurec.begin(), f.mnurec.end(), a) == f.mnurec.end());
        }
    }
    EXPECT_EQ(all.join(QLatin1Char('|')),
              QStringLiteral("ファイル(&F):|保存(&S)|終了(&X)|編集(&E):|画像をコピー(&C)|パスをコピー(&P)|クリップクリア(&Y)|"
                             "クリップボードビュアー(&Z)|お気に入り(&O):|追加(&G)|全てクリア(&N)|-||||||"
                             "|ウィンドウ(&W):|ヘルプ(&H)|バージョン情報(&V)"));
    EXPECT_FALSE(f.mnuokiniclear->isEnabled());
    EXPECT_TRUE(f.mnuborder->isSeparator());
}

} // namespace
