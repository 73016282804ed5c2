// Cost of one step of the save dialog's quality slider on a 20-megapixel
// picture (encode, write, reload, show the size and the preview) against the
// bare libjpeg-turbo encoding of the same pixels (quality 50, 4:2:0,
// optimized Huffman tables, to memory), measured in the same run on a real
// dialog. A naive step (the same encoding, a full-size reload and one smooth
// rescale) is measured alongside for comparison.
//
// Then the held arrow key: 20 quality steps 30 ms apart, timed from the first
// step until the preview of the last value is shown, against one bare
// encoding at that quality; and how long an event posted from another thread
// waits for the window thread meanwhile (the dialog's responsiveness).
//
// Usage: live_preview [runs]            (default 7 runs, medians printed)

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <jpeglib.h>

#include "bench_support.h"
#include "latency_probe.h"
#include "ui/forms.h"
#include "viewing/picture_model.h"
#include "encoder/save_jpeg.h"
#include "image_window/image_window.h"
#include "main_window/main_window.h"
#include "main_window/start_main_window.h"
#include "save_dialog/preview_encoder.h"
#include "save_dialog/save_dialog.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "decoder/picture_loader.h"

namespace {

using namespace bench;

// Runs the window thread's event loop until the dialog shows the preview of
// the slider's value.
void waitForPreview(SaveDialog& saveDialog)
{
    while (saveDialog.previewEncoder->busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

struct BurstTimes {
    double fromFirstPress; // until the last value's preview is shown
    double fromLastPress;
};

// The held key: `steps` presses `gap` ms apart, from `from`.
BurstTimes burst(SaveDialog& saveDialog, int from, int steps, int gap)
{
    saveDialog.qualitySlider->setValue(from);
    waitForPreview(saveDialog);
    int pressed = 0;
    Clock::time_point lastPress;
    QTimer key;
    key.setInterval(gap);
    QObject::connect(&key, &QTimer::timeout, [&] {
        saveDialog.qualitySlider->setValue(from + ++pressed);
        if (pressed == steps) {
            key.stop();
            lastPress = Clock::now();
        }
    });
    const Clock::time_point start = Clock::now();
    saveDialog.qualitySlider->setValue(from + ++pressed);
    key.start();
    while (pressed < steps || saveDialog.previewEncoder->busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    saveDialog.repaint();
    return {millisecondsSince(start), millisecondsSince(lastPress)};
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    services().programFolder = folder.path();
    services().lockFolder = folder.path();

    std::printf("Generating a %d x %d photo-like picture...\n", photoWidth, photoHeight);
    const QImage picture = photo();

    // The picture shown in the image window as a file click shows it, then
    // the save dialog opened through the menu command.
    MainWindow& mainWindow = startMainWindow();
    mainWindow.model().showInMemory(picture);
    mainWindow.openSaveDialog();
    SaveDialog* saveDialog = mainWindow.saveDialog();
    if (saveDialog)
        waitForPreview(*saveDialog);
    if (!mainWindow.saveDialog()) {
        std::printf("the save dialog did not open\n");
        return 1;
    }
    saveDialog->repaint();
    const QSize shown = saveDialog->preview->size();
    const QSize decodedSize = saveDialog->preview->picture().size();

    int quality = 50;
    const QString naivePath = folder.filePath(QStringLiteral("naive.jpg"));
    std::vector<Measure> measures = {
        {"bare libjpeg-turbo encoding to memory", [&] { bareToMemory(picture, true); }},
        {"one slider step on the save dialog",
         [&] {
             // Back and forth between 51 and 52, so every step is a change.
             quality = quality == 51 ? 52 : 51;
             saveDialog->qualitySlider->setValue(quality);
             waitForPreview(*saveDialog);
             saveDialog->repaint();
         }},
        {"naive step: encode, full reload, smooth rescale",
         [&] {
             saveJpeg(picture, picture.width(), picture.height(), naivePath, 51, JpegTarget::Chosen);
             const QImage reloaded = LoadPicture(naivePath);
             const QImage small = reloaded.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
             if (small.isNull())
                 std::abort();
         }},
        {"saveJpeg alone (to a file)",
         [&] { saveJpeg(picture, picture.width(), picture.height(), naivePath, 51, JpegTarget::Chosen); }},
        {"preview reload alone (scaled decode)",
         [&] {
             if (LoadPicture(naivePath, decodedSize).isNull())
                 std::abort();
         }},
    };
    // Interleaved, so a slow spell of the machine touches every measure alike;
    // the first round only warms caches.
    for (int run = 0; run < runs + 1; ++run) {
        for (Measure& measure : measures) {
            const auto start = std::chrono::steady_clock::now();
            measure.run();
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            if (run > 0)
                measure.milliseconds.push_back(took.count());
        }
    }

    std::printf("\n%d runs, median times:\n", runs);
    for (const Measure& measure : measures)
        std::printf("  %-50s %8.1f ms\n", measure.name, measure.median());
    const double bare = measures[0].median();
    std::printf("\npreview decoded at %d x %d for a preview shown at %d x %d (base size)\n",
                saveDialog->preview->picture().width(), saveDialog->preview->picture().height(), shown.width(), shown.height());
    std::printf("preview file %lld bytes\n", static_cast<long long>(QFileInfo(SaveDialog::previewPath()).size()));
    std::printf("slider step / bare encoding: %.3f (limit 1.7)\n", measures[1].median() / bare);
    std::printf("naive step / bare encoding:  %.3f\n", measures[2].median() / bare);
    std::printf("saveJpeg / bare encoding: %.3f\n", measures[3].median() / bare);
    std::printf("scaled reload / bare encoding: %.3f\n", measures[4].median() / bare);

    // The held key, each run against a bare encoding at the last value.
    constexpr int from = 50, steps = 20, gap = 30;
    std::vector<double> ratios, tailRatios, bursts, tails, bares, waits;
    for (int run = 0; run < runs; ++run) {
        LatencyProbe probe(saveDialog);
        const BurstTimes times = burst(*saveDialog, from, steps, gap);
        bursts.push_back(times.fromFirstPress);
        tails.push_back(times.fromLastPress);
        const std::vector<double> runWaits = probe.finish();
        waits.insert(waits.end(), runWaits.begin(), runWaits.end());
        const Clock::time_point start = Clock::now();
        bareToMemory(picture, true, from + steps);
        bares.push_back(millisecondsSince(start));
        ratios.push_back(bursts.back() / bares.back());
        tailRatios.push_back(tails.back() / bares.back());
    }
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    std::printf("\nheld key, %d steps %d ms apart from %d (%d runs, medians):\n", steps, gap, from, runs);
    std::printf("  first step to last preview shown %8.1f ms\n", median(bursts));
    std::printf("  last step to last preview shown  %8.1f ms\n", median(tails));
    std::printf("  bare encoding at %d              %8.1f ms\n", from + steps, median(bares));
    // The presses alone span (steps - 1) * gap ms, which bounds the first figure from below.
    std::printf("held key / bare encoding: %.3f (target 2.5; the presses alone are %.3f)\n", median(ratios),
                (steps - 1) * gap / median(bares));
    std::printf("after the last press / bare encoding: %.3f (target 1.6)\n", median(tailRatios));
    std::sort(waits.begin(), waits.end());
    std::printf("posted event wait during the held key: median %.2f ms, 99th percentile %.2f ms, max %.2f ms "
                "(%zu events; target 30)\n",
                waits[waits.size() / 2], waits[waits.size() * 99 / 100], waits.back(), waits.size());
    return 0;
}
