// Clipboard commands: show the clipboard's picture, copy the picture, clear, open a viewer.
#include "forms/main/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/module1.h"
#include "forms/image/form2.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/run_time_error.h"

// Shown like a clicked file, with the clipboard in place of the file. A
// clipboard without a picture is reported and changes nothing: an empty
// picture would leave nothing to fit and nothing to save.
void Form1::Command6_Click()
{
    const QImage picture = QApplication::clipboard()->image();
    if (picture.isNull()) {
        dialogs().msgBox(QStringLiteral("クリップボードに画像がありません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("クリップボード"));
        return;
    }
    Label2->clear();
    Label5->clear();
    enlarged = 0;
    Command2->setEnabled(true);
    Command1->setEnabled(true);
    Form2& form2 = forms::get<Form2>();
    form2.show();
    form2.setWidth(3000);
    form2.setHeight(3000);
    form2.Picture1.setPicture(picture);
    form2.Image1->setPicture(form2.Picture1.picture());
    form2.Image1->setWidth(form2.Picture1.Width());
    form2.Image1->setHeight(form2.Picture1.Height());
    Module1::imgwidth = form2.Picture1.Width();
    Module1::imgheight = form2.Picture1.Height();
    Text1->setText(QStringLiteral("ClipBoard"));
    Module1::FitImage();
}

// The same steps as a double click on the picture.
void Form1::mnugazoc_Click() { forms::get<Form2>().Image1_DblClick(); }

void Form1::mnucliclear_Click() { QApplication::clipboard()->clear(); }

void Form1::mnuviewclip_Click()
{
    try {
        launcher().Shell(QStringLiteral("Start Clipbrd.exe"), vbMinimizedFocus);
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("エラー"));
    }
}
