// Moving the folder list into a folder of 10,000 files, and switching between
// the five filters there, through the real main window on the offscreen platform.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "ui/forms.h"
#include "main_window/main_window.h"
#include "main_window/start_main_window.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "controls/dir_list_box.h"
#include "controls/file_list_box.h"

namespace {

template <class F>
double medianMs(F&& run, int rounds = 9)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run(i);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home, big;
    services().programFolder = home.path();
    services().lockFolder = home.path();

    const char* extensions[] = {".jpg", ".JPG", ".jpeg", ".bmp", ".gif", ".kir", ".png", ".txt"};
    for (int i = 0; i < 10000; ++i) {
        QFile file(big.path() + QStringLiteral("/file%1").arg(i, 5, 10, QLatin1Char('0'))
                   + QLatin1String(extensions[i % 8]));
        file.open(QIODevice::WriteOnly);
    }

    MainWindow& form = startMainWindow();
    form.show();
    QApplication::processEvents();

    const double enter = medianMs([&](int) {
        form.folderList->setPath(big.path());
        QApplication::processEvents();
        form.folderList->setPath(home.path());
    });
    form.folderList->setPath(big.path());
    std::printf("folder change into 10,000 files and back out: %.1f ms, %d listed\n", enter,
                form.fileList->listCount());

    const char* names[] = {"BMP", "JPG", "GIF", "ALL", "KIR"};
    for (int index : {0, 1, 2, 4, 3}) {
        const double filter = medianMs([&](int) {
            form.filterFiles(index == 3 ? 0 : 3); // from another filter each time
            form.filterFiles(index);
            QApplication::processEvents();
        });
        std::printf("filter %s (two switches): %.1f ms, %d listed\n", names[index], filter, form.fileList->listCount());
    }
    return 0;
}
