// Help and the version dialog.
#include "main_window/main_window.h"

#include <QFileInfo>

#include "ui/forms.h"
#include "about_dialog/about_dialog.h"
#include "runtime/app.h"
#include "ui/dialogs.h"
#include "desktop/help_file.h"
#include "desktop/launcher.h"
#include "runtime/run_time_error.h"

// There is no help viewer to open a topic in: the desktop opens the help file
// with whatever it has for it. What the help viewer used to report itself (a
// missing file, nothing to show it with) is reported here instead.
void MainWindow::showHelp()
{
    const QString helpFile = ::helpFile();
    if (helpFile.isEmpty()) {
        dialogs().msgBox(QStringLiteral("ヘルプファイルが見つかりません"), MsgBoxStyle::OkOnly, QStringLiteral("ヘルプ"));
        return;
    }
    try {
        launcher().open(helpFile, reportLater(QStringLiteral("ヘルプを表示するプログラムが見つかりません"), QStringLiteral("ヘルプ")));
    } catch (const RunTimeError&) {
        dialogs().msgBox(QStringLiteral("ヘルプを表示するプログラムが見つかりません"), MsgBoxStyle::OkOnly,
                         QStringLiteral("ヘルプ"));
    }
}

// Modeless; a second choice brings the same dialog forward without loading it again.
void MainWindow::showAbout()
{
    AboutDialog& about = aboutDialog();
    about.show();
    about.raise();
    about.activateWindow();
}

AboutDialog& MainWindow::aboutDialog()
{
    if (!forms::isLoaded(aboutDialog_)) {
        aboutDialog_ = new AboutDialog;
        aboutDialog_->onLoad();
    }
    return *aboutDialog_;
}
