// Click-to-display cost of a 20-megapixel photo: bare libjpeg-turbo decoding
// against LoadPicture plus the stretch to the fitted view. What a person
// browsing a folder of photos waits, with the Down key in the real window:
// looking 1.5 s at each photo before the next (8 steps), and 15 steps with the
// key held; over 16 progressive and 16 baseline photos (1.3 to 17.9
// megapixels, quality 95 to 100), each above its floor (the same steps over
// the photos at a fifth of their size) and against libjpeg-turbo decoding the
// photos stepped onto at full size, in one run. And the peak resident memory
// of the program showing the 17.9-megapixel photo, progressive and baseline.
//
// Usage: picture_loading [runs]                (default 9 runs, medians printed)
//        picture_loading --hold FILE TARGET    (internal: the memory probe, target in MiB)

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
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <jpeglib.h>

#include "ui/forms.h"
#include "image_window/image_window.h"
#include "main_window/main_window.h"
#include "main_window/start_main_window.h"
#include "runtime/app.h"
#include "runtime/services.h"
#include "controls/dir_list_box.h"
#include "controls/file_list_box.h"
#include "controls/image_control.h"
#include "decoder/picture_loader.h"
#include "decoder/picture_source.h"
#include "viewing/picture_model.h"
#include "viewing/read_ahead.h"
#include "photo_corpus.h"

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

// The picture asked for is shown and nothing is read ahead any more.
void settle(MainWindow& mainWindow)
{
    while (mainWindow.model().busy() || mainWindow.model().readAhead().busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Until the picture asked for is on screen, drawn.
void awaitPicture(MainWindow& mainWindow, ImageWindow& imageWindow)
{
    while (mainWindow.model().busy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    (void)imageWindow.pictureView->grab();
}

void selectAndDraw(MainWindow& mainWindow, ImageWindow& imageWindow, int index)
{
    mainWindow.fileList->setListIndex(index);
    awaitPicture(mainWindow, imageWindow);
}

void pressDown(MainWindow& mainWindow)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(mainWindow.fileList, &press);
    QApplication::sendEvent(mainWindow.fileList, &release);
}

// The person looks at the picture: the event loop runs, the read-ahead works.
void look(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

MainWindow& browse(const QString& folder, const QString& programFolder)
{
    services().programFolder = programFolder;
    services().lockFolder = programFolder;
    MainWindow& mainWindow = startMainWindow();
    mainWindow.show();
    mainWindow.folderList->setPath(folder);
    return mainWindow;
}

// The memory probe runs in a fresh process so that nothing of the benchmark
// (the generated pixels, earlier pictures) counts: the main window shows the
// only photo of a folder, as after a click, and the peak is read while it is
// held and any read-ahead is done.
int holdPicture(int argc, char** argv, const char* path, double targetMiB)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir programFolder;
    MainWindow& mainWindow = browse(QFileInfo(QString::fromLocal8Bit(path)).path(), programFolder.path());
    ImageWindow& imageWindow = mainWindow.imageWindow();
    (void)mainWindow.grab();
    const long before = peakRssKiB();
    selectAndDraw(mainWindow, imageWindow, 0);
    settle(mainWindow);
    const long peak = peakRssKiB();
    const QImage& held = imageWindow.picture.picture();
    std::printf("memory: picture held %dx%d for a natural %dx%d; peak RSS before the click %.1f MiB, "
                "while shown %.1f MiB (target <= %.0f) -> %s\n",
                held.width(), held.height(), imageWindow.picture.naturalWidth(), imageWindow.picture.naturalHeight(),
                before / 1024.0, peak / 1024.0, targetMiB, peak / 1024.0 <= targetMiB ? "within" : "OVER");
    return held.isNull() ? 1 : 0;
}

// A person browsing a folder with the Down key, from its first photo shown:
// looking 1.5 s at each photo, then Down, 8 times (the time from each key to
// the next picture drawn, summed); then back at the first photo, 15 Downs at
// once as a held key sends them, to the last picture drawn.
struct Browsing {
    double dwell = 0;
    double burst = 0;
};

Browsing browseWithKeys(const QString& folder)
{
    QTemporaryDir programFolder;
    MainWindow& mainWindow = browse(folder, programFolder.path());
    ImageWindow& imageWindow = mainWindow.imageWindow();
    Browsing result;
    selectAndDraw(mainWindow, imageWindow, 0);
    for (int step = 0; step < 8; ++step) {
        look(1500);
        result.dwell += seconds([&] {
            pressDown(mainWindow);
            awaitPicture(mainWindow, imageWindow);
        });
    }
    selectAndDraw(mainWindow, imageWindow, 0);
    look(1500);
    result.burst = seconds([&] {
        for (int step = 0; step < 15; ++step) {
            pressDown(mainWindow);
            QCoreApplication::processEvents(); // as between key repeats
        }
        awaitPicture(mainWindow, imageWindow);
    });
    settle(mainWindow);
    forms::unload(&mainWindow);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return result;
}

// libjpeg-turbo decoding photos[first, first + count) at full size, one after the other.
double bareDecodeTime(const QStringList& photos, int first, int count, std::size_t& sink)
{
    return seconds([&] {
        for (int index = first; index < first + count; ++index)
            sink += bareDecode(photos[index], JCS_RGB, 3);
    });
}

// One corpus against its floor and bare decoding; prints the figures and the ratios.
void reportBrowsing(const char* kind, const QStringList& photos, const QString& folder, const QString& floorFolder,
                    std::size_t& sink)
{
    const Browsing full = browseWithKeys(folder);
    const Browsing floor = browseWithKeys(floorFolder);
    bareDecodeTime(photos, 0, 16, sink); // the files in the page cache, as the browsing had them
    const double dwellBare = bareDecodeTime(photos, 1, 8, sink);
    const double burstBare = bareDecodeTime(photos, 1, 15, sink);
    std::printf("%s photos, ms: dwell 8 steps %.1f (floor %.1f), burst 15 steps %.1f (floor %.1f); "
                "libjpeg-turbo at full size: the 8 %.1f, the 15 %.1f\n",
                kind, full.dwell * 1e3, floor.dwell * 1e3, full.burst * 1e3, floor.burst * 1e3, dwellBare * 1e3,
                burstBare * 1e3);
    std::printf("  ratio above the floor / libjpeg-turbo: dwell %.3f (target <= 0.1), burst %.3f (target <= 0.3)\n",
                (full.dwell - floor.dwell) / dwellBare, (full.burst - floor.burst) / burstBare);
    std::fflush(stdout);
}

// The probe for one photo, alone in a folder so nothing else is read ahead.
bool probeMemory(char* self, const QString& photo, const char* name, double targetMiB)
{
    QTemporaryDir alone;
    const QString copy = alone.filePath(QFileInfo(photo).fileName());
    QFile::copy(photo, copy);
    const QByteArray file = QFile::encodeName(copy);
    QByteArray target = QByteArray::number(targetMiB);
    char* childArgs[] = {self, const_cast<char*>("--hold"), const_cast<char*>(file.constData()), target.data(), nullptr};
    pid_t child = 0;
    int status = 0;
    std::printf("%s: ", name);
    std::fflush(stdout);
    return posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, childArgs, environ) == 0
           && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

// The offscreen platform says once a window that it cannot pass size hints on; over
// hundreds of steps that would bury the figures.
void quietOffscreenPlatform()
{
    static const QtMessageHandler standard = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.startsWith(QLatin1String("This plugin does not support")))
            standard(type, context, message);
    });
}

int main(int argc, char** argv)
{
    quietOffscreenPlatform();
    if (argc == 4 && std::strcmp(argv[1], "--hold") == 0)
        return holdPicture(argc, argv, argv[2], std::atof(argv[3]));
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
    std::printf("ratio click-to-view / libjpeg alone: %.3f (target <= 1.3); turned photo: %.3f\n",
                median(loadAndStretch) / baseline, median(turned) / baseline);
    std::fflush(stdout);


    // Browsing, progressive and baseline, each with its floor.
    const QImage source = bench::photo();
    QTemporaryDir progressive, progressiveFloor, baselineFolder, baselineFloor;
    const QStringList progressivePhotos = bench::writeCorpus(progressive.path(), source, true, false);
    bench::writeCorpus(progressiveFloor.path(), source, true, true);
    const QStringList baselinePhotos = bench::writeCorpus(baselineFolder.path(), source, false, false);
    bench::writeCorpus(baselineFloor.path(), source, false, true);
    reportBrowsing("progressive", progressivePhotos, progressive.path(), progressiveFloor.path(), sink);
    reportBrowsing("baseline", baselinePhotos, baselineFolder.path(), baselineFloor.path(), sink);

    // The memory probes, each in a process of its own.
    const bool probesRan = probeMemory(argv[0], path, "20 MP baseline photo", 60)
                           && probeMemory(argv[0], turnedPath, "the same turned", 60)
                           && probeMemory(argv[0], progressivePhotos.back(), "17.9 MP progressive photo", 100)
                           && probeMemory(argv[0], baselinePhotos.back(), "17.9 MP baseline photo", 60);
    return (sink == 0 || !probesRan) ? 1 : 0;
}
