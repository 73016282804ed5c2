// Writes the photos the end-to-end photo test opens, made as the unit tests
// make them: FOLDER/photo.jpg (red in a profile that swaps red and green,
// split over APP2 segments out of order, EXIF with orientation 6, a thumbnail
// and GPS, XMP), FOLDER/adobe.jpg (an Adobe RGB patch named by EXIF alone),
// and the profiles as files: swapped.icc, adobe.icc, srgb.icc.
#include <cstdio>

#include <QColorSpace>
#include <QString>

#include "photo_files.h"
#include "test_files.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_photo FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';
    const QByteArray swapped = swappedRedGreenProfile();
    const QByteArray photo = withSegments(texturedRedJpeg(300, 200), exifApp1(cameraExif(6, true)) + xmpApp1(cameraXmp(6))
                                                                          + iccSegments(swapped, 3, {2, 3, 1}));
    const QByteArray adobe = withSegments(flatJpeg(64, 64, qRgb(173, 62, 45)), exifApp1(cameraExif(1, false, true)));
    const bool written = writeBytes(folder + "photo.jpg", photo) && writeBytes(folder + "adobe.jpg", adobe)
        && writeBytes(folder + "swapped.icc", swapped)
        && writeBytes(folder + "adobe.icc", QColorSpace(QColorSpace::AdobeRgb).iccProfile())
        && writeBytes(folder + "srgb.icc", QColorSpace(QColorSpace::SRgb).iccProfile());
    return written ? 0 : 1;
}
