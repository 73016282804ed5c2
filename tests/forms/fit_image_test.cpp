#include <gtest/gtest.h>

#include <QPushButton>

#include "app/forms.h"
#include "app/module1.h"
#include "form_fixture.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"

namespace {

class FitImageTest : public FormTest {
protected:
    // Shows a picture of w x h pixels the way a file click does, in a box of the given size.
    void fit(int w, int h, float box = 3000)
    {
        Form2& form2 = forms::get<Form2>();
        form2.setWidth(box);
        form2.setHeight(box);
        QImage picture(w, h, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        form2.Picture1.setPicture(picture);
        form2.Image1->setPicture(picture);
        Module1::imgwidth = form2.Picture1.Width();
        Module1::imgheight = form2.Picture1.Height();
        Module1::FitImage();
    }
    Form2& form2() { return forms::get<Form2>(); }
};

TEST_F(FitImageTest, WidePictureFitsToTheWidth)
{
    fit(640, 480);
    EXPECT_EQ(Module1::imgwidth, 9660.0f);
    EXPECT_EQ(Module1::imgheight, 7260.0f);
    EXPECT_FLOAT_EQ(form2().Image1->Width(), 3000.0f);
    EXPECT_EQ(form2().Image1->Height(), 2255.0f);
    EXPECT_FLOAT_EQ(form2().Width(), 3000.0f);
    EXPECT_EQ(form2().Height(), 2255.0f);
    EXPECT_EQ(Module1::fitheight, 2255);
}

TEST_F(FitImageTest, TallPicturesFitToTheHeight)
{
    fit(480, 640);
    EXPECT_NEAR(form2().Image1->Width(), 2254.66, 0.01);
    EXPECT_EQ(form2().Image1->Height(), 3000.0f);
    EXPECT_NEAR(form2().Width(), 2254.66, 0.01);
    EXPECT_EQ(form2().Height(), 3000.0f);

    fit(49, 200);
    EXPECT_NEAR(form2().Image1->Width(), 779.41, 0.01);
    EXPECT_EQ(form2().Image1->Height(), 3000.0f);
}

TEST_F(FitImageTest, HeightIsRoundedTiesToEvenAfterSinglePrecisionDivision)
{
    fit(1024, 768);
    EXPECT_FLOAT_EQ(form2().Width(), 3000.0f);
    EXPECT_EQ(form2().Height(), 2253.0f);

    // The enlarged box: nearest(11580 / 1.542) = 7510.
    fit(1024, 768, 10000);
    EXPECT_FLOAT_EQ(form2().Width(), 10000.0f);
    EXPECT_EQ(form2().Height(), 7510.0f);
    EXPECT_EQ(Module1::fitheight, 7510);
}

TEST_F(FitImageTest, SmallSquarePicturesAreEnlargedToFillTheBox)
{
    for (int side : {10, 50}) {
        fit(side, side);
        EXPECT_FLOAT_EQ(form2().Width(), 3000.0f) << side;
        EXPECT_FLOAT_EQ(form2().Height(), 3000.0f) << side;
    }
}

TEST_F(FitImageTest, WindowOnScreenMatchesTheFittedTwips)
{
    fit(640, 480);
    EXPECT_EQ(form2().size(), QSize(200, 150)); // 3000 x 2255 twips, snapped to pixels
    EXPECT_EQ(form2().Image1->geometry(), QRect(0, 0, 200, 150));
}

TEST_F(FitImageTest, EnlargeButtonFitsTheSamePictureIntoTheBigBox)
{
    startProgram();
    Form1& form1 = forms::get<Form1>();
    fit(1024, 768);
    form1.Command2_Click();
    EXPECT_EQ(form1.enlarged, 1);
    EXPECT_FALSE(form1.Command2->isEnabled());
    EXPECT_TRUE(form1.Command1->isEnabled());
    EXPECT_FLOAT_EQ(form2().Width(), 10000.0f);
    EXPECT_EQ(form2().Height(), 7510.0f);
}

TEST_F(FitImageTest, CloseButtonHidesTheWindowAndKeepsItsPicture)
{
    startProgram();
    Form1& form1 = forms::get<Form1>();
    fit(640, 480);
    const QImage before = form2().Picture1.picture();
    form1.Command1_Click();
    ASSERT_NE(forms::loaded<Form2>(), nullptr);
    EXPECT_FALSE(form2().isVisible());
    EXPECT_FALSE(form1.Command1->isEnabled());
    EXPECT_FALSE(form1.Command2->isEnabled());
    EXPECT_EQ(form2().Picture1.picture(), before);
    EXPECT_EQ(Module1::imgwidth, 9660.0f);
}

} // namespace
