#include "photo_files.h"

#include <QColorSpace>
#include <QPointF>

#include <exiv2/exiv2.hpp>
#include <jpeglib.h>

#include "test_files.h"

QByteArray swappedRedGreenProfile()
{
    const QColorSpace swapped(QPointF(0.3127, 0.3290), QPointF(0.30, 0.60), QPointF(0.64, 0.33), QPointF(0.15, 0.06),
                              QColorSpace::TransferFunction::SRgb);
    return swapped.iccProfile();
}

QByteArray iccSegments(const QByteArray& icc, int pieces, const QList<int>& order)
{
    const qsizetype piece = (icc.size() + pieces - 1) / pieces;
    QList<int> sequence = order;
    if (sequence.isEmpty())
        for (int n = 1; n <= pieces; ++n)
            sequence << n;
    QByteArray segments;
    for (int n : sequence) {
        const QByteArray data = icc.mid((n - 1) * piece, piece);
        const int length = int(2 + 14 + data.size());
        segments += QByteArray("\xFF\xE2", 2) + char(length >> 8) + char(length & 0xFF)
            + QByteArray("ICC_PROFILE\0", 12) + char(n) + char(pieces) + data;
    }
    return segments;
}

namespace {

QByteArray app1(const QByteArray& payload)
{
    const int length = int(2 + payload.size());
    return QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
}

} // namespace

QByteArray exifApp1(const QByteArray& exif) { return app1(QByteArray("Exif\0\0", 6) + exif); }

QByteArray xmpApp1(const QByteArray& packet) { return app1(QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + packet); }

QByteArray withSegments(const QByteArray& jpeg, const QByteArray& segments) { return jpeg.left(2) + segments + jpeg.mid(2); }

QByteArray flatJpeg(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(colour);
    return libjpegEncoded(width, height, 3, [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 100, TRUE); },
                          [&](int y) { return picture.constScanLine(y); });
}

QByteArray texturedRedJpeg(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(220, 30, (x * 7 + y * 13) % 41 + ((x / 4 + y / 4) % 2) * 20));
    return libjpegEncoded(width, height, 3, [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 95, TRUE); },
                          [&](int y) { return picture.constScanLine(y); });
}

QByteArray cameraExif(int orientation, bool gps, bool adobeRgb)
{
    Exiv2::ExifData data;
    data["Exif.Image.Make"] = camera::make;
    data["Exif.Image.Model"] = camera::model;
    data["Exif.Image.Orientation"] = uint16_t(orientation);
    data["Exif.Photo.DateTimeOriginal"] = camera::dateTaken;
    data["Exif.Photo.PixelXDimension"] = uint32_t(4000);
    data["Exif.Photo.PixelYDimension"] = uint32_t(3000);
    if (adobeRgb) {
        data["Exif.Photo.ColorSpace"] = uint16_t(0xFFFF);
        data["Exif.Iop.InteroperabilityIndex"] = "R03";
    }
    if (gps) {
        data["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        auto latitude = Exiv2::Value::create(Exiv2::unsignedRational);
        latitude->read(camera::latitude);
        data.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), latitude.get());
    }
    const QByteArray thumbnail = flatJpeg(16, 12, qRgb(0, 0, 255));
    Exiv2::ExifThumb(data).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                                            long(thumbnail.size()));
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
    return QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
}

QByteArray cameraXmp(int orientation)
{
    return QByteArrayLiteral("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                             "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                             "<rdf:Description rdf:about=\"\" xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\""
                             " xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\""
                             " tiff:Orientation=\"")
        + QByteArray::number(orientation)
        + QByteArrayLiteral("\" exif:GPSLatitude=\"") + camera::xmpLatitude
        + QByteArrayLiteral("\" exif:PixelXDimension=\"4000\">"
                            "<dc:creator><rdf:Seq><rdf:li>Kiri</rdf:li></rdf:Seq></dc:creator>"
                            "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>");
}
