// Opening the save dialog, prepared with a first preview at quality 50.
#include "forms/main/form1.h"

#include "app/forms.h"
#include "app/module1.h"
#include "encoder/save_jpg.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/save/form3.h"
#include "platform/dialogs.h"
#include "platform/rounding.h"
#include "platform/run_time_error.h"

namespace {

// The enlarged view is over three times the normal one; dividing it by 6
// rather than 1.5 gives a preview of about the same size.
double previewDivisor(std::int16_t enlarged) { return enlarged == 1 ? 6 : 1.5; }

} // namespace

void Form1::mnusave_Click()
{
    setMousePointer(11);
    Form2& form2 = forms::get<Form2>();
    try {
        // The first reference loads the dialog and runs its Form_Load.
        Form3& form3 = forms::get<Form3>();
        const double divisor = previewDivisor(enlarged);
        form3.Image1->setWidth(static_cast<float>(form2.Image1->Width() / divisor));
        form3.Image1->setHeight(static_cast<float>(form2.Image1->Height() / divisor));
        Module1::prevwidth = form3.Image1->Width();
        Module1::prevheight = roundToInt32(form3.Image1->Height());

        const std::int16_t status = DCSavetoJPEG(form2.Picture1.picture(), form2.Picture1.ScaleWidth(),
                                                 form2.Picture1.ScaleHeight(), Form3::previewPath(), 50, 0);
        if (status != jpeg_status::Written)
            throw RunTimeError(RunTimeError::PathFileAccess, "the preview file cannot be written");
        // Its size shows at once, also on the very first use when Form_Load found no file.
        form3.showPreview();
    } catch (const std::exception&) {
        // Without a preview the dialog is of no use: it goes, and nothing was disabled yet.
        forms::unload<Form3>();
        setMousePointer(0);
        dialogs().msgBox(QStringLiteral("プレビューを作成できません\n") + Form3::previewPath(), MsgBoxStyle::Exclamation,
                         QStringLiteral("ファイルの保存"));
        return;
    }

    forms::setEnabled<Form2>(false);
    forms::setEnabled<Form1>(false);
    forms::setEnabled<frmAbout>(false);
    Form3& form3 = forms::get<Form3>();
    form3.show();
    form3.raise();
    form3.activateWindow();
    setMousePointer(0);
}
