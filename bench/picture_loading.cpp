// Click-to-display cost of a 20-megapixel photo: bare libjpeg-turbo decoding
// against LoadPicture plus the stretch to the fitted view; what a person
// browsing a folder of such photos waits (a pause on each photo before the
// next, and 15 photos stepped through without pausing) against libjpeg-turbo
// decoding them at full size, in one run; and the peak resident memory of the
// program showing one such photo.
//
// Usage: picture_loading [runs]          (default 9 runs, medians printed)
//        picture_loading --hold FILE     (internal: the memory probe)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QWidget>

#include <jpeglib.h>

#include "runtime/forms.h"
#include "forms/image/image_window.h"
#include "forms/main/main_window.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "controls/dir_list_box.h"
#include "controls/file_list_box.h"
#include "controls/image_control.h"
#include "decoder/picture_loader.h"
#include "decoder/picture_source.h"
#include "decoder/read_ahead.h"

extern char** environ;

namespace {

constexpr int photoWidth = 5472; // 5472 x 3648: a 20-megapixel 3:2 camera frame
constexpr int photoHeight = 3648;
const QSize fittedView(200, 133); // what ImageWindow::fitToBox gives such a photo in the 3000-twip box

// Smooth light, textured surfaces and sensor noise, so the entropy-coded
// data is as dense as a real photo's.
std::vector<unsigned char> photoPixels()
{
    std::uint32_t seed = 12345;
    const auto random = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 24;
    };
    constexpr int tile = 1024;
    std::vector<int> texture(tile * tile);
    for (int& value : texture)
        value = int(random());
    for (int pass = 0; pass < 2; ++pass) // blur to get grain of a few pixels
        for (int y = 0; y < tile; ++y)
            for (int x = 0; x < tile; ++x)
                texture[y * tile + x] = (texture[y * tile + x] * 2 + texture[y * tile + (x + 1) % tile]
                                         + texture[((y + 1) % tile) * tile + x])
                                        / 4;
    std::vector<float> light(std::size_t(photoWidth) * 3), shade(std::size_t(photoHeight) * 3);
    for (int x = 0; x < photoWidth; ++x)
        for (int c = 0; c < 3; ++c)
            light[x * 3 + c] = 90 + 60 * std::sin(x * 0.0009f + c) + 20 * std::sin(x * 0.013f * (c + 1));
    for (int y = 0; y < photoHeight; ++y)
        for (int c = 0; c < 3; ++c)
            shade[y * 3 + c] = 40 * std::cos(y * 0.0012f + 2 * c) + 15 * std::sin(y * 0.021f);
    std::vector<unsigned char> pixels(std::size_t(photoWidth) * photoHeight * 3);
    unsigned char* out = pixels.data();
    for (int y = 0; y < photoHeight; ++y) {
        const int* row = &texture[(y % tile) * tile];
        for (int x = 0; x < photoWidth; ++x) {
            // Texture strength changes across the frame, like sky against foliage.
            const float strength = 0.2f + 0.8f * float((x / 700 + y / 500) % 4) / 3;
            const float grain = (row[(x * 3 / 2) % tile] - 128) * strength;
            const int noise = int(random() % 13) - 6;
            for (int c = 0; c < 3; ++c)
                *out++ = (unsigned char)std::clamp(int(light[x * 3 + c] + shade[y * 3 + c] + grain + noise), 0, 255);
        }
    }
    return pixels;
}

void writeBaselineJpeg(const QString& path, const std::vector<unsigned char>& pixels, int quality)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = photoWidth;
    cinfo.image_height = photoHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(&pixels[std::size_t(cinfo.next_scanline) * photoWidth * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
}

// libjpeg-turbo alone: the file decoded to RGB pixels in a fresh buffer.
std::size_t bareDecode(const QString& path, J_COLOR_SPACE space, int bytesPerPixel)
{
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
    jpeg_decompress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = space;
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = std::size_t(cinfo.output_width) * bytesPerPixel;
    auto* pixels = static_cast<unsigned char*>(std::malloc(stride * cinfo.output_height));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        for (int i = 0; i < 16; ++i)
            rows[i] = pixels + std::size_t(std::min(cinfo.output_scanline + i, cinfo.output_height - 1)) * stride;
        jpeg_read_scanlines(&cinfo, rows, 16);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    const std::size_t checksum = pixels[stride * cinfo.output_height / 2];
    std::free(pixels);
    return checksum;
}

// The same photo as a camera held upright writes it: EXIF orientation 6.
void writeTurnedCopy(const QString& from, const QString& to)
{
    QFile in(from), out(to);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    const QByteArray stream = in.readAll();
    const QByteArray tiff("MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0", 26);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    out.write(stream.left(2) + "\xFF\xE1" + char(length >> 8) + char(length & 255) + payload + stream.mid(2));
}

double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The high-water mark of this process's own memory. Unlike getrusage's
// ru_maxrss it starts afresh at exec, so a spawned probe does not inherit the
// benchmark's peak.
long peakRssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').front().toLong();
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void settle(MainWindow& mainWindow)
{
    while (mainWindow.readAhead().busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void selectAndDraw(MainWindow& mainWindow, ImageWindow& imageWindow, int index)
{
    mainWindow.fileList->setListIndex(index);
    (void)imageWindow.pictureView->grab();
}

MainWindow& browse(const QString& folder, const QString& programFolder)
{
    services().programFolder = programFolder;
    services().lockFolder = programFolder;
    MainWindow& mainWindow = forms::load<MainWindow>();
    mainWindow.show();
    mainWindow.folderList->setPath(folder);
    return mainWindow;
}

// The memory probe runs in a fresh process so that nothing of the benchmark
// (the generated pixels, earlier pictures) counts: the main window shows the
// only photo of a folder, as after a click, and the peak is read while it is
// held and any read-ahead is done.
int holdPicture(int argc, char** argv, const char* path)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir programFolder;
    MainWindow& mainWindow = browse(QFileInfo(QString::fromLocal8Bit(path)).path(), programFolder.path());
    ImageWindow& imageWindow = forms::load<ImageWindow>();
    (void)mainWindow.grab();
    const long before = peakRssKiB();
    selectAndDraw(mainWindow, imageWindow, 0);
    settle(mainWindow);
    const long peak = peakRssKiB();
    const QImage& held = imageWindow.picture.picture();
    std::printf("memory: picture held %dx%d for a natural %dx%d; peak RSS before the click %.1f MiB, "
                "while shown %.1f MiB (target <= 60) -> %s\n",
                held.width(), held.height(), imageWindow.picture.naturalWidth(), imageWindow.picture.naturalHeight(),
                before / 1024.0, peak / 1024.0, peak / 1024.0 <= 60 ? "within" : "OVER");
    return held.isNull() ? 1 : 0;
}

// Browsing a folder of photos in the main window, each step up to the fitted
// picture drawn. Dwell: a photo shown, read-ahead done, then the next one.
// Burst: 15 photos stepped through, the event loop running between steps as
// between key repeats, until the last one is drawn.
struct Browsing {
    std::vector<double> dwell;
    double burst = 0;
};

Browsing browsePhotos(const QString& folder, int photos, int runs)
{
    QTemporaryDir programFolder;
    MainWindow& mainWindow = browse(folder, programFolder.path());
    ImageWindow& imageWindow = forms::load<ImageWindow>();
    Browsing result;
    selectAndDraw(mainWindow, imageWindow, 0);
    for (int run = 0; run < runs; ++run) {
        settle(mainWindow);
        result.dwell.push_back(seconds([&] { selectAndDraw(mainWindow, imageWindow, (run + 1) % photos); }));
    }
    mainWindow.folderList->setPath(QDir::rootPath()); // away and back: nothing read ahead
    mainWindow.folderList->setPath(folder);
    settle(mainWindow);
    result.burst = seconds([&] {
        for (int index = 0; index < 15; ++index) {
            selectAndDraw(mainWindow, imageWindow, index);
            QCoreApplication::processEvents();
        }
    });
    settle(mainWindow);
    forms::unload<MainWindow>();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--hold") == 0)
        return holdPicture(argc, argv, argv[2]);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("photo.jpg"));
    writeBaselineJpeg(path, photoPixels(), 90);
    std::printf("photo: %dx%d baseline JPEG, quality 90, %.2f MB\n", photoWidth, photoHeight,
                QFileInfo(path).size() / 1e6);

    const QString turnedPath = folder.filePath(QStringLiteral("turned.jpg"));
    writeTurnedCopy(path, turnedPath);
    // Fifteen photos of their own (copies: other files, the same work), alone in a folder.
    QTemporaryDir photoFolder;
    for (int index = 1; index <= 15; ++index)
        QFile::copy(path, photoFolder.filePath(QStringLiteral("photo%1.jpg").arg(index, 2, 10, QLatin1Char('0'))));

    std::vector<double> reduced, bare, bareBgrx, load, loadAndStretch, stretchOnly, qtReader, turned;
    std::size_t sink = 0;
    bareDecode(path, JCS_RGB, 3); // warm the page cache and the libraries
    for (int run = 0; run < runs; ++run) {
        bare.push_back(seconds([&] { sink += bareDecode(path, JCS_RGB, 3); }));
        bareBgrx.push_back(seconds([&] { sink += bareDecode(path, JCS_EXT_BGRX, 4); }));
        reduced.push_back(seconds([&] { sink += readForView(path, QSize(667, 667)).picture.width(); }));
        QImage picture;
        load.push_back(seconds([&] { picture = LoadPicture(path); }));
        stretchOnly.push_back(seconds([&] { sink += stretchPicture(picture, fittedView).width(); }));
        picture = QImage();
        loadAndStretch.push_back(seconds([&] {
            const QImage loaded = LoadPicture(path);
            sink += stretchPicture(loaded, fittedView).width();
        }));
        qtReader.push_back(seconds([&] { sink += QImageReader(path).read().width(); }));
        turned.push_back(seconds([&] {
            const QImage loaded = LoadPicture(turnedPath);
            sink += stretchPicture(loaded, fittedView.transposed()).width();
        }));
    }
    const Browsing browsing = browsePhotos(photoFolder.path(), 15, runs);
    const double baseline = median(bare);
    std::printf("median of %d runs (ms):\n", runs);
    std::printf("  libjpeg-turbo alone, to RGB            %8.1f\n", baseline * 1e3);
    std::printf("  libjpeg-turbo alone, to BGRX           %8.1f\n", median(bareBgrx) * 1e3);
    std::printf("  read and decode for the enlarged box     %8.1f\n", median(reduced) * 1e3);
    std::printf("  QImageReader (Qt's JPEG plugin)        %8.1f\n", median(qtReader) * 1e3);
    std::printf("  LoadPicture                            %8.1f\n", median(load) * 1e3);
    std::printf("  stretch to %dx%d                      %8.1f\n", fittedView.width(), fittedView.height(),
                median(stretchOnly) * 1e3);
    std::printf("  LoadPicture + stretch (click to view)  %8.1f\n", median(loadAndStretch) * 1e3);
    std::printf("  the same with EXIF orientation 6       %8.1f\n", median(turned) * 1e3);
    std::printf("  dwell: next photo after read-ahead, to the fitted picture drawn %7.2f\n",
                median(browsing.dwell) * 1e3);
    std::printf("  burst: 15 photos without pausing, the last one drawn %7.1f (libjpeg alone for 15: %.1f)\n",
                browsing.burst * 1e3, 15 * baseline * 1e3);
    std::printf("ratio click-to-view / libjpeg alone: %.3f (target <= 1.3); turned photo: %.3f\n",
                median(loadAndStretch) / baseline, median(turned) / baseline);
    std::printf("ratio dwell / libjpeg alone: %.3f (target <= 0.1); burst / libjpeg alone x 15: %.3f (target <= 0.6)\n",
                median(browsing.dwell) / baseline, browsing.burst / (15 * baseline));
    std::fflush(stdout);

    // The memory probes, each in a process of its own.
    bool probesRan = true;
    for (const QString& probed : {path, turnedPath}) {
        // Alone in a folder, so nothing else is read ahead.
        QTemporaryDir alone;
        const QString copy = alone.filePath(QFileInfo(probed).fileName());
        QFile::copy(probed, copy);
        const QByteArray file = QFile::encodeName(copy);
        char* childArgs[] = {argv[0], const_cast<char*>("--hold"), const_cast<char*>(file.constData()), nullptr};
        pid_t child = 0;
        int status = 0;
        std::printf("%s: ", qPrintable(QFileInfo(probed).fileName()));
        std::fflush(stdout);
        probesRan = probesRan && posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, childArgs, environ) == 0
                    && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return (sink == 0 || !probesRan) ? 1 : 0;
}
