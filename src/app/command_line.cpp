#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include "runtime/forms.h"
#include "forms/main/main_window.h"
#include "runtime/dialogs.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "runtime/run_time_error.h"

namespace commandline {
namespace {

QString pending;
bool mainWindowShown = false;

void showNotFound(const QString& path)
{
    dialogs().msgBox(QStringLiteral("指定されたファイルまたはフォルダが見つかりません\n") + path, MsgBoxStyle::Exclamation,
                     QStringLiteral("きりビュアー"));
}

int indexOf(const FileListBox& list, const QString& name)
{
    for (int i = 0; i < list.ListCount(); ++i)
        if (list.List(i) == name)
            return i;
    return -1;
}

void show(const QString& path)
{
    MainWindow& window = forms::get<MainWindow>();
    window.raise();
    window.activateWindow();
    const QFileInfo info(path);
    if (!info.exists()) {
        showNotFound(path);
        return;
    }
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    try {
        window.driveList->setDrive(folder);
        window.folderList->setPath(folder);
    } catch (const RunTimeError&) {
        showNotFound(path);
        return;
    }
    if (info.isDir())
        return;
    int index = indexOf(*window.fileList, info.fileName());
    if (index < 0) {
        window.filterFiles(3); // the "all pictures" filter, as the start shows it
        index = indexOf(*window.fileList, info.fileName());
    }
    if (index < 0) {
        showNotFound(path);
        return;
    }
    // Selecting a row clicks it; the row already selected is clicked again.
    if (window.fileList->ListIndex() == index)
        window.onFileClicked();
    else
        window.fileList->setListIndex(index);
}

} // namespace

QString parse(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("簡易画像ビュアー＆JPEG圧縮"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("表示する画像ファイルまたはフォルダ"),
                                 QStringLiteral("[ファイル|フォルダ]"));
    parser.process(app);
    const QStringList paths = parser.positionalArguments();
    return paths.isEmpty() ? QString() : QFileInfo(paths.first()).absoluteFilePath();
}

void openPath(const QString& path)
{
    if (mainWindowShown)
        show(path);
    else
        pending = path;
}

void openPending()
{
    mainWindowShown = true;
    if (!pending.isEmpty())
        show(std::exchange(pending, QString()));
}

} // namespace commandline
