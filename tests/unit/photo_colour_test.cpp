// A JPEG's ICC profile or EXIF Adobe RGB is applied to the picture shown, not to the values a save encodes.
#include <array>
#include <cstdlib>
#include <vector>

#include <QBuffer>
#include <QColorSpace>

#include <lcms2.h>

#include "jpeg/colour_profile.h"
#include "jpeg/jpeg_markers.h"
#include "decoder/picture_loader.h"
#include "decoder/picture_source.h"
#include "encoder/jpeg_compressor.h"
#include "jpeg/jpeg_metadata.h"
#include "encoder/scanline_source.h"
#include "model_driver.h"
#include "photo_files.h"
#include "test_files.h"

namespace {

const QRgb red = qRgb(220, 30, 30);
const QRgb adobePatch = qRgb(173, 62, 45); // sRGB (200, 59, 39)

int farthest(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Little CMS's own answer for stored bytes (CMYK: 255 no ink) through the profile, the independent reference.
QRgb littleCmsSrgb(const QByteArray& icc, const std::vector<uchar>& stored, cmsUInt32Number format = TYPE_RGB_8)
{
    cmsHPROFILE source = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform = cmsCreateTransform(source, format, srgb, TYPE_RGB_8, cmsGetHeaderRenderingIntent(source), 0);
    unsigned char out[3] = {};
    cmsDoTransform(transform, stored.data(), out, 1);
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    return qRgb(out[0], out[1], out[2]);
}

std::vector<uchar> bytesOf(QRgb colour) { return {uchar(qRed(colour)), uchar(qGreen(colour)), uchar(qBlue(colour))}; }

QRgb centre(const QImage& picture) { return picture.pixel(picture.width() / 2, picture.height() / 2); }

class PhotoColour : public ScratchTest {
protected:
    ShownPicture view(const QByteArray& jpeg) { return readForView(write("photo.jpg", jpeg), QSize(200, 200)); }
};

} // namespace

TEST_F(PhotoColour, SwappedProfileShowsGreenWhileTheSavedValuesStayRed)
{
    const QByteArray icc = swappedRedGreenProfile();
    ASSERT_FALSE(icc.isEmpty());
    const QByteArray jpeg = withSegments(flatJpeg(300, 200, red), iccSegments(icc, 3, {3, 1, 2}));
    EXPECT_EQ(readJpegMarkers(jpeg).icc, icc); // put together in the order of the sequence numbers
    const QString path = write("photo.jpg", jpeg);
    // Shown reduced, and shown at full size (the enlarged box).
    for (const QSize box : {QSize(200, 200), QSize(667, 667)}) {
        SCOPED_TRACE(box.width());
        PictureModel model(box);
        model.select(path);
        ASSERT_TRUE(settle(model));
        const QRgb onScreen = centre(model.picture().picture);
        EXPECT_TRUE(qGreen(onScreen) > 150 && qRed(onScreen) < 100);
        EXPECT_TRUE(model.fullPicture().isNull()) << "converted colours passed off as the file's values";
        bool made = false;
        model.whenFullPicture([&] { made = true; });
        ASSERT_TRUE(settle(model) && made);
        EXPECT_LE(farthest(centre(model.fullPicture()), red), 2); // what a save encodes
        EXPECT_LE(farthest(centre(model.fullPictureAsShown()), onScreen), 2); // what a copy takes
    }
}

// A profile, or EXIF's Adobe RGB, shows as Little CMS applies it (a LUT profile Qt cannot apply through
// Little CMS itself); a broken or enormous one, or "uncalibrated" alone, leaves the values as stored.
TEST_F(PhotoColour, AProfileShowsAsLittleCmsSaysABrokenOneNotAtAll)
{
    const QByteArray adobe = QColorSpace(QColorSpace::AdobeRgb).iccProfile(), lut = swappingLutProfile();
    ASSERT_FALSE(QColorSpace::fromIccProfile(lut).isValid());
    const QByteArray plain = flatJpeg(64, 64, adobePatch);
    const QRgb stored = centre(decodePicture(plain)), inAdobe = littleCmsSrgb(adobe, bytesOf(stored));
    EXPECT_LE(farthest(inAdobe, qRgb(200, 59, 39)), 2);
    QByteArray enormous;
    for (int n = 1; n <= 255; ++n)
        enormous += QByteArray("\xFF\xE2\xFF\xFFICC_PROFILE\0", 16) + char(n) + char(255) + QByteArray(65519, 'p');
    const struct { const char* how; QByteArray segments; QRgb shown; } cases[] = {
        {"ICC profile", iccSegments(adobe, 1), inAdobe},
        {"EXIF colour space", exifApp1(cameraExif(1, false, true)), inAdobe},
        {"LUT profile", iccSegments(lut, 1), littleCmsSrgb(lut, bytesOf(stored))},
        {"no colour space", exifApp1(cameraExif(1, false)), stored},
        {"uncalibrated alone", exifApp1(cameraExif(1, false, true, nullptr)), stored},
        {"uncalibrated, index R98", exifApp1(cameraExif(1, false, true, "R98")), stored},
        {"garbage", iccSegments(QByteArray(3000, 'x'), 2), stored},
        {"truncated", iccSegments(swappedRedGreenProfile().left(200), 1), stored},
        {"a sequence number missing", iccSegments(swappedRedGreenProfile(), 3, {1, 3}), stored},
        {"255 segments of 64 KB", enormous, stored},
    };
    for (const auto& c : cases)
        EXPECT_LE(farthest(centre(view(withSegments(plain, c.segments)).picture), c.shown), c.shown == stored ? 0 : 2) << c.how;
    EXPECT_TRUE(readJpegMarkers(withSegments(plain, enormous)).icc.isEmpty());
}

// Other readers take every four-component JPEG as Adobe stores it (255 is no ink), its marker
// or not; read as plain ink, a file without the marker showed all black. A CMYK profile is
// applied as Little CMS applies it, on screen and in the values a save encodes, which are then
// sRGB: the saved file carries no CMYK profile.
TEST_F(PhotoColour, CmykReadsAsAdobeStoresItThroughItsProfile)
{
    // Every ink differs, so a swapped pair or a black ignored shows.
    const std::array<uchar, 4> ink = {250, 55, 140, 230};
    const QRgb mixed = qRgb(225, 49, 126);
    for (const bool marker : {true, false}) {
        const QRgb shown = centre(decodePicture(cmykJpeg(ink, marker)));
        EXPECT_LE(farthest(shown, mixed), 3) << (marker ? "with" : "without") << " the marker";
    }
    const QByteArray icc = swappingCmykProfile();
    const QRgb expected = littleCmsSrgb(icc, {ink.begin(), ink.end()}, TYPE_CMYK_8_REV);
    ASSERT_GT(farthest(expected, mixed), 60) << "the profile changes nothing";
    const QByteArray jpeg = withSegments(cmykJpeg(ink, false), iccSegments(icc, 2));
    const ShownPicture shown = view(jpeg);
    EXPECT_LE(farthest(centre(shown.picture), expected), 3);
    const QImage full = shown.source->decodeFull();
    EXPECT_LE(farthest(centre(full), expected), 3) << "what a save encodes";
    EXPECT_TRUE(keptMetadata(readJpegMarkers(jpeg), {full.size(), false}).icc.isEmpty());
}

// A grey photo is saved grey, with its own grey profile byte for byte, which is applied on screen.
TEST_F(PhotoColour, AGreyPhotoIsSavedWithOneComponentAndItsProfile)
{
    const QByteArray icc = linearGreyProfile();
    const QByteArray plain = libjpegEncoded(48, 40, 1, [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 100, TRUE); },
                                            [](int) { static const std::vector<uchar> row(48, 128); return row.data(); });
    const QByteArray jpeg = withSegments(plain, iccSegments(icc, 1));
    const ShownPicture shown = view(jpeg);
    EXPECT_LE(farthest(centre(shown.picture), qRgb(188, 188, 188)), 2) << "the grey profile is not applied";
    const QImage full = shown.source->decodeFull();
    const JpegMarkers kept = keptMetadata(readJpegMarkers(jpeg), {full.size(), false});
    QBuffer out;
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && compressJpeg(ScanlineSource(full), 90, out, {}, &kept) == CompressResult::Done);
    const QImage saved = QImage::fromData(out.data());
    EXPECT_EQ(readJpegMarkers(out.data()).icc, icc);
    EXPECT_EQ(saved.format(), QImage::Format_Grayscale8) << "saved with three components";
    EXPECT_LE(farthest(centre(saved.convertToFormat(QImage::Format_RGB32)), qRgb(128, 128, 128)), 1);
}
