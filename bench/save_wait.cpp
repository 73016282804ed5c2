// How long the window thread keeps an event waiting while a 50-megapixel
// photo (8660 x 5774) is saved from the save dialog: 保存 pressed, the name
// given, and the file written. Two saves: the usual one, which writes the
// bytes of the preview shown, and one at a quality no preview was made at
// (its preview stood in for), which encodes the photo again. Both are set
// against one bare libjpeg-turbo encoding of the same pixels (quality 50,
// 4:2:0, optimized Huffman tables, to memory) measured in the same run.
// Target: the longest wait under 50 ms, whatever the encoding takes.
//
// Usage: save_wait [runs]          (default 3 runs of each)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>

#include "bench_support.h"
#include "latency_probe.h"
#include "main_window/main_window.h"
#include "main_window/start_main_window.h"
#include "save_dialog/picture_saver.h"
#include "save_dialog/preview_encoder.h"
#include "save_dialog/save_dialog.h"
#include "ui/dialogs.h"
#include "ui/forms.h"
#include "runtime/services.h"
#include "viewing/picture_model.h"

namespace {

using bench::Clock;
using bench::millisecondsSince;

// A person who names `target` and acknowledges every message.
class Person : public DialogService {
public:
    explicit Person(QString target)
        : target_(std::move(target))
    {
    }
    MsgBoxResult msgBox(const QString&, MsgBoxStyle, const QString&) override { return MsgBoxResult::Ok; }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> showSave(const SaveFileRequest&) override { return target_; }

private:
    QString target_;
};

void runUntil(const std::function<bool()>& done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct Saved {
    double ms;     // from 保存 to the report
    double waitMs; // the longest wait of a posted event meanwhile
};

// The dialog opened on the photo at quality 90, its preview shown, then 保存.
Saved saveOnce(MainWindow& mainWindow)
{
    mainWindow.openSaveDialog();
    SaveDialog& dialog = *mainWindow.saveDialog();
    dialog.qualitySlider->setValue(90);
    runUntil([&] { return !dialog.previewEncoder->busy(); });
    bench::LatencyProbe probe(&mainWindow, std::chrono::milliseconds(2));
    const Clock::time_point start = Clock::now();
    dialog.save();
    runUntil([&] { return !mainWindow.savesPicture(); });
    const double ms = millisecondsSince(start);
    const std::vector<double> waits = probe.finish();
    return {ms, waits.empty() ? 0.0 : *std::max_element(waits.begin(), waits.end())};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    services().programFolder = folder.path();
    services().lockFolder = folder.path();
    Person person(folder.filePath(QStringLiteral("saved.jpg")));
    services().dialogs = &person;

    std::printf("Generating a 8660 x 5774 photo-like picture...\n");
    const QImage picture = bench::photo(8660, 5774);
    bench::Measure bare{"bare", [&] { bench::bareToMemory(picture, true, 50); }};
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        bare.run();
        bare.milliseconds.push_back(millisecondsSince(start));
    }
    const double bareMs = bare.median();

    MainWindow& mainWindow = startMainWindow();
    mainWindow.show();
    mainWindow.model().showInMemory(picture);

    std::vector<Saved> ofPreview, encodedAgain;
    for (int run = 0; run < runs; ++run)
        ofPreview.push_back(saveOnce(mainWindow));
    // A preview that gives no bytes: the save encodes the photo again.
    services().encodePreview = [](const PreviewJob& job, std::stop_token) {
        return PreviewResult{JpegStatus::Written, QImage(job.cover, QImage::Format_RGB32), QByteArray(), 1000, 0};
    };
    for (int run = 0; run < runs; ++run)
        encodedAgain.push_back(saveOnce(mainWindow));

    const auto report = [&](const char* what, std::vector<Saved> saves) {
        std::sort(saves.begin(), saves.end(), [](const Saved& a, const Saved& b) { return a.waitMs < b.waitMs; });
        const Saved worst = saves.back();
        std::sort(saves.begin(), saves.end(), [](const Saved& a, const Saved& b) { return a.ms < b.ms; });
        const double median = saves[saves.size() / 2].ms;
        std::printf("%-28s save %8.1f ms (%4.2f x bare)   longest wait %6.1f ms (%4.3f x bare)  %s\n", what, median,
                    median / bareMs, worst.waitMs, worst.waitMs / bareMs, worst.waitMs < 50 ? "ok" : "OVER 50 ms");
    };
    std::printf("bare libjpeg-turbo encoding: %.1f ms (median of %d)\n", bareMs, runs);
    report("the preview's bytes", ofPreview);
    report("encoded again", encodedAgain);
    forms::unload(&mainWindow);
    return 0;
}
