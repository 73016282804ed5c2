#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>

#include "desktop/instance_channel.h"
#include "ui/handler_guard.h"
#include "ui/forms.h"
#include "ui/questions.h"
#include "main_window/main_window.h"
#include "ui/dialogs.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "runtime/run_time_error.h"
#include "files/native_names.h"
#include "files/paths.h"

namespace commandline {
namespace {

QString pending;
QPointer<MainWindow> mainWindow; // once shown
bool showScheduled = false;
// The path whose "not found" box is open: the same path handed over again is already being answered.
QString reportingMissing;

void showNotFound(const QString& path)
{
    reportingMissing = path;
    dialogs().msgBox(QStringLiteral("指定されたファイルまたはフォルダが見つかりません\n") + path, MsgBoxStyle::Exclamation,
                     QStringLiteral("きりビュアー"));
    reportingMissing.clear();
}

int indexOf(const FileListBox& list, const QString& name)
{
    for (int i = 0; i < list.listCount(); ++i)
        if (list.entry(i) == name)
            return i;
    return -1;
}

void show(const QString& path)
{
    if (!forms::isLoaded(mainWindow))
        return; // the program is ending
    MainWindow& window = *mainWindow;
    window.raise();
    window.activateWindow();
    // `path` is absolute and clean; its bytes may not be valid UTF-8, which Qt's file info would lose.
    const std::optional<native_names::EntryKind> kind = native_names::kindOf(path);
    if (!kind) {
        showNotFound(path);
        return;
    }
    const bool isFolder = kind == native_names::EntryKind::Folders;
    const QString folder = isFolder ? path : folderOf(path);
    const QString name = nameOf(path);
    try {
        window.driveList->setDrive(folder);
        window.folderList->setPath(folder);
    } catch (const RunTimeError&) {
        showNotFound(path);
        return;
    }
    if (isFolder)
        return;
    int index = indexOf(*window.fileList, name);
    if (index < 0) {
        window.filterFiles(3); // the "all pictures" filter, as the start shows it
        index = indexOf(*window.fileList, name);
    }
    if (index < 0) {
        showNotFound(path);
        return;
    }
    // Selecting a row clicks it; the row already selected is clicked again.
    if (window.fileList->listIndex() == index)
        window.onFileClicked();
    else
        window.fileList->setListIndex(index);
}

} // namespace

QStringList arguments(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << native_names::decode(QByteArray(argv[i]));
    return list;
}

bool asksForTextOnly(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false; // only paths follow
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h") || argument == QLatin1String("-?")
            || argument == QLatin1String("--help-all") || argument == QLatin1String("--version")
            || argument == QLatin1String("-v"))
            return true;
    }
    return false;
}

QString parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("簡易画像ビュアー＆JPEG圧縮"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("表示する画像ファイルまたはフォルダ"),
                                 QStringLiteral("[ファイル|フォルダ]"));
    parser.process(arguments);
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return {};
    const QString& path = paths.first();
    return QDir::cleanPath(path.startsWith(QLatin1Char('/')) ? path : fullPath(native_names::currentFolder(), path));
}

namespace {

void showWhenNoQuestionIsOpen()
{
    if (showScheduled || !mainWindow || pending.isEmpty())
        return;
    showScheduled = true;
    questions::whenNoneOpen(guarded([] {
        showScheduled = false;
        if (!pending.isEmpty())
            show(std::exchange(pending, QString()));
    }));
}

} // namespace

void openPath(const QString& path)
{
    if (path == reportingMissing)
        return;
    pending = path;
    if (questions::anyOpen())
        questions::bringToFront();
    showWhenNoQuestionIsOpen();
}

void openPending(MainWindow& shown)
{
    mainWindow = &shown;
    showWhenNoQuestionIsOpen();
}

QString waitingPath() { return pending; }

void listenForHandOvers() { instance::listen(guarded(openPath)); }

} // namespace commandline
