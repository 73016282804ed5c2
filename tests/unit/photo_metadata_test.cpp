// A re-compressed photo keeps what it carried, upright, at its new size, GPS as asked; bad blocks left out.
#include <QBuffer>

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

JpegMarkers cameraMarkers() { return {swappedRedGreenProfile(), cameraExif(6, true), cameraXmp(6), iptc}; }

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
