#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
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
    Form1& form1 = forms::get<Form1>();
    Form2& form2 = forms::get<Form2>();
};

TEST_F(Form2Test, DoubleClickCopiesThePictureAtItsNaturalSize)
{
    QApplication::clipboard()->setText(QStringLiteral("old text"));
    dialogs_->answerMessage();
    QTest::mouseDClick(form2.Image1, Qt::LeftButton);

    ASSERT_EQ(dialogs_->messageCount(), 1);
    EXPECT_EQ(dialogs_->last().text, QStringLiteral("イメージをコピーしました"));
    EXPECT_EQ(dialogs_->last().title, QStringLiteral("クリップボード"));
    EXPECT_EQ(dialogs_->last().style, MsgBoxStyle::OkOnly);
    const QImage copied = QApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), QSize(64, 48)); // not the 200-pixel view
    EXPECT_EQ(copied.pixelColor(5, 5), QColor(10, 200, 30));
    EXPECT_FALSE(QApplication::clipboard()->mimeData()->hasText());
}

TEST_F(Form2Test, RightClickBringsTheMainWindowForwardWithoutMoving)
{
    form1.hide();
    const QPoint before = form2.pos();
    QTest::mouseClick(form2.Image1, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_TRUE(form1.isVisible());
    EXPECT_EQ(form2.pos(), before);
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(Form2Test, LeftDragMovesTheWholeWindowUntilRelease)
{
    form2.move(100, 100);
    const QPoint start = form2.pos();
    QTest::mousePress(form2.Image1, Qt::LeftButton, {}, QPoint(20, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 45), form2.Image1->mapToGlobal(QPointF(50, 45)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form2.Image1, &move);
    EXPECT_EQ(form2.pos(), start + QPoint(30, 25));
    QTest::mouseRelease(form2.Image1, Qt::LeftButton, {}, QPoint(50, 45));

    // After the release the window stays where it was dropped.
    const QPoint dropped = form2.pos();
    QMouseEvent hover(QEvent::MouseMove, QPointF(5, 5), form2.Image1->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form2.Image1, &hover);
    EXPECT_EQ(form2.pos(), dropped);
}

TEST_F(Form2Test, StretchedPictureIsMadeOncePerSize)
{
    form2.Image1->setPicture(QImage(4000, 3000, QImage::Format_RGB32));
    form2.Image1->Move(0, 0, 3000, 2250);
    form2.Image1->grab();
    const qint64 first = form2.Image1->stretched().cacheKey();
    EXPECT_EQ(form2.Image1->stretched().size(), QSize(200, 150));
    form2.Image1->grab();
    form2.move(form2.pos() + QPoint(7, 7));
    form2.Image1->grab();
    EXPECT_EQ(form2.Image1->stretched().cacheKey(), first);

    form2.Image1->Move(0, 0, 1500, 1125);
    form2.Image1->grab();
    EXPECT_EQ(form2.Image1->stretched().size(), QSize(100, 75));
}

} // namespace
