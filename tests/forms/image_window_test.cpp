// The image window: a picture fitted to its box as a file click does, and what the mouse does on it.
#include <QClipboard>

#include "form_fixture.h"
#include "photo_files.h"

namespace {

class ImageWindowTest : public FormTest {
protected:
    ImageWindowTest() { startProgram(); }
    static ImageWindow& fit(int w, int h, float boxWidth = 3000, float boxHeight = 3000)
    {
        imageWindow().setTwipsWidth(Twips(boxWidth));
        imageWindow().setTwipsHeight(Twips(boxHeight));
        imageWindow().showPicture(ShownPicture{QImage(w, h, QImage::Format_RGB32), QSize(w, h), nullptr, false});
        imageWindow().fitToBox();
        return imageWindow();
    }
    static void mouseMove(QPoint at, Qt::MouseButtons held)
    {
        QMouseEvent move(QEvent::MouseMove, at, imageWindow().pictureView->mapToGlobal(QPointF(at)), Qt::NoButton, held, {});
        QApplication::sendEvent(imageWindow().pictureView, &move);
    }
};
using FitImageTest = ImageWindowTest;

TEST_F(FitImageTest, FitsWithSinglePrecisionQuotientsAndTiesToEven)
{
    struct Case { int w, h; float box, width, height, boxHeight = 0; }; // a square box unless its height is given
    const Case cases[] = {
        {640, 480, 3000, 3000, 2255},      // natural 9660 x 7260: fits to the width
        {480, 640, 3000, 2254.66f, 3000},  // fits to the height
        {49, 200, 3000, 779.41f, 3000},
        {1024, 768, 10000, 10000, 7510},   // nearest(11580 / 1.542)
        {50, 50, 3000, 3000, 3000},        // small pictures are enlarged to fill the box
        // Heights that land on a tie, or off it, only in single precision: double gives 187 and 438.
        {108, 3, 3000, 3000, 188},
        {140, 17, 3000, 3000, 437},
        {640, 480, 4000, 2661.16f, 2000, 2000}, {480, 640, 2000, 2000, 2661, 4000}, // boxes wider or taller than square
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " in " << c.box);
        fit(c.w, c.h, c.box, c.boxHeight ? c.boxHeight : c.box);
        EXPECT_NEAR(imageWindow().twipsWidth().value(), c.width, 0.01);
        EXPECT_EQ(imageWindow().twipsHeight(), Twips(c.height));
        EXPECT_TRUE(imageWindow().twipsHeight() == imageWindow().pictureView->twipsHeight()) << "the window does not follow its view";
    }
    // Snapped to the nearest whole pixel on screen: 2255 twips are 150.33 pixels, 779.41 twips 51.96.
    EXPECT_EQ(fit(640, 480).size(), QSize(200, 150));
    EXPECT_EQ(fit(49, 200).size(), QSize(52, 200));
}

struct ImageWindowMouse : ImageWindowTest {
    ImageWindowMouse()
    {
        model().showInMemory(testPicture(64, 48));
        imageWindow().move(100, 100);
    }
};

TEST_F(ImageWindowMouse, RightClickShowsTheMainWindowAndLeftDragMoves)
{
    mainWindow().hide();
    QTest::mouseClick(imageWindow().pictureView, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_TRUE(mainWindow().isVisible());
    QTest::mousePress(imageWindow().pictureView, Qt::LeftButton, {}, QPoint(20, 20));
    mouseMove(QPoint(50, 45), Qt::LeftButton);
    EXPECT_EQ(imageWindow().pos(), QPoint(130, 125));
    QTest::mouseRelease(imageWindow().pictureView, Qt::LeftButton, {}, QPoint(50, 45));
    mouseMove(QPoint(5, 5), Qt::NoButton);
    EXPECT_EQ(imageWindow().pos(), QPoint(130, 125)) << "the window moved after the release";
}

// Under a window manager a press alone hands nothing over, so both clicks of a double-click
// arrive and it copies; the move starts once the mouse leaves the press's spot with the button held.
TEST_F(ImageWindowMouse, AWindowManagersMoveStartsOnlyWhenTheMouseMoves)
{
    int moves = 0;
    services().startWindowMove = [&moves](QWindow*) { return ++moves > 0; };
    const int near = QApplication::startDragDistance() - 1;
    QTest::mousePress(imageWindow().pictureView, Qt::LeftButton, {}, QPoint(20, 20));
    mouseMove(QPoint(20 + near, 20), Qt::LeftButton);
    QTest::mouseRelease(imageWindow().pictureView, Qt::LeftButton, {}, QPoint(20 + near, 20));
    dialogs_->answerMessage();
    QTest::mouseDClick(imageWindow().pictureView, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(64, 48));
    EXPECT_EQ(moves, 0) << "a press or a twitch started a move";
    QTest::mousePress(imageWindow().pictureView, Qt::LeftButton, {}, QPoint(20, 20));
    mouseMove(QPoint(25 + near, 22), Qt::LeftButton);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(imageWindow().pos(), QPoint(100, 100)) << "moved by hand as well as by the window manager";
}

// A copy takes the colours shown: under a profile that swaps red and green, a red file copies green.
TEST_F(ImageWindowTest, ADoubleClickCopiesTheColoursShown)
{
    click("photo.jpg", withSegments(flatJpeg(60, 40, qRgb(220, 30, 30)), iccSegments(swappedRedGreenProfile(), 1)));
    dialogs_->answerMessage();
    imageWindow().copyPictureOnDoubleClick();
    waitForPicture();
    const QRgb copied = QApplication::clipboard()->image().pixel(30, 20);
    EXPECT_TRUE(qGreen(copied) > 150 && qRed(copied) < 100) << std::hex << copied;
}

} // namespace
