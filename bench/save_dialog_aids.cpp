// The save dialog's aids on a 50-megapixel photo (8660 x 5774, a JPEG made
// here): peak memory and time, on the real windows.
//
// Each case runs in a fresh process of its own, so that nothing of the
// benchmark (the generated pixels, an earlier case) counts: the photo clicked
// in the main window, then the save dialog opened, then one aid. The peak
// (VmHWM) is set against the decoded picture (4 bytes a pixel); the target is
// 2.5 x. The time of an aid, from the key to its result, is set against one
// bare libjpeg-turbo encoding of the same pixels (quality 50, 4:2:0,
// optimized Huffman tables, to memory) measured here first.
//
// Usage: save_dialog_aids [runs]          (default 3 runs of the bare encoding)

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>

#include "bench_support.h"
#include "controls/dir_list_box.h"
#include "controls/file_list_box.h"
#include "image_window/image_window.h"
#include "main_window/main_window.h"
#include "main_window/start_main_window.h"
#include "save_dialog/preview_encoder.h"
#include "save_dialog/save_dialog.h"
#include "viewing/picture_model.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "runtime/services.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int width = 8660;
constexpr int height = 5774;
constexpr double decodedMiB = double(width) * height * 4 / (1024.0 * 1024.0);

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The high-water mark of this process's memory; it starts afresh at exec.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    return 0;
}

// A person asking for 60 % of the size shown, and every message acknowledged.
class Person : public DialogService {
public:
    MsgBoxResult msgBox(const QString&, MsgBoxStyle, const QString&) override { return MsgBoxResult::Ok; }
    std::optional<QString> inputBox(const QString&, const QString&, const QString& shown) override
    {
        return QString::number(shown.toDouble() * 0.6, 'f', 3);
    }
    std::optional<QString> showSave(const SaveFileRequest&) override { return std::nullopt; }
};

void runUntil(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void pressD(SaveDialog& dialog)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, QStringLiteral("d"));
    QCoreApplication::sendEvent(&dialog, &press);
}

bool measured(SaveDialog& dialog)
{
    return !dialog.measurement->busy() && dialog.figuresLabel->text().startsWith(QStringLiteral("PSNR "));
}

bool searched(SaveDialog& dialog) { return !dialog.searchingTargetSize() && !dialog.previewEncoder->busy(); }

// One case in this process: what a person does, then the peak.
int runCase(int argc, char** argv, const QString& which, const QString& photo, double bareMs)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes would break up the table.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    QTemporaryDir programFolder;
    Person person;
    services().programFolder = programFolder.path();
    services().lockFolder = programFolder.path();
    services().dialogs = &person;

    MainWindow& mainWindow = startMainWindow();
    mainWindow.show();
    mainWindow.folderList->setPath(QFileInfo(photo).path());
    mainWindow.fileList->setListIndex(0);
    runUntil([&] { return !mainWindow.model().busy(); });
    double ms = 0;
    if (which != QLatin1String("shown")) {
        mainWindow.openSaveDialog();
        // The full-size picture is decoded on a worker before the dialog opens.
        runUntil([&] { return !mainWindow.model().busy(); });
        SaveDialog* dialog = mainWindow.saveDialog();
        if (!dialog)
            return 1;
        runUntil([&] { return !dialog->previewEncoder->busy(); });
        const Clock::time_point start = Clock::now();
        if (which == QLatin1String("target size")) {
            dialog->targetSizeAction->trigger();
            runUntil([&] { return searched(*dialog); });
        } else if (which == QLatin1String("D and SSIM")) {
            pressD(*dialog);
            runUntil([&] { return measured(*dialog); });
        } else if (which == QLatin1String("all at once")) {
            // The search and the measurement asked for together, then D again at the found quality.
            dialog->targetSizeAction->trigger();
            pressD(*dialog);
            runUntil([&] { return searched(*dialog) && measured(*dialog); });
        }
        ms = millisecondsSince(start);
    }
    const double peak = peakMiB();
    std::printf("  %-12s peak %7.1f MiB = %.2f x the decoded picture (target <= 2.5)", qPrintable(which), peak,
                peak / decodedMiB);
    if (ms > 0 && which != QLatin1String("dialog"))
        std::printf("; %8.1f ms = %.2f x bare encoding", ms, ms / bareMs);
    std::printf("\n");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--case") == 0)
        return runCase(argc, argv, QString::fromUtf8(argv[2]), QString::fromLocal8Bit(argv[3]), std::atof(argv[4]));
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    QTemporaryDir folder; // the photo alone in it, so nothing else is read ahead
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    std::vector<double> bare;
    {
        std::printf("Generating a %d x %d photo-like picture...\n", width, height);
        const QImage picture = bench::photo(width, height);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bench::bareEncoded(picture, true, 92)) <= 0)
            return 1;
        for (int run = 0; run < runs; ++run) {
            const Clock::time_point start = Clock::now();
            bench::bareToMemory(picture, true);
            bare.push_back(millisecondsSince(start));
        }
    }
    std::sort(bare.begin(), bare.end());
    const double bareMs = bare[bare.size() / 2];
    std::printf("photo: %.1f MB JPEG (quality 92); decoded %.1f MiB\n", QFileInfo(path).size() / 1e6, decodedMiB);
    std::printf("bare libjpeg-turbo encoding at 50 to memory: %.1f ms (median of %d)\n\n", bareMs, runs);
    std::fflush(stdout);

    bool ran = true;
    const QByteArray file = QFile::encodeName(path);
    const QByteArray bareText = QByteArray::number(bareMs, 'f', 3);
    for (const char* which : {"shown", "dialog", "target size", "D and SSIM", "all at once"}) {
        char* childArgs[] = {argv[0], const_cast<char*>("--case"), const_cast<char*>(which),
                             const_cast<char*>(file.constData()), const_cast<char*>(bareText.constData()), nullptr};
        pid_t child = 0;
        int status = 0;
        ran = ran && posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, childArgs, environ) == 0
              && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return ran ? 0 : 1;
}
