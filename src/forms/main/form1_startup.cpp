// Start-up and shutdown of the main window.
#include "forms/main/form1.h"

#include "app/forms.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/file_list_box.h"

void Form1::Form_Load()
{
    loadFavorites();
    if (App::PrevInstance()) {
        dialogs().msgBox(QStringLiteral("既に起動されています"), MsgBoxStyle::OkOnly, QStringLiteral("二重起動"));
        End();
    }
    File1->setPattern(QStringLiteral("*.jpg;*.bmp;*.gif;*.kir;*.jpeg"));
    forms::get<Form2>().show();
}

void Form1::Form_Unload()
{
    forms::unload<Form2>();
    forms::unload<frmAbout>();
}

void Form1::mnuend_Click()
{
    forms::unload<Form2>();
    forms::unload<frmAbout>();
    End();
}
