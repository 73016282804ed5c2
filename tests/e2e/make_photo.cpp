// Writes the photos the end-to-end photo test opens (photo.jpg, x-cmyk.jpg, y-grey.jpg), made as
// the unit tests make them, with their profiles beside them.
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <vector>

#include <jpeglib.h>

#include "photo_files.h"
#include "test_files.h"

namespace {

QByteArray segment(char marker, const QByteArray& payload)
{
    const qsizetype length = payload.size() + 2;
    return QByteArray("\xFF", 1) + marker + char(length >> 8) + char(length & 0xFF) + payload;
}

// Photoshop's thumbnail resource: a 28-byte header (JPEG, 8 x 8, 24 bits, one plane), then the JPEG.
QByteArray photoshopThumbnail()
{
    const QByteArray jpeg = flatJpeg(8, 8, qRgb(0, 0, 255));
    QByteArray header;
    for (const quint32 value : {1u, 8u, 8u, 24u, 192u, quint32(jpeg.size())})
        for (int shift = 24; shift >= 0; shift -= 8)
            header += char((value >> shift) & 0xFF);
    return header + QByteArray("\0\x18\0\x01", 4) + jpeg;
}

QByteArray extendedXmpSegments(const QByteArray& extension)
{
    QByteArray segments;
    for (const QByteArray& piece : extendedXmpPieces(extension, 2))
        segments += segment('\xE1', QByteArray("http://ns.adobe.com/xmp/extension/", 35) + piece);
    return segments;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';
    const QByteArray swapped = swappedRedGreenProfile(), extension = extensionXmp();
    const QByteArray xmp = cameraXmp(6).replace(
        "tiff:Orientation=", "xmlns:xmpNote=\"http://ns.adobe.com/xmp/note/\" xmpNote:HasExtendedXMP=\"" + guidOf(extension)
                                 + "\" tiff:Orientation=");
    QByteArray red = texturedRedJpeg(300, 200);
    red.replace(13, 5, QByteArray("\x01\x01\x5E\x00\x48", 5)); // the JFIF density: dots per inch, 350 x 72
    const QByteArray photo = withSegments(
        red, exifApp1(cameraExif(6, true)) + xmpApp1(xmp) + extendedXmpSegments(extension) + iccSegments(swapped, 3, {2, 3, 1})
                 + segment('\xED', photoshopBlock({{0x0404, iptcRecordWithPlaces()}, {0x040C, photoshopThumbnail()}}))
                 + segment('\xFE', "Kiri comment"));

    const QByteArray press = swappingCmykProfile();
    const QByteArray cmyk = withSegments(cmykJpeg({255, 55, 255, 255}, false, 64, 48), iccSegments(press, 2));

    const QByteArray grey = linearGreyProfile();
    const std::vector<uchar> row(48, 128);
    const QByteArray greyJpeg = withSegments(
        libjpegEncoded(48, 64, 1, [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 100, TRUE); },
                       [&](int) { return row.data(); }),
        iccSegments(grey, 1));

    const bool written = writeBytes(folder + "photo.jpg", photo) && writeBytes(folder + "swapped.icc", swapped)
        && writeBytes(folder + "extension.xmp", extension) && writeBytes(folder + "x-cmyk.jpg", cmyk)
        && writeBytes(folder + "press.icc", press) && writeBytes(folder + "y-grey.jpg", greyJpeg)
        && writeBytes(folder + "grey.icc", grey);
    return written ? 0 : 1;
}
