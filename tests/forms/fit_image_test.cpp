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
    // Shows a picture of w x h pixels in a box of the given side, as a file click does.
    Form2& fit(int w, int h, float box = 3000)
    {
        Form2& form2 = forms::get<Form2>();
        form2.setWidth(box);
        form2.setHeight(box);
        form2.Picture1.setPicture(QImage(w, h, QImage::Format_RGB32));
        Module1::imgwidth = form2.Picture1.Width();
        Module1::imgheight = form2.Picture1.Height();
        Module1::FitImage();
        return form2;
    }
};

TEST_F(FitImageTest, SinglePrecisionQuotientsAndTiesToEvenGiveTheWorkedFigures)
{
    struct Case { int w, h; float box, width, height; };
    const Case cases[] = {
        {640, 480, 3000, 3000, 2255},      // natural 9660 x 7260: fits to the width
        {480, 640, 3000, 2254.66f, 3000},  // fits to the height
        {49, 200, 3000, 779.41f, 3000},
        {1024, 768, 3000, 3000, 2253},
        {1024, 768, 10000, 10000, 7510},   // nearest(11580 / 1.542)
        {50, 50, 3000, 3000, 3000},        // small pictures are enlarged to fill the box
        {10, 10, 3000, 3000, 3000},
        // Heights that land on a tie, or off it, only in single precision: double gives 187 and 438.
        {108, 3, 3000, 3000, 188},
        {140, 17, 3000, 3000, 437},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " in " << c.box);
        Form2& form2 = fit(c.w, c.h, c.box);
        EXPECT_NEAR(form2.Image1->Width(), c.width, 0.01);
        EXPECT_EQ(form2.Image1->Height(), c.height);
        EXPECT_EQ(form2.Width(), form2.Image1->Width());
        EXPECT_EQ(form2.Height(), form2.Image1->Height());
        EXPECT_EQ(Module1::fitheight, int(c.height));
    }
    EXPECT_EQ(fit(640, 480).size(), QSize(200, 150)); // snapped to whole pixels on screen
}

TEST_F(FitImageTest, EnlargeAndCloseButtonsFollowTheViewStates)
{
    startProgram();
    Form1& form1 = forms::get<Form1>();
    Form2& form2 = fit(1024, 768);
    form1.Command2_Click();
    EXPECT_EQ(form1.enlarged, 1);
    EXPECT_FALSE(form1.Command2->isEnabled());
    EXPECT_TRUE(form1.Command1->isEnabled());
    EXPECT_EQ(form2.Height(), 7510.0f);

    const QImage before = form2.Picture1.picture();
    form1.Command1_Click();
    ASSERT_EQ(forms::loaded<Form2>(), &form2); // hidden, not unloaded
    EXPECT_FALSE(form2.isVisible());
    EXPECT_FALSE(form1.Command1->isEnabled());
    EXPECT_FALSE(form1.Command2->isEnabled());
    EXPECT_EQ(form2.Picture1.picture(), before);
}

} // namespace
