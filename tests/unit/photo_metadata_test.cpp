// A re-compressed photo keeps what it carried, upright, at its new size, GPS as asked; bad blocks left out.
#include <QBuffer>
#include <QRegularExpression>

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
        const std::pair<const char*, std::string> values[] = {
            {"Exif.Photo.DateTimeOriginal", camera::dateTaken}, {"Exif.Image.Make", camera::make},
            {"Exif.Image.Model", camera::model}, {"Exif.Image.Orientation", "1"},
            {"Exif.Photo.PixelXDimension", "300"}, {"Exif.Photo.PixelYDimension", "400"}};
        for (const auto& [key, value] : values)
            EXPECT_EQ(exifValue(exif, key), value) << key;
        EXPECT_EQ(Exiv2::ExifThumbC(exif).copy().size_, 0);
        EXPECT_EQ(hasTag(exif, "GPSInfo"), !drop);
        EXPECT_EQ(exifValue(exif, "Exif.Image.GPSTag") != "(none)", !drop);
        EXPECT_TRUE(blocks.icc == cameraMarkers().icc && blocks.iptc == iptc);
        const QStringList xmp = xmpKeys(blocks.xmp);
        EXPECT_TRUE(xmp.contains("Xmp.tiff.Orientation=1") && xmp.contains("Xmp.exif.PixelXDimension=300")
                    && xmp.contains("Xmp.dc.creator=Kiri")) << xmp.join(' ').toStdString();
        EXPECT_EQ(xmp.contains(QString("Xmp.exif.GPSLatitude=") + camera::xmpLatitude), !drop);
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
    source.xmp = cameraXmp(1).replace("4000", "8");
    const QByteArray original(source.exif.constData(), source.exif.size()); // a copy of its own
    const JpegMarkers blocks = kept(source);
    EXPECT_EQ(exifValue(exifOf(blocks.exif), "Exif.Photo.DateTimeOriginal"), camera::dateTaken);
    EXPECT_EQ(blocks.xmp, source.xmp); // byte for byte, padding and all
    EXPECT_EQ(source.exif, original); // the source's own block is never written into
}

// Every kind of block, and a profile over several segments (one filling its last, 65519 bytes, exactly).
TEST(PhotoMetadata, SavedFileCarriesTheBlocksAndCountsTheirBytesExactly)
{
    const QByteArray extension = extensionXmp();
    JpegMarkers source = cameraMarkers();
    source.xmp = xmpWithPlaces(guidOf(extension));
    source.extendedXmp = extendedXmpPieces(extension, 3);
    source.comments = {"first comment", QByteArray("\x00\xFF" "bytes", 7)};
    source.density = JpegMarkers::Density{1, 350, 72};
    JpegMarkers large, exact;
    large.icc = QByteArray(150000, 'i');
    exact.icc = QByteArray(2 * 65519, 'e');
    large.density = exact.density = JpegMarkers::Density{2, 7, 5};
    const JpegMarkers all = kept(source);
    EXPECT_TRUE(all.icc == source.icc && all.iptc == iptc && all.extendedXmp == source.extendedXmp
                && all.comments == source.comments && all.density == source.density);
    const qint64 bare = compressed().size();
    for (const JpegMarkers& blocks : {all, large, exact}) {
        const QByteArray carrying = compressed(&blocks);
        EXPECT_EQ(carrying.size() - bare, markersByteCount(blocks));
        const JpegMarkers read = readJpegMarkers(carrying);
        EXPECT_TRUE(read.icc == blocks.icc && read.exif == blocks.exif && read.xmp == blocks.xmp && read.iptc == blocks.iptc
                    && read.extendedXmp == blocks.extendedXmp && read.comments == blocks.comments
                    && read.density == blocks.density);
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

// A Pentax maker note whose preview (length, offset from the TIFF header) lies at `preview`;
// the 16 bytes after the note are that preview when `preview` is 0.
std::function<QByteArray(quint32)> pentaxNote(quint32 preview)
{
    return [preview](quint32 at) {
        QByteArray note("AOC\0II\x02\0", 8);
        for (const auto& [tag, value] : {std::pair<quint16, quint32>{3, 16}, {4, preview ? preview : at + 6 + 2 + 24 + 4}}) {
            note += char(tag) + QByteArray(1, '\0') + QByteArray("\x04\0\x01\0\0\0", 6);
            for (int i = 0; i < 4; ++i)
                note += char((value >> (8 * i)) & 0xFF);
        }
        return note + QByteArray(4, '\0') + QByteArray("\xFF\xD8preview-bytes", 16);
    };
}

} // namespace

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
        const Exiv2::ExifData exif = exifOf(kept(source).exif);
        EXPECT_EQ(exifValue(exif, "Exif.Image.Make"), "PENTAX Corporation");
        EXPECT_EQ(hasTag(exif, "Pentax", 0x0004) || hasTag(exif, "Pentax", 0x0003), preview == 0);
    }
}

// The extension goes with the packet that names it; a piece missing means it cannot be carried,
// and then the packet no longer names it. Pieces of another GUID are not this packet's.
TEST(PhotoMetadata, ExtendedXmpGoesOnlyWholeWithThePacketNamingIt)
{
    const QByteArray extension = extensionXmp();
    JpegMarkers source;
    source.xmp = xmpWithPlaces(guidOf(extension));
    source.extendedXmp = extendedXmpPieces(extension, 3) << extendedXmpPieces("<other/>", 1);
    const JpegMarkers whole = kept(source);
    EXPECT_EQ(whole.extendedXmp, source.extendedXmp.first(3));
    EXPECT_TRUE(whole.xmp.contains("HasExtendedXMP"));
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
    source.xmp = xmpWithPlaces();
    source.iptc = photoshopBlock({{0x0404, iptcRecordWithPlaces()}, {0x040C, "old thumbnail"}});
    source.exif = exifWithMakerNote("Panasonic", panasonicNote, true);
    ASSERT_TRUE(hasTag(exifOf(source.exif), "Panasonic", 0x006d)) << "the maker note was not read as Panasonic";
    for (const bool drop : {false, true}) {
        SCOPED_TRACE(drop ? "location dropped" : "location kept");
        const JpegMarkers blocks = kept(source, drop);
        const QStringList xmp = xmpKeys(blocks.xmp);
        EXPECT_TRUE(xmp.contains("Xmp.dc.creator=Kiri") && xmp.contains("Xmp.drone-dji.FlightYawDegree=+12.3"));
        for (const QString& key : xmp)
            EXPECT_FALSE(drop && key.contains(QRegularExpression("City|Location|GPS|Gps|State|Country|Altitude|Nara|Japan")))
                << key.toStdString();
        EXPECT_EQ(xmp.contains("Xmp.photoshop.City=Nara"), !drop);

        EXPECT_TRUE(blocks.iptc.contains("Kiri"));
        for (const char* place : {"Nara", "Todaiji", "Kansai", "Japan"})
            EXPECT_EQ(blocks.iptc.contains(place), !drop) << place;
        EXPECT_FALSE(blocks.iptc.contains("old thumbnail")) << "the Photoshop thumbnail is kept";

        const Exiv2::ExifData exif = exifOf(blocks.exif);
        EXPECT_EQ(blocks.exif.contains("WGS-84-KIRI"), !drop) << "the GPS block linked from the Exif IFD";
        EXPECT_EQ(hasTag(exif, "Panasonic", 0x006d), !drop) << "the maker note's city";
        EXPECT_TRUE(hasTag(exif, "Panasonic", 0x0001)) << "the maker note lost more than places";
    }
}
