#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "platform/app.h"
#include "platform/files.h"
#include "platform/texts.h"
#include "platform/twips.h"
#include "save_dialog_fixture.h"

namespace {

using Form3Test = SaveDialogTest;

QRect twipsRect(int left, int top, int width, int height) { return twips::toPixels(left, top, width, height); }

TEST_F(Form3Test, WindowAndControlsAreLaidOutAsDesigned)
{
    Form3& form3 = forms::get<Form3>();
    EXPECT_EQ(form3.windowTitle(), QStringLiteral("ファイルの保存"));
    EXPECT_EQ(form3.size(), QSize(421, 234));
    EXPECT_EQ(form3.minimumSize(), form3.maximumSize());
    EXPECT_EQ(form3.pos(), QPoint(230, 177));
    const Qt::WindowFlags flags = form3.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(form3.windowIcon().isNull());

    struct Expected {
        QWidget* control;
        QWidget* container;
        QRect geometry;
        QString caption;
        QString tooltip;
    };
    const auto text = [](QWidget* w) {
        if (auto* b = qobject_cast<QPushButton*>(w))
            return b->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* g = qobject_cast<QGroupBox*>(w))
            return g->title();
        return QString();
    };
    const Expected table[] = {
        {form3.Frame1, &form3, twipsRect(0, 120, 3615, 3255), QStringLiteral("プレビュー"), {}},
        {form3.Frame2, form3.Frame1, twipsRect(120, 240, 3375, 2895), {}, {}},
        {form3.Image1, form3.Frame2, twipsRect(720, 360, 1935, 2055), {}, QStringLiteral("画像のプレビュー")},
        {form3.Command2, &form3, twipsRect(3720, 240, 1215, 255), QStringLiteral("ズームイン"),
         QStringLiteral("プレビューを拡大します")},
        {form3.Command3, &form3, twipsRect(5040, 240, 1215, 255), QStringLiteral("ズームアウト"),
         QStringLiteral("プレビューを縮小します")},
        {form3.Label1, &form3, twipsRect(3720, 600, 1815, 255), QStringLiteral("圧縮率"), {}},
        {form3.Label2, &form3, twipsRect(3720, 840, 2655, 255), QStringLiteral("（1）低解像度～（100）高解像度"), {}},
        {form3.Label3, &form3, twipsRect(5400, 1080, 615, 255), QStringLiteral("50"), QStringLiteral("解像度")},
        {form3.HScroll1, &form3, twipsRect(3720, 1440, 2415, 255), {}, {}},
        {form3.Label7, &form3, twipsRect(3720, 1800, 2535, 615), Module1::curpath, {}},
        {form3.Label6, &form3, twipsRect(3720, 2400, 2055, 255), QStringLiteral("バイト数"), {}},
        {form3.Label5, &form3, twipsRect(3720, 2640, 1575, 255), QString(), QStringLiteral("バイト数")},
        {form3.Label4, &form3, twipsRect(5280, 2760, 735, 255), QStringLiteral("バイト"), {}},
        {form3.Command1, &form3, twipsRect(3960, 3000, 975, 375), QStringLiteral("保存"),
         QStringLiteral("名前をつけて保存します")},
        {form3.Command4, &form3, twipsRect(5040, 3000, 975, 375), QStringLiteral("キャンセル"),
         QStringLiteral("名前をつけて保存します")},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.control->metaObject()->className() + (" " + text(e.control).toStdString()));
        EXPECT_EQ(e.control->parentWidget(), e.container);
        EXPECT_EQ(e.control->geometry(), e.geometry);
        EXPECT_EQ(text(e.control), e.caption);
        EXPECT_EQ(e.control->toolTip(), e.tooltip);
    }

    EXPECT_TRUE(form3.Frame1->font().bold());
    EXPECT_EQ(form3.Frame1->font().pointSizeF(), 9);
    EXPECT_EQ(form3.Frame1->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_TRUE(form3.Label1->font().bold());
    EXPECT_FALSE(form3.Label2->font().bold());
    EXPECT_TRUE(form3.Label3->alignment() & Qt::AlignRight);
    EXPECT_TRUE(form3.Label5->alignment() & Qt::AlignRight);
    EXPECT_EQ(form3.Label5->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(form3.Label7->wordWrap());

    EXPECT_EQ(form3.HScroll1->orientation(), Qt::Horizontal);
    EXPECT_EQ(form3.HScroll1->minimum(), 1);
    EXPECT_EQ(form3.HScroll1->maximum(), 100);
    EXPECT_EQ(form3.HScroll1->value(), 50);
    EXPECT_EQ(form3.HScroll1->singleStep(), 1);
    EXPECT_EQ(form3.HScroll1->pageStep(), 1);
    EXPECT_FALSE(form3.HScroll1->hasTracking());

    for (QPushButton* b : {form3.Command1, form3.Command2, form3.Command3, form3.Command4}) {
        EXPECT_FALSE(b->isDefault()) << b->text().toStdString();
        EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    }
}

TEST_F(Form3Test, FocusStartsOnSaveAndTabsThroughTheControlsInOrder)
{
    Form3& form3 = openDialog();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form3));
    EXPECT_EQ(QApplication::focusWidget(), form3.Command1);

    const QWidget* expected[] = {form3.HScroll1, form3.Command2, form3.Command3, form3.Command4, form3.Command1};
    for (const QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

TEST_F(Form3Test, FirstUseWithoutPreviewFileLoadsSilentlyAndTheCommandShowsTheFirstPreview)
{
    ASSERT_FALSE(QFile::exists(previewPath()));
    Form3& form3 = forms::get<Form3>();
    // Form_Load stops at the missing file: no box, no size, no encoding yet.
    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form3.Label5->text(), QString());
    EXPECT_EQ(form3.Label7->text(), Module1::curpath);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("50"));
    EXPECT_FALSE(QFile::exists(previewPath()));
    EXPECT_TRUE(form3.Image1->picture().isNull());

    form1.mnusave_Click();
    ASSERT_EQ(forms::loaded<Form3>(), &form3);
    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(fileBytes(previewPath()), encoded(50));
    EXPECT_EQ(form3.Label5->text(), sizeText(FileLen(previewPath())));
    EXPECT_EQ(form3.Image1->picture().size(), QSize(320, 240));
    EXPECT_TRUE(form3.isVisible());
}

TEST_F(Form3Test, LaterOpeningReplacesAnOldPreviewAtQuality50WhileLoading)
{
    QImage old(16, 16, QImage::Format_RGB32);
    old.fill(Qt::blue);
    ASSERT_EQ(DCSavetoJPEG(old, 16, 16, previewPath(), 90, 0), 0);

    Form3& form3 = forms::get<Form3>();
    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(fileBytes(previewPath()), encoded(50));
    EXPECT_EQ(form3.Label5->text(), sizeText(FileLen(previewPath())));
    // Shown at the design size for now, and decoded at least that large.
    const QImage shown = form3.Image1->picture();
    EXPECT_GE(shown.width(), form3.Image1->width());
    EXPECT_GE(shown.height(), form3.Image1->height());
    EXPECT_EQ(shown.width() * 3, shown.height() * 4);
}

TEST_F(Form3Test, ReopeningStartsFromTheDesignValues)
{
    Form3* first = &openDialog();
    first->HScroll1->setValue(80);
    first->Command2_Click();
    first->Frame2_DragDrop(first->Image1, 100, 100);
    first->Command4_Click();

    Form3& again = openDialog();
    EXPECT_NE(&again, first);
    EXPECT_EQ(again.HScroll1->value(), 50);
    EXPECT_EQ(again.Label3->text(), QStringLiteral("50"));
    EXPECT_FLOAT_EQ(again.Image1->Left(), 720);
    EXPECT_FLOAT_EQ(again.Image1->Top(), 360);
    EXPECT_FLOAT_EQ(again.Image1->Width(), Module1::prevwidth);
    EXPECT_FLOAT_EQ(again.Image1->Height(), form2.Image1->Height() / 1.5f);
    EXPECT_EQ(fileBytes(previewPath()), encoded(50));
}

TEST_F(Form3Test, OneArrowStepRewritesThePreviewAtTheNewQuality)
{
    Form3& form3 = openDialog();
    const QByteArray before = fileBytes(previewPath());
    const qint64 shownBefore = form3.Image1->picture().cacheKey();

    form3.HScroll1->setFocus();
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);

    EXPECT_EQ(form3.HScroll1->value(), 51);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("51"));
    const QByteArray after = fileBytes(previewPath());
    EXPECT_NE(after, before);
    EXPECT_EQ(after, encoded(51));
    EXPECT_EQ(form3.Label5->text(), sizeText(after.size()));
    EXPECT_NE(form3.Image1->picture().cacheKey(), shownBefore);
    EXPECT_EQ(form3.MousePointer(), 0);
}

TEST_F(Form3Test, KeysMoveTheSliderOneStepTowardTheirSide)
{
    Form3& form3 = openDialog();
    const struct {
        Qt::Key key;
        int value;
    } presses[] = {{Qt::Key_Right, 51}, {Qt::Key_Down, 52}, {Qt::Key_PageDown, 53}, {Qt::Key_Left, 52},
                   {Qt::Key_Up, 51},    {Qt::Key_PageUp, 50}, {Qt::Key_End, 100}, {Qt::Key_Home, 1}};
    for (const auto& press : presses) {
        QTest::keyClick(form3.HScroll1, press.key);
        EXPECT_EQ(form3.Label3->text(), QString::number(press.value)) << press.key;
    }
    EXPECT_EQ(fileBytes(previewPath()), encoded(1));
}

TEST_F(Form3Test, QualityFollowsTheSliderAcrossItsRangeAndSizeGrowsWithIt)
{
    Form3& form3 = openDialog();
    form3.HScroll1->setValue(1);
    const qint64 smallest = FileLen(previewPath());
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("1"));
    form3.HScroll1->setValue(100);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("100"));
    EXPECT_EQ(fileBytes(previewPath()), encoded(100));
    EXPECT_GT(FileLen(previewPath()), 2 * smallest);
    EXPECT_EQ(form3.Label5->text(), sizeText(FileLen(previewPath())));
}

TEST_F(Form3Test, DraggedThumbEncodesOnceOnRelease)
{
    Form3& form3 = openDialog();
    const QByteArray before = fileBytes(previewPath());
    form3.HScroll1->setSliderDown(true);
    form3.HScroll1->setSliderPosition(70);
    form3.HScroll1->setSliderPosition(75);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("50"));
    EXPECT_EQ(fileBytes(previewPath()), before);

    form3.HScroll1->setSliderDown(false);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("75"));
    EXPECT_EQ(fileBytes(previewPath()), encoded(75));
}

TEST_F(Form3Test, PreviewThatCannotBeWrittenKeepsTheLastOneAndTheDialogStaysUsable)
{
    Form3& form3 = openDialog();
    const QString shownSize = form3.Label5->text();
    const qint64 shownPicture = form3.Image1->picture().cacheKey();

    App::setPath(programFolder() + QStringLiteral("/missing"));
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    EXPECT_EQ(form3.Label3->text(), QStringLiteral("51"));
    EXPECT_EQ(form3.Label5->text(), shownSize);
    EXPECT_EQ(form3.Image1->picture().cacheKey(), shownPicture);
    EXPECT_TRUE(dialogs_->boxes().empty());
    EXPECT_EQ(form3.MousePointer(), 0);

    // Once the folder can be written again the next step shows its preview.
    App::setPath(programFolder());
    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    EXPECT_EQ(fileBytes(previewPath()), encoded(52));
    EXPECT_EQ(form3.Label5->text(), sizeText(FileLen(previewPath())));
    EXPECT_NE(form3.Image1->picture().cacheKey(), shownPicture);
}

TEST_F(Form3Test, FailedEncodingDoesNotPassAnOlderFileOffAsTheNewPreview)
{
    Form3& form3 = openDialog();
    const QString shownSize = form3.Label5->text();
    const qint64 shownPicture = form3.Image1->picture().cacheKey();
    // Someone else's file sits at the preview path, and the encoder refuses the picture.
    QImage other(40, 30, QImage::Format_RGB32);
    other.fill(Qt::green);
    ASSERT_EQ(DCSavetoJPEG(other, 40, 30, previewPath(), 10, 0), 0);
    form2.Picture1.setPicture(QImage());

    QTest::keyClick(form3.HScroll1, Qt::Key_Right);
    EXPECT_EQ(form3.Label5->text(), shownSize);
    EXPECT_EQ(form3.Image1->picture().cacheKey(), shownPicture);
    EXPECT_EQ(form3.Image1->picture().size(), QSize(320, 240));
}

TEST_F(Form3Test, ZoomInStopsAtStepNineAtFiveTimesTheBaseSizeAroundTheSameCentre)
{
    Form3& form3 = openDialog();
    ImageControl& image = *form3.Image1;
    const float baseWidth = Module1::prevwidth;
    const float baseHeight = float(Module1::prevheight);
    const QPointF centre(image.Left() + image.Width() / 2, image.Top() + image.Height() / 2);

    for (int click = 0; click < 8; ++click)
        form3.Command2_Click();
    EXPECT_NEAR(image.Width(), 5 * baseWidth, 0.01);
    EXPECT_NEAR(image.Height(), 5 * baseHeight, 0.5);
    EXPECT_NEAR(image.Left() + image.Width() / 2, centre.x(), 0.01);
    EXPECT_NEAR(image.Top() + image.Height() / 2, centre.y(), 0.01);
    EXPECT_EQ(image.size(), twips::toPixels(0, 0, image.Width(), image.Height()).size());

    const QRectF atNine(image.Left(), image.Top(), image.Width(), image.Height());
    form3.Command2_Click();
    EXPECT_EQ(QRectF(image.Left(), image.Top(), image.Width(), image.Height()), atNine);
}

TEST_F(Form3Test, ZoomOutStopsAtHalfTheBaseSize)
{
    Form3& form3 = openDialog();
    ImageControl& image = *form3.Image1;
    const float baseWidth = Module1::prevwidth;
    const float baseHeight = float(Module1::prevheight);
    const float startHeight = image.Height();

    form3.Command3_Click();
    EXPECT_NEAR(image.Width(), baseWidth / 2, 0.01);
    EXPECT_NEAR(image.Height(), startHeight - baseHeight / 2, 0.01);
    EXPECT_NEAR(image.Height(), baseHeight / 2, 0.5);
    EXPECT_NEAR(image.Left(), 720 + baseWidth / 4, 0.01);
    EXPECT_NEAR(image.Top(), 360 + baseHeight / 4, 0.01);
    const QRectF atZero(image.Left(), image.Top(), image.Width(), image.Height());
    form3.Command3_Click();
    EXPECT_EQ(QRectF(image.Left(), image.Top(), image.Width(), image.Height()), atZero);
}

TEST_F(Form3Test, ZoomingInAndOutReturnsToTheFormerSizeAndPlace)
{
    Form3& form3 = openDialog();
    ImageControl& image = *form3.Image1;
    form3.Frame2_DragDrop(&image, 1000, 900);
    const QRect placed = image.geometry();
    const QRectF former(image.Left(), image.Top(), image.Width(), image.Height());

    for (int click = 0; click < 5; ++click)
        form3.Command2_Click();
    EXPECT_NE(image.geometry(), placed);
    for (int click = 0; click < 5; ++click)
        form3.Command3_Click();
    EXPECT_NEAR(image.Left(), former.x(), 0.01);
    EXPECT_NEAR(image.Top(), former.y(), 0.01);
    EXPECT_NEAR(image.Width(), former.width(), 0.01);
    EXPECT_NEAR(image.Height(), former.height(), 0.01);
    EXPECT_EQ(image.geometry(), placed);
}

TEST_F(Form3Test, ZoomedInPreviewIsDecodedLargeEnoughNotToBeBlownUp)
{
    // A large picture: the preview is decoded at a fraction of it, but never
    // smaller than the largest zoom shows it.
    showPicture(photoLikePicture(2400, 1600));
    Form3& form3 = openDialog();
    const QSize decoded = form3.Image1->picture().size();
    EXPECT_LT(decoded.width(), 2400);
    for (int click = 0; click < 8; ++click)
        form3.Command2_Click();
    EXPECT_GE(decoded.width(), form3.Image1->width() * form3.Image1->devicePixelRatioF());
    EXPECT_GE(decoded.height(), form3.Image1->height() * form3.Image1->devicePixelRatioF());
}

class Form3DragTest : public SaveDialogTest {
protected:
    // Presses the left button on Image1 at `grab`, moves and releases at
    // `drop` (both in Frame2's pixels), as the mouse would.
    void drag(Form3& form3, QPoint grab, QPoint drop)
    {
        ImageControl* image = form3.Image1;
        const auto send = [image](QEvent::Type type, QPoint inFrame, Qt::MouseButton button, Qt::MouseButtons held) {
            const QPointF local = image->mapFrom(image->parentWidget(), QPointF(inFrame));
            QMouseEvent event(type, local, image->mapToGlobal(local), button, held, Qt::NoModifier);
            QApplication::sendEvent(image, &event);
        };
        send(QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
        send(QEvent::MouseMove, (grab + drop) / 2, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseMove, drop, Qt::NoButton, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, drop, Qt::LeftButton, Qt::NoButton);
    }
};

TEST_F(Form3DragTest, DropOnTheFrameCentresThePreviewOnTheDropPoint)
{
    Form3& form3 = openDialog();
    ImageControl& image = *form3.Image1;
    const QPoint grab = image.geometry().topLeft() + QPoint(3, 3);
    const QPoint drop(image.geometry().right() + 20, 10); // an empty part of the frame

    drag(form3, grab, drop);
    EXPECT_NEAR(image.Left() + image.Width() / 2, drop.x() * 15, 0.01);
    EXPECT_NEAR(image.Top() + image.Height() / 2, drop.y() * 15, 0.01);
}

TEST_F(Form3DragTest, DropOnThePreviewItselfOrOutsideTheFrameLeavesItInPlace)
{
    Form3& form3 = openDialog();
    ImageControl& image = *form3.Image1;
    const QRect start = image.geometry();

    drag(form3, start.topLeft() + QPoint(2, 2), start.center()); // onto itself
    EXPECT_EQ(image.geometry(), start);
    drag(form3, start.topLeft() + QPoint(2, 2), start.topLeft() + QPoint(2, 2)); // a plain click
    EXPECT_EQ(image.geometry(), start);
    const QPoint overSaveButton = form3.Frame2->mapFrom(&form3, form3.Command1->geometry().center());
    drag(form3, start.topLeft() + QPoint(2, 2), overSaveButton);
    EXPECT_EQ(image.geometry(), start);
}

TEST_F(Form3DragTest, DropPositionIsNotLimitedToTheVisibleFrame)
{
    Form3& form3 = openDialog();
    form3.Frame2_DragDrop(form3.Image1, 0, 0);
    EXPECT_FLOAT_EQ(form3.Image1->Left(), -form3.Image1->Width() / 2);
    EXPECT_FLOAT_EQ(form3.Image1->Top(), -form3.Image1->Height() / 2);
    EXPECT_LT(form3.Image1->x(), 0);
}

TEST_F(Form3Test, CancelUnloadsTheDialogAndReenablesEveryWindow)
{
    forms::get<frmAbout>().show();
    Form3& form3 = openDialog();
    ASSERT_TRUE(otherWindowsDisabled());
    form3.Command4_Click();
    EXPECT_EQ(forms::loaded<Form3>(), nullptr);
    EXPECT_FALSE(form3.isVisible());
    EXPECT_TRUE(otherWindowsEnabled());
    EXPECT_TRUE(form1.isVisible());
    EXPECT_TRUE(QFile::exists(previewPath()));
    EXPECT_TRUE(dialogs_->boxes().empty());
}

TEST_F(Form3Test, CloseBoxActsAsCancel)
{
    forms::get<frmAbout>().show();
    Form3& form3 = openDialog();
    EXPECT_TRUE(form3.close());
    EXPECT_EQ(forms::loaded<Form3>(), nullptr);
    EXPECT_TRUE(otherWindowsEnabled());
    EXPECT_TRUE(dialogs_->boxes().empty());
}

} // namespace
