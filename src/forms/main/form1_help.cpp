// Help and the version dialog.
#include "forms/main/form1.h"

#include <QFileInfo>

#include "app/forms.h"
#include "forms/about/frmabout.h"
#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/run_time_error.h"

// There is no help viewer to open a topic in: the desktop opens the help file
// with whatever it has for it. What the help viewer used to report itself (a
// missing file, nothing to show it with) is reported here instead.
void Form1::mnuhelp_Click()
{
    // Built as it always was: a program in the root gets a doubled separator, harmless here.
    const QString helpFile = App::Path() + QStringLiteral("/View.hlp");
    if (!QFileInfo(helpFile).isFile()) {
        dialogs().msgBox(QStringLiteral("ヘルプファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("ヘルプ"));
        return;
    }
    try {
        launcher().Shell(QStringLiteral("Start ") + helpFile, vbMinimizedFocus);
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ヘルプを表示するプログラムが見つかりません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("ヘルプ"));
    }
}

// Modeless; a second choice brings the same dialog forward without loading it again.
void Form1::mnuver_Click()
{
    frmAbout& about = forms::get<frmAbout>();
    about.show();
    about.raise();
    about.activateWindow();
}
