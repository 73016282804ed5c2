// Writes the photos the end-to-end photo test opens (photo.jpg, x-cmyk.jpg, y-grey.jpg), made as
// the unit tests make them, with their profiles beside them.
#include "photo_files.h"
#include "test_files.h"

namespace {

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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';
    const QByteArray swapped = swappedRedGreenProfile(), extension = extensionXmp();
    QByteArray segments = exifApp1(cameraExif(6, true)) + xmpApp1(cameraXmp(6, guidOf(extension)));
    for (const QByteArray& piece : extendedXmpPieces(extension, 2))
        segments += segment('\xE1', QByteArray("http://ns.adobe.com/xmp/extension/", 35) + piece);
    segments += iccSegments(swapped, 3, {2, 3, 1})
        + segment('\xED', photoshopBlock({{0x0404, iptcRecordWithPlaces()}, {0x040C, photoshopThumbnail()}}))
        + segment('\xFE', "Kiri comment");
    QByteArray red = texturedRedJpeg(300, 200);
    red.replace(13, 5, QByteArray("\x01\x01\x5E\x00\x48", 5)); // the JFIF density: dots per inch, 350 x 72
    const QByteArray press = swappingCmykProfile();
    const QByteArray cmyk = withSegments(cmykJpeg({255, 55, 255, 255}, false, 64, 48), iccSegments(press, 2));
    const bool written = writeBytes(folder + "photo.jpg", withSegments(red, segments)) && writeBytes(folder + "swapped.icc", swapped)
        && writeBytes(folder + "extension.xmp", extension) && writeBytes(folder + "x-cmyk.jpg", cmyk)
        && writeBytes(folder + "press.icc", press) && writeBytes(folder + "y-grey.jpg", linearGreyJpeg(48, 64))
        && writeBytes(folder + "grey.icc", linearGreyProfile());
    return written ? 0 : 1;
}
