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

struct ControlRow {
    const char* name;
    QWidget* widget;
    QString caption;
    QString tooltip;
    QRect twipsRect;
    bool tableFont;
};

class Form1LayoutTest : public FormTest {
protected:
    Form1& form = forms::get<Form1>();

    std::vector<ControlRow> rows()
    {
        auto s = [](const char* text) { return QString::fromUtf8(text); };
        return {
            {"Drive1", form.Drive1, {}, s("ドライブを選択します"), {2760, 1200, 1575, 300}, false},
            {"Dir1", form.Dir1, {}, s("ダブルクリックでフォルダを選択"), {2760, 1560, 2055, 1140}, false},
            {"File1", form.File1, {}, s("クリックでファイルを選択"), {120, 480, 2535, 2250}, false},
            {"Command1", form.Command1, s("画像を閉じる"), s("画像を閉じます"), {120, 3120, 1095, 375}, true},
            {"Command2", form.Command2, s("画像を拡大"), s("画像を拡大します"), {1320, 3120, 1095, 375}, true},
            {"Command3(0)", form.Command3[0], s("BMP"), s("BMPを表示します"), {2760, 480, 615, 255}, false},
            {"Command3(1)", form.Command3[1], s("JPG"), s("JPGファイルを表示します"), {3480, 480, 615, 255}, false},
            {"Command3(2)", form.Command3[2], s("GIF"), s("GIFファイルを表示します"), {2760, 840, 615, 255}, false},
            {"Command3(3)", form.Command3[3], s("ALL"), s("GIF　JPG　BMP　KIR　全て表示します"), {3480, 840, 615, 255}, false},
            {"Text1", form.Text1, s("FileName"), s("ファイルネームを表示します"), {120, 120, 3495, 270}, false},
            {"Command4", form.Command4, s("copy"), s("ファイルネームをコピーします"), {3720, 120, 495, 255}, true},
            {"Command3(4)", form.Command3[4], s("KIR"), s("KIRファイルを表示します"), {4200, 480, 615, 255}, false},
            {"Command5", form.Command5, s("実行"), s("ファイルを実行します"), {4320, 120, 495, 255}, true},
            {"Command6", form.Command6, s("クリップ画像"), s("クリップボードに画像をコピーします"), {2520, 3120, 1095, 375}, true},
            {"Command7", form.Command7, s("削除"), s("ファイルを削除します"), {4200, 840, 615, 255}, true},
            {"Command8", form.Command8, {}, s("デスクトップの表示"), {4320, 1200, 255, 255}, true},
            {"Label2", form.Label2, {}, {}, {840, 2760, 1800, 240}, false},
            {"Label3", form.Label3, s("作成日時"), {}, {-240, 2760, 1095, 255}, true},
            {"Label4", form.Label4, s("サイズ"), {}, {2040, 2760, 1095, 255}, true},
            {"Label5", form.Label5, {}, {}, {3120, 2760, 1275, 240}, false},
            {"Label6", form.Label6, s("バイト"), {}, {4200, 2760, 615, 255}, true},
            {"Command9", form.Command9, {}, s("ゴミ箱を見る"), {4560, 1200, 255, 255}, true},
        };
    }

    static QString captionOf(QWidget* w)
    {
        if (auto* b = qobject_cast<QPushButton*>(w))
            return b->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return e->text();
        return {};
    }
};

TEST_F(Form1LayoutTest, WindowIsFixedWithTheTitleAndNoMaximiseButton)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("きりビューアー"));
    EXPECT_EQ(twips::fromPixels(form.centralWidget()->width()), 4980);
    EXPECT_EQ(twips::fromPixels(form.centralWidget()->height()), 3555);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowIcon().isNull());
}

TEST_F(Form1LayoutTest, EveryControlHasItsCaptionTooltipGeometryAndFont)
{
    const QString tableFamily = fonts::msPGothic;
    for (const ControlRow& row : rows()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(twips::fromPixels(row.widget->geometry()), row.twipsRect);
        EXPECT_EQ(row.widget->toolTip(), row.tooltip);
        if (!row.caption.isNull())
            EXPECT_EQ(captionOf(row.widget), row.caption);
        if (row.tableFont) {
            EXPECT_EQ(row.widget->font().family(), tableFamily);
            EXPECT_DOUBLE_EQ(row.widget->font().pointSizeF(), 8.25);
            EXPECT_FALSE(row.widget->font().bold());
        }
        EXPECT_TRUE(row.widget->isVisibleTo(&form));
    }
}

TEST_F(Form1LayoutTest, InitialStateOfButtonsLabelsAndValues)
{
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(form.Command3[i]->isEnabled(), i != 3) << i;
    EXPECT_TRUE(form.Command1->isEnabled());
    EXPECT_TRUE(form.Command2->isEnabled());
    EXPECT_TRUE(form.Label2->text().isEmpty());
    EXPECT_TRUE(form.Label5->text().isEmpty());
    EXPECT_TRUE(form.Label2->alignment() & Qt::AlignRight);
    EXPECT_TRUE(form.Label5->alignment() & Qt::AlignRight);
    EXPECT_TRUE(form.Label3->alignment() & Qt::AlignRight);
    EXPECT_EQ(form.Label2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_NE(form.Label2->frameShape(), QFrame::NoFrame);
    EXPECT_FALSE(form.Label1->text().isEmpty());
    EXPECT_EQ(form.Label1->palette().color(QPalette::WindowText), form.Label1->palette().color(QPalette::Highlight));
    EXPECT_TRUE(form.Command8->text().isEmpty());
    EXPECT_FALSE(form.Command8->icon().isNull());
    EXPECT_TRUE(form.Command9->text().isEmpty());
    EXPECT_FALSE(form.Command9->icon().isNull());
    EXPECT_TRUE(form.selpath.isEmpty());
    EXPECT_EQ(form.enlarged, 0);
    EXPECT_FALSE(form.Text1->isReadOnly());
}

TEST_F(Form1LayoutTest, TabOrderFollowsTheTable)
{
    const std::vector<QWidget*> expected = {
        form.Drive1,      form.Dir1,     form.File1,       form.Command1, form.Command2,    form.Command3[0],
        form.Command3[1], form.Command3[2], form.Command3[3], form.Text1, form.Command4, form.Command3[4],
        form.Command5,    form.Command6, form.Command7,    form.Command8, form.Command9,
    };
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        QWidget* next = expected[i]->nextInFocusChain();
        // Skip what takes no focus: labels, and the inner parts of some controls.
        while (next && next != expected[i + 1]
               && (expected[i]->isAncestorOf(next) || next->focusPolicy() == Qt::NoFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, expected[i + 1]) << "after entry " << i;
    }
}

TEST_F(Form1LayoutTest, MenusHoldTheirItemsInOrder)
{
    const QList<QAction*> bar = form.menuBar()->actions();
    ASSERT_EQ(bar.size(), 4);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("ファイル(&F)"));
    EXPECT_EQ(bar[1]->text(), QStringLiteral("編集(&E)"));
    EXPECT_EQ(bar[2]->text(), QStringLiteral("お気に入り(&O)"));
    EXPECT_EQ(bar[3]->text(), QStringLiteral("ウィンドウ(&W)"));

    auto texts = [](QMenu* menu) {
        QStringList t;
        for (QAction* a : menu->actions())
            t << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return t;
    };
    EXPECT_EQ(texts(form.mnufile), (QStringList{"保存(&S)", "終了(&X)"}));
    EXPECT_EQ(texts(form.mnuedit),
              (QStringList{"画像をコピー(&C)", "パスをコピー(&P)", "クリップクリア(&Y)", "クリップボードビュアー(&Z)"}));
    EXPECT_EQ(texts(form.mnuokini), (QStringList{"追加(&G)", "全てクリア(&N)", "-", "", "", "", "", "", ""}));
    EXPECT_EQ(texts(form.mnuwindow), (QStringList{"ヘルプ(&H)", "バージョン情報(&V)"}));

    EXPECT_TRUE(form.mnuokiniplus->isEnabled());
    EXPECT_FALSE(form.mnuokiniclear->isEnabled());
    EXPECT_TRUE(form.mnuborder->isSeparator());
    for (int n = 1; n <= 6; ++n) {
        EXPECT_FALSE(form.mnurec[n]->isVisible()) << n;
        EXPECT_TRUE(form.mnurec[n]->text().isEmpty()) << n;
    }
    for (QMenu* menu : {form.mnufile, form.mnuedit, form.mnuokini, form.mnuwindow})
        for (QAction* a : menu->actions())
            EXPECT_TRUE(a->shortcut().isEmpty()) << a->text().toStdString();
}

} // namespace
