#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>

#include "app/forms.h"
#include "form_fixture.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"

namespace {

class Form2Test : public FormTest {
protected:
    Form2Test()
    {
        startProgram();
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(QColor(10, 200, 30));
        form2.Picture1.setPicture(photo);
        form2.Image1->setPicture(photo);
    }
    void mouseMove(QPoint at, Qt::MouseButtons held)
    {
        QMouseEvent move(QEvent::MouseMove, at, form2.Image1->mapToGlobal(QPointF(at)), Qt::NoButton, held, {});
        QApplication::sendEvent(form2.Image1, &move);
    }
    Form1& form1 = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
};

TEST_F(Form2Test, DoubleClickCopiesThePictureAtItsNaturalSize)
{
    QApplication::clipboard()->setText(QStringLiteral("old text"));
    dialogs_->answerMessage();
    QTest::mouseDClick(form2.Image1, Qt::LeftButton);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, QStringLiteral("イメージをコピーしましたクリップボード"));
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(64, 48)); // not the 200-pixel view
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
}

TEST_F(Form2Test, RightClickRaisesTheMainWindowAndLeftDragMovesTheWindow)
{
    form1.hide();
    form2.move(100, 100);
    QTest::mouseClick(form2.Image1, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_TRUE(form1.isVisible());
    EXPECT_EQ(form2.pos(), QPoint(100, 100));

    QTest::mousePress(form2.Image1, Qt::LeftButton, {}, QPoint(20, 20));
    mouseMove(QPoint(50, 45), Qt::LeftButton);
    EXPECT_EQ(form2.pos(), QPoint(130, 125));
    QTest::mouseRelease(form2.Image1, Qt::LeftButton, {}, QPoint(50, 45));
    mouseMove(QPoint(5, 5), Qt::NoButton); // released: the window stays
    EXPECT_EQ(form2.pos(), QPoint(130, 125));
    EXPECT_TRUE(dialogs_->boxes().empty());
}

} // namespace
