// Cost of one step of the save dialog's quality slider on a 20-megapixel
// picture (encode, write, reload, show the size and the preview) against the
// bare libjpeg-turbo encoding of the same pixels (quality 50, 4:2:0,
// optimized Huffman tables, to memory), measured in the same run on a real
// dialog. A naive step (the same encoding, a full-size reload and one smooth
// rescale) is measured alongside for comparison.
//
// Usage: live_preview [runs]            (default 7 runs, medians printed)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>

#include <jpeglib.h>

#include "bench_support.h"
#include "runtime/forms.h"
#include "forms/viewing_state.h"
#include "encoder/save_jpeg.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "forms/save/save_dialog.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "decoder/picture_loader.h"

namespace {

using namespace bench;

struct Measure {
    const char* name;
    std::function<void()> run;
    std::vector<double> milliseconds{};

    double median() const
    {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

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
    ImageWindow& imageWindow = forms::get<ImageWindow>();
    imageWindow.setWidth(Twips(3000));
    imageWindow.setHeight(Twips(3000));
    imageWindow.showPicture(picture);
    imageWindow.fitToBox();
    forms::get<MainWindow>().openSaveDialog();
    SaveDialog* saveDialog = forms::loaded<SaveDialog>();
    if (!saveDialog) {
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
             saveDialog->repaint();
         }},
        {"naive step: encode, full reload, smooth rescale",
         [&] {
             saveJpeg(picture, picture.width(), picture.height(), naivePath, 51, 0);
             const QImage reloaded = LoadPicture(naivePath);
             const QImage small = reloaded.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
             if (small.isNull())
                 std::abort();
         }},
        {"saveJpeg alone (to a file)",
         [&] { saveJpeg(picture, picture.width(), picture.height(), naivePath, 51, 0); }},
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
    return 0;
}
