#include "app/module1.h"

#include "app/forms.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "platform/rounding.h"

namespace Module1 {

void StartMain()
{
    Form2& form2 = forms::get<Form2>();
    form2.setWidth(3000);
    form2.setHeight(3000);
    form2.Image1->setPicture(form2.Picture1.picture());
    form2.Image1->setWidth(form2.Picture1.Width());
    form2.Image1->setHeight(form2.Picture1.Height());
    imgwidth = form2.Picture1.Width();
    imgheight = form2.Picture1.Height();
    FitImage();
    forms::get<Form1>().show();
}

// Every quotient is rounded to single precision, so the sizes come out as the
// window tables and the worked examples give them (640 x 480 -> 3000 x 2255).
void FitImage()
{
    Form2& form2 = forms::get<Form2>();
    const float W = form2.ScaleWidth();
    const float H = form2.ScaleHeight();
    const float wr = imgwidth / W;
    const float hr = imgheight / H;
    fitwidth = imgwidth / wr;
    fitheight = roundToInt32(static_cast<float>(imgheight / wr));
    if (H >= static_cast<float>(fitheight)) {
        form2.Image1->setWidth(fitwidth);
        form2.Image1->setHeight(static_cast<float>(fitheight));
    } else {
        fitwidth = imgwidth / hr;
        fitheight = roundToInt32(static_cast<float>(imgheight / hr));
        form2.Image1->setWidth(fitwidth);
        form2.Image1->setHeight(static_cast<float>(fitheight));
    }
    form2.setWidth(form2.Image1->Width());
    form2.setHeight(form2.Image1->Height());
}

} // namespace Module1
