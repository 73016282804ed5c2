
#include <QClipboard>

#include "form_fixture.h"

namespace {

class ImageWindowTest : public FormTest {
protected:
    ImageWindowTest()
    {
        startProgram();
        QImage photo(64, 48, QImage::Format_RGB32);
        photo.fill(QColor(10, 200, 30));
        imageWindow.picture.setPicture(photo);
        imageWindow.pictureView->setPicture(photo);
    }
    void mouseMove(QPoint at, Qt::MouseButtons held)
    {
        QMouseEvent move(QEvent::MouseMove, at, imageWindow.pictureView->mapToGlobal(QPointF(at)), Qt::NoButton, held, {});
        QApplication::sendEvent(imageWindow.pictureView, &move);
    }
    MainWindow& mainWindow = forms::get<MainWindow>();
    ImageWindow& imageWindow = forms::get<ImageWindow>();
};

TEST_F(ImageWindowTest, DoubleClickCopiesThePictureAtItsNaturalSize)
{
    QApplication::clipboard()->setText(QStringLiteral("old text"));
    dialogs_->answerMessage();
    QTest::mouseDClick(imageWindow.pictureView, Qt::LeftButton);
    EXPECT_EQ(dialogs_->last().text + dialogs_->last().title, QStringLiteral("イメージをコピーしましたクリップボード"));
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(64, 48)); // not the 200-pixel view
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
}

TEST_F(ImageWindowTest, RightClickRaisesTheMainWindowAndLeftDragMovesTheWindow)
{
    mainWindow.hide();
    imageWindow.move(100, 100);
    QTest::mouseClick(imageWindow.pictureView, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(imageWindow.pos(), QPoint(100, 100));

    QTest::mousePress(imageWindow.pictureView, Qt::LeftButton, {}, QPoint(20, 20));
    mouseMove(QPoint(50, 45), Qt::LeftButton);
    EXPECT_EQ(imageWindow.pos(), QPoint(130, 125));
    QTest::mouseRelease(imageWindow.pictureView, Qt::LeftButton, {}, QPoint(50, 45));
    mouseMove(QPoint(5, 5), Qt::NoButton); // released: the window stays
    EXPECT_EQ(imageWindow.pos(), QPoint(130, 125));
}

} // namespace
