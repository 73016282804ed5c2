// Writes the photo the end-to-end photo test opens, made as the unit tests make
// them: FOLDER/photo.jpg (red in a profile that swaps red and green, split over
// APP2 segments out of order, EXIF with orientation 6, a thumbnail and GPS, XMP),
// and that profile as FOLDER/swapped.icc.
#include "photo_files.h"
#include "test_files.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]) + '/';
    const QByteArray swapped = swappedRedGreenProfile();
    const QByteArray photo = withSegments(texturedRedJpeg(300, 200), exifApp1(cameraExif(6, true)) + xmpApp1(cameraXmp(6))
                                                                          + iccSegments(swapped, 3, {2, 3, 1}));
    return writeBytes(folder + "photo.jpg", photo) && writeBytes(folder + "swapped.icc", swapped) ? 0 : 1;
}
