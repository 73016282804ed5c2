// Selecting a file: its path, date and size, and its picture in the image window.
#include "forms/main/form1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/module1.h"
#include "forms/image/form2.h"
#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/file_list_box.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/picture_loader.h"
#include "platform/texts.h"

namespace {

// Shows Form2's Picture1 in Image1 at its natural size and records that size.
void takePictureIntoImage(Form2& form2)
{
    form2.Image1->setPicture(form2.Picture1.picture());
    form2.Image1->setWidth(form2.Picture1.Width());
    form2.Image1->setHeight(form2.Picture1.Height());
    Module1::imgwidth = form2.Picture1.Width();
    Module1::imgheight = form2.Picture1.Height();
}

} // namespace

void Form1::File1_Click()
{
    Form2& form2 = forms::get<Form2>();
    try {
        setMousePointer(11);
        enlarged = 0;
        Command2->setEnabled(true);
        Command1->setEnabled(true);
        form2.show();
        form2.setWidth(3000);
        form2.setHeight(3000);
        selpath = fullPath(File1->Path(), File1->FileName());
        Module1::curpath = selpath;
        Text1->setText(selpath);
        Label2->setText(dateText(FileDateTime(selpath)));
        Label5->setText(sizeText(FileLen(selpath)));
        form2.Picture1.setPicture(LoadPicture(selpath));
        takePictureIntoImage(form2);
        setMousePointer(0);
        Module1::FitImage();
    } catch (...) {
        // Any failure, whatever its kind, ends in the fallback picture.
        dialogs().msgBox(QStringLiteral("ファイルが空です"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
        form2.Picture1.setPicture(form2.Picture2.picture());
        takePictureIntoImage(form2);
        setMousePointer(0);
        Module1::curpath = App::Path();
        Module1::FitImage();
    }
}
