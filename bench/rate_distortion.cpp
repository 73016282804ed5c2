// Rate-distortion of the program's encoder against libjpeg-turbo's own
// (`cjpeg -optimize`: standard tables, 4:2:0, optimized Huffman tables) on
// real photos, in one run: both curves from quality 20 to 98, then the size
// ratio at equal luma SSIM (11x11 Gaussian window, sigma 1.5) and at equal
// butteraugli, each a geometric mean over the photos; then the time of a
// slider step (quantize and code a prepared picture) and of a final save
// (prepare, quantize, code) against one bare libjpeg-turbo encoding.
//
// The photos are Debian's mate-backgrounds (apt-get install mate-backgrounds),
// halved first so that their own JPEG blocks do not line up with ours, then
// cut to at most 1152 x 864 around their centre. Butteraugli is Debian's
// `butteraugli` (apt-get install butteraugli); without it that column is skipped.
//
// Usage: rate_distortion [options] [photo folder]   (default /usr/share/backgrounds/mate)
//   --standard-tables   --no-trellis   --lambda X   --halved | --full   --no-butteraugli   --no-times | --times-only
//   --svg FILE   (the mean curves drawn, as in doc/rate_distortion.svg)
// The options try one part of the encoder at a time.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <memory>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include <QBuffer>
#include <QDirIterator>
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QTemporaryDir>

#include "bench_support.h"
#include "encoder/jpeg_compressor.h"
#include "encoder/prepared_picture.h"
#include "encoder/scanline_source.h"

namespace {

const int qualities[] = {20, 30, 40, 50, 60, 70, 80, 85, 90, 95, 98};

struct Point {
    double bytes = 0;
    double ssim = 0;
    double butteraugli = -1; // none measured
};

using Curve = std::vector<Point>;

std::vector<float> lumaOf(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<float> luma(std::size_t(rgb.width()) * std::size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            luma[std::size_t(y) * std::size_t(rgb.width()) + std::size_t(x)]
                = float(0.299 * qRed(line[x]) + 0.587 * qGreen(line[x]) + 0.114 * qBlue(line[x]));
    }
    return luma;
}

// Separable 11x11 Gaussian (sigma 1.5) over the valid area.
std::vector<float> blurred(const std::vector<float>& plane, int width, int height)
{
    float kernel[11];
    float sum = 0;
    for (int i = 0; i < 11; ++i)
        sum += kernel[i] = float(std::exp(-((i - 5) * (i - 5)) / (2 * 1.5 * 1.5)));
    for (float& k : kernel)
        k /= sum;
    const int w = width - 10, h = height - 10;
    std::vector<float> across(std::size_t(w) * std::size_t(height)), out(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < w; ++x) {
            float s = 0;
            for (int i = 0; i < 11; ++i)
                s += kernel[i] * plane[std::size_t(y) * std::size_t(width) + std::size_t(x + i)];
            across[std::size_t(y) * std::size_t(w) + std::size_t(x)] = s;
        }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float s = 0;
            for (int i = 0; i < 11; ++i)
                s += kernel[i] * across[std::size_t(y + i) * std::size_t(w) + std::size_t(x)];
            out[std::size_t(y) * std::size_t(w) + std::size_t(x)] = s;
        }
    return out;
}

double ssim(const std::vector<float>& a, const std::vector<float>& b, int width, int height)
{
    std::vector<float> aa(a.size()), bb(a.size()), ab(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        aa[i] = a[i] * a[i];
        bb[i] = b[i] * b[i];
        ab[i] = a[i] * b[i];
    }
    const auto ma = blurred(a, width, height), mb = blurred(b, width, height), saa = blurred(aa, width, height),
               sbb = blurred(bb, width, height), sab = blurred(ab, width, height);
    constexpr double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    for (std::size_t i = 0; i < ma.size(); ++i) {
        const double mx = ma[i], my = mb[i];
        const double vx = saa[i] - mx * mx, vy = sbb[i] - my * my, cxy = sab[i] - mx * my;
        total += ((2 * mx * my + c1) * (2 * cxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2));
    }
    return total / double(ma.size());
}

QString butteraugliProgram() { return QStandardPaths::findExecutable("butteraugli"); }

// Butteraugli of each compressed version against the original, as many runs at a time as there are cores.
std::vector<double> butteraugliOf(const QString& original, const std::vector<QByteArray>& jpegs, const QString& folder)
{
    std::vector<double> scores(jpegs.size(), -1);
    const std::size_t parallel = std::size_t(std::max(1, QThread::idealThreadCount()));
    std::deque<std::pair<std::size_t, std::unique_ptr<QProcess>>> running;
    const auto finishOldest = [&] {
        QProcess& process = *running.front().second;
        process.waitForFinished(-1);
        bool ok = false;
        const double score = process.readAllStandardOutput().trimmed().toDouble(&ok);
        scores[running.front().first] = ok ? score : -1;
        running.pop_front();
    };
    for (std::size_t i = 0; i < jpegs.size(); ++i) {
        const QString path = folder + QStringLiteral("/compressed-%1.jpg").arg(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(jpegs[i]) != jpegs[i].size())
            continue;
        file.close();
        if (running.size() == parallel)
            finishOldest();
        running.emplace_back(i, std::make_unique<QProcess>());
        running.back().second->start(butteraugliProgram(), {original, path});
    }
    while (!running.empty())
        finishOldest();
    return scores;
}

JpegEncoding tried; // the program's own choice unless the command line asks for a part alone

QByteArray programEncoded(const QImage& picture, int quality)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (compressJpeg(ScanlineSource(picture), quality, buffer, {}, nullptr, HuffmanTables::Optimized, tried)
        != CompressResult::Done)
        std::abort();
    return buffer.data();
}

// The bytes the curve has at `metric`, interpolated in log bytes; empty outside it.
std::optional<double> logBytesAt(const Curve& curve, double metric, double Point::*of)
{
    Curve sorted = curve;
    std::sort(sorted.begin(), sorted.end(), [&](const Point& a, const Point& b) { return a.*of < b.*of; });
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const double m0 = sorted[i - 1].*of, m1 = sorted[i].*of;
        if (metric >= m0 && metric <= m1 && m1 > m0) {
            const double t = (metric - m0) / (m1 - m0);
            return std::log(sorted[i - 1].bytes) + t * (std::log(sorted[i].bytes) - std::log(sorted[i - 1].bytes));
        }
    }
    return std::nullopt;
}

// The mean log ratio of `ours` to `theirs` at the metrics of their points both curves reach.
std::optional<double> logRatio(const Curve& ours, const Curve& theirs, double Point::*of)
{
    double sum = 0;
    int count = 0;
    for (const Point& p : theirs) {
        const std::optional<double> at = logBytesAt(ours, p.*of, of);
        if (!at)
            continue;
        sum += *at - std::log(p.bytes);
        ++count;
    }
    if (count == 0)
        return std::nullopt;
    return sum / count;
}

QImage photoCut(const QString& path)
{
    const QImage full(path);
    if (full.isNull())
        return {};
    const QImage halved = full.scaled(full.width() / 2, full.height() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB32);
    const int width = std::min(1152, halved.width()), height = std::min(864, halved.height());
    return halved.copy((halved.width() - width) / 2, (halved.height() - height) / 2, width, height);
}

double medianMilliseconds(const std::function<void()>& run, int runs = 5)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

// The mean curves as two plots side by side (SSIM and butteraugli against bits per pixel).
void writeSvg(const QString& path, const std::map<int, Point>& ours, const std::map<int, Point>& theirs, double photos,
              bool withButteraugli)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const double width = 360, height = 260, margin = 50;
    QString svg = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='%1' height='%2' font-family='sans-serif' "
                                 "font-size='11'>\n<rect width='100%' height='100%' fill='white'/>\n")
                      .arg(2 * (width + margin) + margin)
                      .arg(height + 2 * margin);
    const auto panel = [&](int index, const QString& title, double Point::*of, double low, double high) {
        const double left = margin + index * (width + margin), top = margin;
        double maxBpp = 0;
        for (const auto* curve : {&ours, &theirs})
            for (const auto& [quality, point] : *curve)
                maxBpp = std::max(maxBpp, point.bytes / photos);
        const auto x = [&](double bpp) { return left + bpp / maxBpp * width; };
        const auto y = [&](double value) { return top + height - (value - low) / (high - low) * height; };
        svg += QStringLiteral("<rect x='%1' y='%2' width='%3' height='%4' fill='none' stroke='#888'/>\n")
                   .arg(left).arg(top).arg(width).arg(height);
        svg += QStringLiteral("<text x='%1' y='%2'>%3 against bits per pixel (0 to %4)</text>\n")
                   .arg(left).arg(top - 8).arg(title).arg(maxBpp, 0, 'f', 2);
        svg += QStringLiteral("<text x='%1' y='%2' text-anchor='end'>%3</text>"
                              "<text x='%1' y='%4' text-anchor='end'>%5</text>\n")
                   .arg(left - 6).arg(top + 10).arg(high).arg(top + height).arg(low);
        for (const bool program : {true, false}) {
            QString points;
            for (const auto& [quality, point] : program ? ours : theirs)
                points += QStringLiteral("%1,%2 ").arg(x(point.bytes / photos), 0, 'f', 1)
                              .arg(y(std::clamp(point.*of / photos, low, high)), 0, 'f', 1);
            svg += QStringLiteral("<polyline fill='none' stroke='%1' stroke-width='2' points='%2'/>\n")
                       .arg(program ? "#c03" : "#36c", points);
        }
        svg += QStringLiteral("<text x='%1' y='%2' fill='#c03'>this program</text>"
                              "<text x='%1' y='%3' fill='#36c'>libjpeg-turbo -optimize</text>\n")
                   .arg(left + width - 140).arg(top + (of == &Point::ssim ? height - 30 : 20))
                   .arg(top + (of == &Point::ssim ? height - 15 : 35));
    };
    panel(0, QStringLiteral("luma SSIM"), &Point::ssim, 0.91, 1.0);
    if (withButteraugli)
        panel(1, QStringLiteral("butteraugli"), &Point::butteraugli, 0.0, 8.0);
    svg += QStringLiteral("</svg>\n");
    file.write(svg.toUtf8());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString folder = "/usr/share/backgrounds/mate";
    bool butteraugliWanted = true, timesWanted = true, curvesWanted = true;
    QString svgPath;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == "--standard-tables")
            tried.tables = QuantTables::Standard;
        else if (arg == "--no-trellis")
            tried.trellis = false;
        else if (arg == "--lambda" && i + 1 < argc)
            tried.lambda = QString::fromLocal8Bit(argv[++i]).toDouble();
        else if (arg == "--halved")
            tried.sampling = ChromaSampling::Halved;
        else if (arg == "--full")
            tried.sampling = ChromaSampling::Full;
        else if (arg == "--no-butteraugli")
            butteraugliWanted = false;
        else if (arg == "--no-times")
            timesWanted = false;
        else if (arg == "--times-only")
            curvesWanted = false;
        else if (arg == "--svg" && i + 1 < argc)
            svgPath = QString::fromLocal8Bit(argv[++i]);
        else
            folder = arg;
    }
    QStringList paths;
    for (QDirIterator it(folder, {"*.jpg"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        // One size of each picture.
        if (!path.contains(QRegularExpression("_\\d+x\\d+\\.jpg$")))
            paths << path;
    }
    paths.sort();
    if (paths.isEmpty()) {
        std::printf("no photos in %s: apt-get install mate-backgrounds\n", qPrintable(folder));
        return 1;
    }
    const bool withButteraugli = butteraugliWanted && !butteraugliProgram().isEmpty();
    if (butteraugliWanted && !withButteraugli)
        std::printf("butteraugli not found (apt-get install butteraugli): that column is skipped\n");
    QTemporaryDir scratch;

    std::map<int, Point> ourMean, theirMean; // by quality, means over the photos
    std::vector<double> ssimRatios, butteraugliRatios;
    for (const QString& path : curvesWanted ? paths : QStringList()) {
        const QImage picture = photoCut(path);
        if (picture.isNull())
            continue;
        const QString original = scratch.filePath("original.png");
        picture.save(original);
        const std::vector<float> luma = lumaOf(picture);
        Curve ours, theirs;
        std::vector<QByteArray> jpegs;
        for (const int quality : qualities) {
            for (const bool program : {true, false}) {
                const QByteArray jpeg = program ? programEncoded(picture, quality) : bench::bareEncoded(picture, true, quality);
                Point point;
                point.bytes = double(jpeg.size());
                point.ssim = ssim(luma, lumaOf(QImage::fromData(jpeg)), picture.width(), picture.height());
                (program ? ours : theirs).push_back(point);
                jpegs.push_back(jpeg);
            }
        }
        const std::vector<double> scores = withButteraugli ? butteraugliOf(original, jpegs, scratch.path())
                                                           : std::vector<double>(jpegs.size(), -1);
        for (std::size_t i = 0; i < std::size(qualities); ++i) {
            for (const bool program : {true, false}) {
                Point& point = (program ? ours : theirs)[i];
                point.butteraugli = scores[2 * i + (program ? 0 : 1)];
                Point& mean = (program ? ourMean : theirMean).try_emplace(qualities[i], Point{0, 0, 0}).first->second;
                mean.bytes += point.bytes * 8 / (double(picture.width()) * picture.height());
                mean.ssim += point.ssim;
                mean.butteraugli += point.butteraugli;
            }
        }
        const auto bySsim = logRatio(ours, theirs, &Point::ssim);
        const auto byButteraugli = withButteraugli ? logRatio(ours, theirs, &Point::butteraugli) : std::nullopt;
        if (bySsim)
            ssimRatios.push_back(*bySsim);
        if (byButteraugli)
            butteraugliRatios.push_back(*byButteraugli);
        std::printf("%-28s %4dx%-4d  size ratio at equal SSIM %.3f, at equal butteraugli %s\n",
                    qPrintable(QFileInfo(path).fileName()), picture.width(), picture.height(),
                    bySsim ? std::exp(*bySsim) : 0.0,
                    byButteraugli ? qPrintable(QString::number(std::exp(*byButteraugli), 'f', 3)) : "-");
        std::fflush(stdout);
    }
    const auto photos = double(ssimRatios.size());
    if (curvesWanted) {
    std::printf("\ncurves, means over %d photos (bits per pixel, luma SSIM, butteraugli):\n", int(photos));
    std::printf("quality   program: bpp    SSIM   butteraugli   libjpeg-turbo: bpp    SSIM   butteraugli\n");
    for (const int quality : qualities) {
        const Point& o = ourMean[quality];
        const Point& t = theirMean[quality];
        std::printf("%5d            %6.3f  %.4f  %6.3f                       %6.3f  %.4f  %6.3f\n", quality,
                    o.bytes / photos, o.ssim / photos, o.butteraugli / photos, t.bytes / photos,
                    t.ssim / photos, t.butteraugli / photos);
    }
    const auto geometricMean = [](const std::vector<double>& logs) {
        double sum = 0;
        for (const double l : logs)
            sum += l;
        return logs.empty() ? 0.0 : std::exp(sum / double(logs.size()));
    };
    std::printf("\nsize against libjpeg-turbo at equal luma SSIM: %.3f (target at most 0.95)\n", geometricMean(ssimRatios));
    if (withButteraugli)
        std::printf("size against libjpeg-turbo at equal butteraugli: %.3f (target at most 0.90)\n",
                    geometricMean(butteraugliRatios));
    if (!svgPath.isEmpty())
        writeSvg(svgPath, ourMean, theirMean, photos, withButteraugli);
    }

    if (!timesWanted)
        return 0;
    // Times on the largest photo at its own size.
    QString largest;
    qint64 largestPixels = 0;
    for (QDirIterator it(folder, {"*.jpg"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        const QSize size = QImage(path).size();
        if (qint64(size.width()) * size.height() > largestPixels) {
            largestPixels = qint64(size.width()) * size.height();
            largest = path;
        }
    }
    const QImage big = QImage(largest).convertToFormat(QImage::Format_RGB32);
    const int stepQuality = 75;
    const double bare = medianMilliseconds([&] { bench::bareEncoded(big, true, stepQuality); });
    const auto prepared = preparePicture(ScanlineSource(big), chromaSamplingFor(stepQuality));
    const double step = medianMilliseconds([&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        compressPrepared(*prepared, stepQuality, buffer);
    });
    const double save = medianMilliseconds([&] { programEncoded(big, stepQuality); });
    std::printf("\n%s (%.1f megapixels) at quality %d: one bare libjpeg-turbo encoding %.0f ms\n",
                qPrintable(QFileInfo(largest).fileName()), double(largestPixels) / 1e6, stepQuality, bare);
    std::printf("  slider step (prepared picture kept): %.0f ms = %.2f bare encodings (target at most 1.6)\n", step,
                step / bare);
    std::printf("  final save (prepare, quantize, code): %.0f ms = %.2f bare encodings (target at most 4)\n", save,
                save / bare);
    return 0;
}
