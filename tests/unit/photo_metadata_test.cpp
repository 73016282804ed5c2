// A re-compressed photo keeps what it carried, upright, at its new size, GPS as asked; bad blocks left out.
#include <QBuffer>

#include <functional>

#include <exiv2/exiv2.hpp>

#include "jpeg/jpeg_markers.h"
#include "encoder/jpeg_compressor.h"
#include "jpeg/jpeg_metadata.h"
#include "encoder/scanline_source.h"
#include "photo_files.h"
#include "test_files.h"

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

bool hasGps(const Exiv2::ExifData& data)
{
    return std::any_of(data.begin(), data.end(), [](const auto& d) { return d.groupName() == "GPSInfo"; });
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

// A compressed test picture carrying `markers`, or none.
QByteArray compressed(const QImage& picture, const JpegMarkers* markers = nullptr)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(compressJpeg(ScanlineSource(picture), 80, out, {}, markers), CompressResult::Done);
    return out.data();
}

} // namespace

TEST(PhotoMetadata, KeptBlocksAreUprightAtTheNewSizeGpsOnlyIfAsked)
{
    for (bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "location dropped" : "location kept");
        const JpegMarkers kept = keptMetadata(cameraMarkers(), {QSize(300, 400), drop});
        const Exiv2::ExifData exif = exifOf(kept.exif);
        const std::pair<const char*, std::string> values[] = {
            {"Exif.Photo.DateTimeOriginal", camera::dateTaken}, {"Exif.Image.Make", camera::make},
            {"Exif.Image.Model", camera::model}, {"Exif.Image.Orientation", "1"},
            {"Exif.Photo.PixelXDimension", "300"}, {"Exif.Photo.PixelYDimension", "400"}};
        for (const auto& [key, value] : values)
            EXPECT_EQ(exifValue(exif, key), value) << key;
        EXPECT_EQ(Exiv2::ExifThumbC(exif).copy().size_, 0);
        EXPECT_EQ(hasGps(exif), !drop);
        EXPECT_EQ(exifValue(exif, "Exif.Image.GPSTag") != "(none)", !drop);
        EXPECT_EQ(kept.icc, cameraMarkers().icc);
        EXPECT_EQ(kept.iptc, iptc);
        Exiv2::XmpData xmp;
        ASSERT_EQ(Exiv2::XmpParser::decode(xmp, kept.xmp.toStdString()), 0);
        EXPECT_EQ(xmp["Xmp.tiff.Orientation"].toString() + xmp["Xmp.exif.PixelXDimension"].toString(), "1300");
        EXPECT_EQ(xmp["Xmp.dc.creator"].toString(), "Kiri");
        EXPECT_EQ(xmp.findKey(Exiv2::XmpKey("Xmp.exif.GPSLatitude")) != xmp.end(), !drop);
    }
}

TEST(PhotoMetadata, ProfileOfAnotherColourSpaceIsLeftOutOfTheRgbFile)
{
    for (const char* space : {"GRAY", "CMYK"}) {
        JpegMarkers source = cameraMarkers();
        source.icc.replace(16, 4, space);
        const JpegMarkers kept = keptMetadata(source, {QSize(300, 400), false});
        EXPECT_TRUE(kept.icc.isEmpty() && !kept.exif.isEmpty()) << space;
    }
}

TEST(PhotoMetadata, BlocksWithNothingToChangeAreKeptAsTheyAre)
{
    Exiv2::ExifData upright;
    upright["Exif.Image.Orientation"] = uint16_t(1);
    upright["Exif.Photo.DateTimeOriginal"] = camera::dateTaken;
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::bigEndian, upright);
    JpegMarkers source;
    source.exif = QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
    source.xmp = cameraXmp(1).replace("4000", "300");
    const QByteArray original(source.exif.constData(), source.exif.size()); // a copy of its own
    const JpegMarkers kept = keptMetadata(source, {QSize(300, 400), false});
    EXPECT_EQ(exifValue(exifOf(kept.exif), "Exif.Photo.DateTimeOriginal"), camera::dateTaken);
    EXPECT_EQ(kept.xmp, source.xmp); // byte for byte, padding and all
    EXPECT_EQ(source.exif, original); // the source's own block is never written into
}

TEST(PhotoMetadata, SavedFileCarriesTheBlocksAndCountsTheirBytesExactly)
{
    const QImage picture = testPicture(96, 64);
    const JpegMarkers kept = keptMetadata(cameraMarkers(), {picture.size(), false});
    const QByteArray bare = compressed(picture), carrying = compressed(picture, &kept);
    EXPECT_EQ(carrying.size() - bare.size(), markersByteCount(kept));
    const JpegMarkers read = readJpegMarkers(carrying);
    EXPECT_TRUE(read.icc == kept.icc && read.exif == kept.exif && read.xmp == kept.xmp && read.iptc == kept.iptc);
    // A profile over several segments, also one filling its last segment exactly (65519 bytes a segment).
    for (const qsizetype size : {150000, 2 * 65519}) {
        JpegMarkers large;
        large.icc = QByteArray(size, 'i');
        const QByteArray split = compressed(picture, &large);
        EXPECT_EQ(split.size() - bare.size(), markersByteCount(large)) << size;
        EXPECT_EQ(readJpegMarkers(split).icc, large.icc) << size;
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

TEST(PhotoMetadata, MalformedOrLoopingBlocksAreLeftOutAndTheRestKept)
{
    // IFD0 whose next-IFD offset points back at itself, and an entry whose sub-IFD is the same IFD again.
    const QByteArray looping("II\x2A\0\x08\0\0\0\x02\0\x69\x87\x04\0\x01\0\0\0\x08\0\0\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\x08\0\0\0", 38);
    const struct { const char* what; QByteArray exif; QByteArray xmp; } cases[] = {
        {"looping EXIF", looping, cameraXmp(6)},
        {"EXIF of junk", QByteArray(5000, '\xEE'), cameraXmp(6)},
        {"EXIF cut short", cameraExif(6, true).left(40), cameraXmp(6)},
        {"XMP of junk", cameraExif(6, true), QByteArray("<x:xmpmeta><unclosed", 20)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        JpegMarkers source = cameraMarkers();
        source.exif = c.exif;
        source.xmp = c.xmp;
        const JpegMarkers kept = keptMetadata(source, {QSize(10, 10), true});
        EXPECT_EQ(kept.icc, source.icc);
        EXPECT_EQ(kept.iptc, iptc);
        EXPECT_TRUE(kept.exif.isEmpty() || exifValue(exifOf(kept.exif), "Exif.Image.Orientation") != "6");
        compressed(testPicture(16, 16), &kept);
    }
}

namespace {

bool hasTag(const Exiv2::ExifData& data, const char* group, uint16_t tag)
{
    return std::any_of(data.begin(), data.end(), [&](const auto& d) { return d.groupName() == group && d.tag() == tag; });
}

QStringList xmpKeys(const QByteArray& packet)
{
    Exiv2::XmpData data;
    EXPECT_EQ(Exiv2::XmpParser::decode(data, packet.toStdString()), 0);
    QStringList keys;
    for (const auto& d : data)
        keys << QString::fromStdString(d.key());
    return keys;
}

// A Panasonic maker note (offsets from the TIFF header) with a city and an image quality.
QByteArray panasonicNote(quint32)
{
    return QByteArray("Panasonic\0\0\0", 12) + QByteArray("\x02\0" "\x01\0\x03\0\x01\0\0\0\x02\0\0\0" "\x6d\0\x07\0\x04\0\0\0Nara", 26);
}

// A Pentax maker note whose preview (length, offset from the TIFF header) lies at `preview`;
// the 16 bytes after the note are that preview when `preview` is 0.
std::function<QByteArray(quint32)> pentaxNote(quint32 preview)
{
    return [preview](quint32 at) {
        const quint32 offset = preview ? preview : at + 6 + 2 + 24 + 4;
        QByteArray note("AOC\0II\x02\0", 8);
        for (const auto& [tag, value] : {std::pair<quint16, quint32>{3, 16}, {4, offset}}) {
            note += char(tag) + QByteArray(1, '\0') + QByteArray("\x04\0\x01\0\0\0", 6);
            for (int i = 0; i < 4; ++i)
                note += char((value >> (8 * i)) & 0xFF);
        }
        return note + QByteArray(4, '\0') + QByteArray("\xFF\xD8preview-bytes", 16);
    };
}

} // namespace

// Blocks the program itself cannot use are not handed to other readers: a profile it cannot
// read, a Photoshop block whose resource claims more bytes than the block has.
TEST(PhotoMetadata, AProfileOrPhotoshopBlockFoundBrokenIsLeftOut)
{
    JpegMarkers source = cameraMarkers();
    source.icc = source.icc.left(200); // still says RGB, but ends inside its tag table
    const QByteArray good = photoshopBlock({{0x0404, iptcRecordWithPlaces()}});
    QByteArray impossible = good;
    impossible[14 + 4 + 2 + 2 + 1] = '\x7F'; // the size's second byte: megabytes
    source.iptc = impossible;
    JpegMarkers kept = keptMetadata(source, {QSize(8, 8), false});
    EXPECT_TRUE(kept.icc.isEmpty()) << "a profile that cannot be read was kept";
    EXPECT_TRUE(kept.iptc.isEmpty()) << "an impossible Photoshop block was kept";
    EXPECT_FALSE(kept.exif.isEmpty());
    source.iptc = good;
    source.icc = cameraMarkers().icc;
    kept = keptMetadata(source, {QSize(8, 8), false});
    EXPECT_EQ(kept.iptc + kept.icc, good + source.icc) << "sound blocks are not kept as they are";
}

// A preview the maker note points at outside the EXIF block (after the picture data) is not
// carried, nor its pointer (exiv2 cannot write this maker note anew, so it goes whole); one
// inside the block is kept with it.
TEST(PhotoMetadata, AMakerNotePreviewOutsideTheBlockLosesItsPointer)
{
    for (const quint32 preview : {0u, 60000u}) {
        SCOPED_TRACE(preview ? "outside" : "inside");
        JpegMarkers source;
        source.exif = exifWithMakerNote("PENTAX Corporation", pentaxNote(preview));
        ASSERT_TRUE(hasTag(exifOf(source.exif), "Pentax", 0x0004)) << "the maker note was not read as Pentax";
        const Exiv2::ExifData kept = exifOf(keptMetadata(source, {QSize(8, 8), false}).exif);
        EXPECT_EQ(exifValue(kept, "Exif.Image.Make"), "PENTAX Corporation");
        EXPECT_EQ(hasTag(kept, "Pentax", 0x0004) || hasTag(kept, "Pentax", 0x0003), preview == 0);
    }
}

// The extension goes with the packet that names it; pieces missing (or disagreeing) mean it
// cannot be carried, and then the packet no longer names it. Comments and density stay.
TEST(PhotoMetadata, ExtendedXmpCommentsAndDensityAreCarried)
{
    const QByteArray extension = extensionXmp();
    JpegMarkers source;
    source.xmp = xmpWithPlaces(guidOf(extension));
    source.extendedXmp = extendedXmpPieces(extension, 3);
    source.extendedXmp << extendedXmpPieces("<other/>", 1); // another GUID: not this packet's
    source.comments = {"first comment", QByteArray("\x00\xFF" "bytes", 7)};
    source.density = JpegMarkers::Density{1, 350, 72};
    const JpegMarkers kept = keptMetadata(source, {QSize(8, 8), false});
    EXPECT_EQ(kept.extendedXmp, source.extendedXmp.first(3));
    EXPECT_TRUE(xmpKeys(kept.xmp).contains("Xmp.xmpNote.HasExtendedXMP"));
    EXPECT_EQ(kept.comments, source.comments);
    EXPECT_TRUE(kept.density == source.density);

    const QImage picture = testPicture(40, 30);
    const QByteArray bare = compressed(picture), carrying = compressed(picture, &kept);
    EXPECT_EQ(carrying.size() - bare.size(), markersByteCount(kept));
    const JpegMarkers read = readJpegMarkers(carrying);
    EXPECT_TRUE(read.extendedXmp == kept.extendedXmp && read.comments == kept.comments && read.density == kept.density);

    source.extendedXmp.removeAt(1);
    const JpegMarkers cut = keptMetadata(source, {QSize(8, 8), false});
    EXPECT_TRUE(cut.extendedXmp.isEmpty());
    EXPECT_FALSE(xmpKeys(cut.xmp).contains("Xmp.xmpNote.HasExtendedXMP")) << "names an extension it does not carry";
    EXPECT_TRUE(xmpKeys(cut.xmp).contains("Xmp.dc.creator"));
}

// Asked to remove the location, coordinates and place names go from XMP of every schema,
// IPTC, a GPS block linked from the Exif IFD and a maker note; everything else stays.
TEST(PhotoMetadata, RemovingTheLocationLeavesNoPlaceAnywhere)
{
    JpegMarkers source;
    source.xmp = xmpWithPlaces();
    source.iptc = photoshopBlock({{0x0404, iptcRecordWithPlaces()}, {0x040C, "old thumbnail"}});
    source.exif = exifWithMakerNote("Panasonic", panasonicNote, true);
    ASSERT_TRUE(hasTag(exifOf(source.exif), "Panasonic", 0x006d)) << "the maker note was not read as Panasonic";
    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "location dropped" : "location kept");
        const JpegMarkers kept = keptMetadata(source, {QSize(8, 8), drop});
        const QStringList xmp = xmpKeys(kept.xmp);
        EXPECT_TRUE(xmp.contains("Xmp.dc.creator") && xmp.contains("Xmp.drone-dji.FlightYawDegree"));
        for (const QString& key : xmp)
            EXPECT_FALSE(drop && (key.contains("City") || key.contains("Location") || key.contains("GPS")
                                  || key.contains("Gps") || key.contains("State") || key.contains("Country")
                                  || key.contains("Altitude")))
                << key.toStdString();
        EXPECT_EQ(xmp.contains("Xmp.photoshop.City"), !drop);

        Exiv2::IptcData iptcData;
        const qsizetype record = kept.iptc.indexOf(QByteArray("\x1c\x02", 2));
        ASSERT_GT(record, 0);
        Exiv2::IptcParser::decode(iptcData, reinterpret_cast<const Exiv2::byte*>(kept.iptc.constData() + record),
                                  uint32_t(kept.iptc.size() - record));
        EXPECT_NE(iptcData.findKey(Exiv2::IptcKey("Iptc.Application2.ObjectName")), iptcData.end());
        for (const char* key : {"Iptc.Application2.City", "Iptc.Application2.SubLocation",
                                "Iptc.Application2.ProvinceState", "Iptc.Application2.CountryName"})
            EXPECT_EQ(iptcData.findKey(Exiv2::IptcKey(key)) != iptcData.end(), !drop) << key;
        EXPECT_FALSE(kept.iptc.contains("old thumbnail")) << "the Photoshop thumbnail is kept";

        const Exiv2::ExifData exif = exifOf(kept.exif);
        EXPECT_EQ(kept.exif.contains("WGS-84-KIRI"), !drop) << "the GPS block linked from the Exif IFD";
        EXPECT_EQ(hasTag(exif, "Panasonic", 0x006d), !drop) << "the maker note's city";
        EXPECT_TRUE(hasTag(exif, "Panasonic", 0x0001)) << "the maker note lost more than places";
    }
}
