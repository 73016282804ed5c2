// What colour profiles and metadata cost on a 20-megapixel photo, against
// libjpeg-turbo in the same run:
// - showing: the photo read and decoded for the image window (readForView)
//   without a profile, with an Adobe RGB matrix profile (Qt), a LUT-based
//   profile (Little CMS) and a grey profile on a grey photo (Qt), beside bare libjpeg-turbo decoding
//   at the same eighth; the conversion may add at most 15 %.
// - saving: saveJpeg at quality 50 without and with a camera's metadata
//   (profile, EXIF with thumbnail and GPS, XMP), the metadata prepared as the
//   save dialog does; keeping it may add at most 1 %.
//
// Usage: colour_metadata [runs]          (default 7 runs, medians printed)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>
#include <jpeglib.h>
#include <lcms2.h>

#include "bench_support.h"
#include "jpeg/colour_profile.h"
#include "jpeg/jpeg_markers.h"
#include "decoder/picture_source.h"
#include "jpeg/jpeg_metadata.h"
#include "encoder/save_jpeg.h"

namespace {

using namespace bench;

const QSize viewBox(200, 200); // the image window's 3000-twip box

QByteArray encodedAtNinety(const QImage& picture) { return bareEncoded(picture, true, 90); }

QByteArray segment(int marker, const QByteArray& payload)
{
    const int length = int(payload.size() + 2);
    return QByteArray("\xFF", 1) + char(marker) + char(length >> 8) + char(length & 0xFF) + payload;
}

QByteArray iccSegment(const QByteArray& icc)
{
    return segment(0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + icc);
}

QByteArray cameraExif()
{
    Exiv2::ExifData data;
    data["Exif.Image.Make"] = "Kiri Optics";
    data["Exif.Image.Model"] = "K-1";
    data["Exif.Image.Orientation"] = uint16_t(1);
    data["Exif.Photo.DateTimeOriginal"] = "2024:05:20 02:36:12";
    data["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    data["Exif.Photo.FNumber"] = Exiv2::URational(56, 10);
    data["Exif.Photo.PixelXDimension"] = uint32_t(photoWidth);
    data["Exif.Photo.PixelYDimension"] = uint32_t(photoHeight);
    data["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    const QByteArray thumbnail(12000, '\x55');
    Exiv2::ExifThumb(data).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                                            long(thumbnail.size()));
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

QByteArray saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray icc(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    return icc;
}

QByteArray greyProfile()
{
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    const QByteArray icc = saved(cmsCreateGrayProfile(cmsD50_xyY(), curve));
    cmsFreeToneCurve(curve);
    return icc;
}

// A LUT-based RGB profile (a 17-point grid in A2B0, as scanners' and
// printers' profiles are built), which Qt cannot apply.
QByteArray lutProfile()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, 17, 3, 3, nullptr);
    cmsStageSampleCLut16bit(grid, [](const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) -> cmsInt32Number {
        cmsDoTransform(transform, in, out, 1);
        return 1;
    }, toLab, 0);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 4.3);
    cmsSetDeviceClass(profile, cmsSigInputClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return saved(profile);
}

// Bare libjpeg-turbo decoding at the eighth the view uses.
void bareDecode(const QByteArray& jpeg, int eighths)
{
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.constData()), (unsigned long)jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = unsigned(eighths);
    cinfo.scale_denom = 8;
    cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&cinfo);
    std::vector<unsigned char> row(std::size_t(cinfo.output_width) * 4);
    JSAMPROW rows[] = {row.data()};
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, rows, 1);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

void measureAll(std::vector<Measure>& measures, int runs)
{
    // Interleaved, so a slow spell of the machine touches every measure alike.
    for (int run = 0; run < runs + 1; ++run)
        for (Measure& measure : measures) {
            const auto start = std::chrono::steady_clock::now();
            measure.run();
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
            if (run > 0) // the first round warms caches
                measure.milliseconds.push_back(took.count());
        }
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;

    std::printf("Generating a %d x %d photo-like picture...\n", photoWidth, photoHeight);
    const QImage picture = photo();
    const QImage greyPicture = picture.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
    const QByteArray plain = encodedAtNinety(picture);
    const QByteArray grey = encodedAtNinety(greyPicture);
    const QByteArray adobe = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    const QByteArray exif = cameraExif();
    const auto withSegments = [](const QByteArray& jpeg, const QByteArray& segments) {
        return jpeg.left(2) + segments + jpeg.mid(2);
    };
    const QString plainPath = folder.filePath("plain.jpg"), adobePath = folder.filePath("adobe.jpg"),
                  greyPlainPath = folder.filePath("grey-plain.jpg"), greyPath = folder.filePath("grey.jpg"),
                  lutPath = folder.filePath("lut.jpg");
    const QByteArray camera = withSegments(plain, segment(0xE1, QByteArray("Exif\0\0", 6) + exif));
    write(plainPath, camera);
    write(adobePath, withSegments(plain, segment(0xE1, QByteArray("Exif\0\0", 6) + exif) + iccSegment(adobe)));
    write(greyPlainPath, grey);
    write(greyPath, withSegments(grey, iccSegment(greyProfile())));
    const QByteArray lut = lutProfile();
    write(lutPath, withSegments(camera, iccSegment(lut)));
    // Five different profiles (padded apart) for more than the four kept ready:
    // each view makes its transform anew, as the first photo of a scanner does.
    constexpr int fresh = 5;
    for (int n = 0; n < fresh; ++n)
        write(folder.filePath(QStringLiteral("lut-%1.jpg").arg(n)), withSegments(camera, iccSegment(lut + QByteArray(n + 1, '\0'))));
    int nextFresh = 0;
    const int eighths = 1; // 684 x 456 covers the 200 x 133 view

    std::vector<Measure> showing = {
        {"libjpeg-turbo decode at 1/8", [&] { bareDecode(plain, eighths); }},
        {"readForView, no profile", [&] { readForView(plainPath, viewBox); }},
        {"readForView, Adobe RGB profile (Qt)", [&] { readForView(adobePath, viewBox); }},
        {"readForView, LUT profile (Little CMS)", [&] { readForView(lutPath, viewBox); }},
        {"readForView, LUT profile seen first", [&] {
             readForView(folder.filePath(QStringLiteral("lut-%1.jpg").arg(nextFresh++ % fresh)), viewBox);
         }},
        {"libjpeg-turbo decode at 1/8, grey photo", [&] { bareDecode(grey, eighths); }},
        {"readForView, grey photo, no profile", [&] { readForView(greyPlainPath, viewBox); }},
        {"readForView, grey profile (Qt)", [&] { readForView(greyPath, viewBox); }},
        {"  of which reading markers and EXIF colour", [&] { ColourProfile::of(readJpegMarkers(camera)); }},
    };
    measureAll(showing, runs * 3);
    std::printf("\nShowing a %d x %d photo, %d runs, median times:\n", photoWidth, photoHeight, runs * 3);
    for (const Measure& m : showing)
        std::printf("  %-46s %8.2f ms\n", m.name, m.median());
    const auto added = [&](int with, int without) { return 100 * (showing[with].median() / showing[without].median() - 1); };
    std::printf("Colour conversion adds to showing (limit 15 %%): %.1f %% Adobe RGB (Qt), %.1f %% LUT (Little CMS), "
                "%.1f %% grey (Qt); %.1f %% for a LUT profile's first photo\n", added(2, 1), added(3, 1), added(7, 6), added(4, 1));

    JpegMarkers source;
    source.icc = adobe;
    source.exif = exif;
    source.xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
    const QString out = folder.filePath("saved.jpg");
    std::vector<Measure> saving = {
        {"libjpeg-turbo to memory", [&] { bareToMemory(picture, true); }},
        {"saveJpeg, no metadata", [&] {
             if (saveJpeg(picture, photoWidth, photoHeight, out, quality, JpegTarget::Chosen) != JpegStatus::Written)
                 std::abort();
         }},
        {"saveJpeg, metadata kept (incl. preparing it)", [&] {
             const JpegMarkers kept = keptMetadata(source, {picture.size(), true});
             if (saveJpeg(picture, photoWidth, photoHeight, out, quality, JpegTarget::Chosen, {}, &kept) != JpegStatus::Written)
                 std::abort();
         }},
        {"  of which preparing the metadata", [&] { keptMetadata(source, {picture.size(), true}); }},
    };
    measureAll(saving, runs * 2);
    std::printf("\nSaving at quality %d, %d runs, median times:\n", quality, runs * 2);
    for (const Measure& m : saving)
        std::printf("  %-46s %8.1f ms\n", m.name, m.median());
    std::printf("Keeping the metadata adds %.2f %% to a save, its preparation alone %.3f %% (limit 1 %%)\n",
                100 * (saving[2].median() / saving[1].median() - 1), 100 * saving[3].median() / saving[1].median());
    return 0;
}
