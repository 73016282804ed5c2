// The image window's buttons: close and enlarge.
#include "forms/main/form1.h"

#include <QPushButton>

#include "app/forms.h"
#include "app/module1.h"
#include "forms/image/form2.h"

void Form1::Command1_Click()
{
    forms::get<Form2>().hide();
    Command2->setEnabled(false);
    Command1->setEnabled(false);
}

void Form1::Command2_Click()
{
    enlarged = 1;
    Form2& form2 = forms::get<Form2>();
    form2.setWidth(10000);
    form2.setHeight(10000);
    Command2->setEnabled(false);
    Module1::FitImage();
}
