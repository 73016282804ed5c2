// Each window's size, with every control inside it and none covering another.
#include <QStyle>

#include "about_dialog/about_dialog.h"
#include "app/splash_screen.h"
#include "form_fixture.h"
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
    EXPECT_EQ(imageWindow().pos(), QPoint(twips::toPixels(480), twips::toPixels(2370))) << "the image window's first place";
}

} // namespace
