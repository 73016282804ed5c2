// Photos keep what they carry: a profile or EXIF's Adobe RGB applied to the picture shown, not to the values a save
// encodes; the blocks saved upright, at the new size, GPS as asked, bad ones left out.
#include <array>
#include <cstdlib>
#include <vector>

#include <QBuffer>
#include <QColorSpace>
#include <QRegularExpression>

#include <exiv2/exiv2.hpp>
#include <lcms2.h>

#include "decoder/picture_loader.h"
#include "decoder/picture_source.h"
#include "encoder/jpeg_compressor.h"
#include "encoder/scanline_source.h"
#include "jpeg/jpeg_markers.h"
#include "jpeg/jpeg_metadata.h"
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
        model.whenFullPicture([] {});
        ASSERT_TRUE(settle(model) && !model.fullPicture().isNull());
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

namespace {

const QByteArray iptc = QByteArray("Photoshop 3.0\0008BIM\x04\x04\0\0\0\0\0\x0b\x1c\x02\x78\0\x06Kiri!!\0", 37);

Exiv2::ExifData exifOf(const QByteArray& block)
{
    Exiv2::ExifData data;
    Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte*>(block.constData()), uint32_t(block.size()));
    return data;
}

std::string exifValue(const Exiv2::ExifData& data, const char* key)
{
    const auto it = data.findKey(Exiv2::ExifKey(key));
    return it == data.end() ? std::string("(none)") : it->toString();
}

bool hasTag(const Exiv2::ExifData& data, const char* group, int tag = -1)
{
    return std::any_of(data.begin(), data.end(), [&](const auto& d) { return d.groupName() == group && (tag < 0 || d.tag() == tag); });
}

QStringList xmpKeys(const QByteArray& packet)
{
    Exiv2::XmpData data;
    EXPECT_EQ(Exiv2::XmpParser::decode(data, packet.toStdString()), 0);
    QStringList keys;
    for (const auto& d : data)
        keys << QString::fromStdString(d.key()) + '=' + QString::fromStdString(d.toString());
    return keys;
}

JpegMarkers cameraMarkers()
{
    JpegMarkers markers;
    markers.icc = swappedRedGreenProfile();
    markers.exif = cameraExif(6, true);
    markers.xmp = cameraXmp(6);
    markers.iptc = iptc;
    return markers;
}

JpegMarkers kept(const JpegMarkers& source, bool dropLocation = false, QSize size = {8, 8})
{
    return keptMetadata(source, {size, dropLocation});
}

// A compressed test picture carrying `markers`, or none.
QByteArray compressed(const JpegMarkers* markers = nullptr)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(compressJpeg(ScanlineSource(testPicture(40, 30)), 80, out, {}, markers), CompressResult::Done);
    return out.data();
}

} // namespace

TEST(PhotoMetadata, KeptBlocksAreUprightAtTheNewSizeGpsOnlyIfAsked)
{
    for (bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "location dropped" : "location kept");
        const JpegMarkers blocks = kept(cameraMarkers(), drop, QSize(300, 400));
        const Exiv2::ExifData exif = exifOf(blocks.exif);
        for (const auto& [key, value] : {std::pair("Exif.Photo.DateTimeOriginal", camera::dateTaken), {"Exif.Image.Orientation", "1"},
                                         {"Exif.Photo.PixelXDimension", "300"}, {"Exif.Photo.PixelYDimension", "400"}})
            EXPECT_EQ(exifValue(exif, key), value) << key;
        EXPECT_EQ(Exiv2::ExifThumbC(exif).copy().size_, 0);
        EXPECT_EQ(hasTag(exif, "GPSInfo"), !drop);
        EXPECT_EQ(exifValue(exif, "Exif.Image.GPSTag") != "(none)", !drop);
        EXPECT_TRUE(blocks.icc == cameraMarkers().icc && blocks.iptc == iptc);
        const QStringList xmp = xmpKeys(blocks.xmp);
        EXPECT_TRUE(xmp.contains("Xmp.tiff.Orientation=1") && xmp.contains("Xmp.exif.PixelXDimension=300")) << xmp.join(' ').toStdString();
        EXPECT_EQ(xmp.contains(QString("Xmp.exif.GPSLatitude=") + camera::xmpLatitude), !drop);
    }
    JpegMarkers grey;
    grey.icc = linearGreyProfile();
    EXPECT_EQ(kept(grey).icc, grey.icc) << "a grey photo's own profile";
}

// Every kind of block, and a profile over several segments (one filling its last, 65519 bytes, exactly).
TEST(PhotoMetadata, SavedFileCarriesTheBlocksAndCountsTheirBytesExactly)
{
    const QByteArray extension = extensionXmp();
    JpegMarkers source = cameraMarkers(), large, exact;
    source.xmp = cameraXmp(1, guidOf(extension));
    source.extendedXmp = extendedXmpPieces(extension, 3);
    source.comments = {"first comment", QByteArray("\x00\xFF" "bytes", 7)};
    source.density = JpegMarkers::Density{1, 350, 72};
    large.icc = QByteArray(150000, 'i');
    exact.icc = QByteArray(2 * 65519, 'e');
    large.density = exact.density = JpegMarkers::Density{2, 7, 5};
    const JpegMarkers all = kept(source);
    EXPECT_TRUE(all.icc == source.icc && all.extendedXmp == source.extendedXmp && all.comments == source.comments
                && all.density == source.density);
    const qint64 bare = compressed().size();
    for (const JpegMarkers& blocks : {all, large, exact}) {
        const QByteArray carrying = compressed(&blocks);
        EXPECT_EQ(carrying.size() - bare, markersByteCount(blocks));
        const JpegMarkers read = readJpegMarkers(carrying);
        EXPECT_TRUE(read.icc == blocks.icc && read.exif == blocks.exif && read.xmp == blocks.xmp && read.iptc == blocks.iptc
                    && read.extendedXmp == blocks.extendedXmp && read.comments == blocks.comments && read.density == blocks.density);
    }
}

// Two blocks of a kind: the first counts, as in other readers; every comment, in order.
TEST(PhotoMetadata, TheFirstBlockOfEachKindCounts)
{
    const QByteArray segments = exifApp1(cameraExif(6, true)) + xmpApp1(cameraXmp(6)) + exifApp1(cameraExif(3, false))
        + xmpApp1(cameraXmp(1)) + QByteArray("\xFF\xFE\0\x07" "first" "\xFF\xFE\0\x08" "second", 19);
    const JpegMarkers read = readJpegMarkers(withSegments(flatJpeg(16, 8, qRgb(9, 9, 9)), segments));
    EXPECT_EQ(read.exif, cameraExif(6, true));
    EXPECT_EQ(read.xmp, cameraXmp(6));
    EXPECT_EQ(read.comments, (QList<QByteArray>{"first", "second"}));
}

// Blocks broken, looping, of another colour space or that the program itself cannot use are not
// handed to other readers; the others are kept and the file is still written.
TEST(PhotoMetadata, BrokenOrForeignBlocksAreLeftOutAndTheRestKept)
{
    // IFD0 whose next-IFD offset points back at itself, and an entry whose sub-IFD is the same IFD again.
    const QByteArray looping("II\x2A\0\x08\0\0\0\x02\0\x69\x87\x04\0\x01\0\0\0\x08\0\0\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\x08\0\0\0", 38);
    QByteArray impossible = photoshopBlock({{0x0404, iptcRecordWithPlaces()}});
    impossible[14 + 4 + 2 + 2 + 1] = '\x7F'; // the resource's size's second byte: megabytes
    const QByteArray icc = cameraMarkers().icc;
    // A Pentax maker note whose 16-byte preview lies at 60000, after the picture data: its pointer goes.
    const QByteArray pentax = exifWithMakerNote("PENTAX Corporation", [](quint32) {
        return QByteArray("AOC\0II\x02\0" "\x03\0\x04\0\x01\0\0\0\x10\0\0\0" "\x04\0\x04\0\x01\0\0\0\x60\xEA\0\0" "\0\0\0\0", 32);
    });
    ASSERT_TRUE(hasTag(exifOf(pentax), "Pentax", 0x0004)) << "the maker note was not read as Pentax";
    JpegMarkers maker;
    maker.exif = pentax;
    const Exiv2::ExifData carried = exifOf(kept(maker).exif);
    EXPECT_TRUE(exifValue(carried, "Exif.Image.Make") == "PENTAX Corporation" && !hasTag(carried, "Pentax")
                && !hasTag(carried, "Photo", 0x927C)) << "a maker note that cannot be written anew without the pointer";
    const struct { const char* what; QByteArray JpegMarkers::*block; QByteArray bytes; } cases[] = {
        {"looping EXIF", &JpegMarkers::exif, looping},
        {"EXIF of junk", &JpegMarkers::exif, QByteArray(5000, '\xEE')},
        {"EXIF cut short", &JpegMarkers::exif, cameraExif(6, true).left(40)},
        {"XMP of junk", &JpegMarkers::xmp, QByteArray("<x:xmpmeta><unclosed", 20)},
        {"a grey profile", &JpegMarkers::icc, QByteArray(icc).replace(16, 4, "GRAY")},
        {"a CMYK profile", &JpegMarkers::icc, swappingCmykProfile()},
        {"a profile ending inside its tag table", &JpegMarkers::icc, icc.left(200)},
        {"a resource larger than its block", &JpegMarkers::iptc, impossible},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        JpegMarkers source = cameraMarkers();
        source.*c.block = c.bytes;
        const JpegMarkers blocks = kept(source, true);
        for (const auto block : {&JpegMarkers::icc, &JpegMarkers::xmp, &JpegMarkers::iptc, &JpegMarkers::exif})
            EXPECT_TRUE((block == &JpegMarkers::exif && c.block == block) || (blocks.*block).isEmpty() == (block == c.block));
        EXPECT_FALSE(exifValue(exifOf(blocks.exif), "Exif.Image.Orientation") == "6");
        compressed(&blocks);
    }
}

namespace {

// A Panasonic maker note (offsets from the TIFF header) with a city and an image quality.
QByteArray panasonicNote(quint32)
{
    return QByteArray("Panasonic\0\0\0", 12) + QByteArray("\x02\0" "\x01\0\x03\0\x01\0\0\0\x02\0\0\0" "\x6d\0\x07\0\x04\0\0\0Nara", 26);
}

} // namespace

// The extension goes with the packet that names it, only whole (then the packet no longer names
// it); pieces of another GUID are not this packet's.
TEST(PhotoMetadata, ExtendedXmpGoesOnlyWholeWithThePacketNamingIt)
{
    const QByteArray extension = extensionXmp();
    JpegMarkers source;
    source.xmp = cameraXmp(1, guidOf(extension));
    source.extendedXmp = extendedXmpPieces(extension, 3) << extendedXmpPieces("<other/>", 1);
    EXPECT_EQ(kept(source).extendedXmp, source.extendedXmp.first(3));
    source.extendedXmp.removeAt(1);
    const JpegMarkers cut = kept(source);
    EXPECT_TRUE(cut.extendedXmp.isEmpty());
    EXPECT_FALSE(cut.xmp.contains("HasExtendedXMP")) << "names an extension it does not carry";
    EXPECT_TRUE(xmpKeys(cut.xmp).contains("Xmp.dc.creator=Kiri"));
}

// Asked to remove the location, coordinates and place names go from XMP of every schema,
// IPTC, a GPS block linked from the Exif IFD and a maker note; everything else stays.
TEST(PhotoMetadata, RemovingTheLocationLeavesNoPlaceAnywhere)
{
    JpegMarkers source;
    source.xmp = cameraXmp(1);
    source.iptc = photoshopBlock({{0x0404, iptcRecordWithPlaces()}, {0x040C, "old thumbnail"}});
    source.exif = exifWithMakerNote("Panasonic", panasonicNote, true);
    ASSERT_TRUE(hasTag(exifOf(source.exif), "Panasonic", 0x006d)) << "the maker note was not read as Panasonic";
    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "location dropped" : "location kept");
        const JpegMarkers blocks = kept(source, drop);
        const QStringList xmp = xmpKeys(blocks.xmp);
        EXPECT_TRUE(xmp.contains("Xmp.dc.creator=Kiri") && xmp.contains("Xmp.drone-dji.FlightYawDegree=+12.3"));
        EXPECT_EQ(xmp.filter(QRegularExpression("City|Location|GPS|Gps|State|Country|Altitude|Nara|Japan")).isEmpty(), drop)
            << xmp.join(' ').toStdString();
        EXPECT_TRUE(blocks.iptc.contains("Kiri") && !blocks.iptc.contains("old thumbnail"));
        for (const char* place : {"Nara", "Todaiji", "Kansai", "Japan"})
            EXPECT_EQ(blocks.iptc.contains(place), !drop) << place;
        const Exiv2::ExifData exif = exifOf(blocks.exif);
        EXPECT_EQ(blocks.exif.contains("WGS-84-KIRI") || hasTag(exif, "Photo", 0x8825), !drop) << "the GPS block linked from the Exif IFD";
        EXPECT_EQ(hasTag(exif, "Panasonic", 0x006d), !drop) << "the maker note's city";
        EXPECT_TRUE(hasTag(exif, "Panasonic", 0x0001)) << "the maker note lost more than places";
    }
}
