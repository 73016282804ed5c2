// Any bytes through the picture loader: it returns a picture or throws
// RunTimeError, never anything else. The source-quality estimate reads the
// same bytes and must simply answer, and so must the colour profile and the
// metadata a save keeps, which must each fit a JPEG segment. The bytes go to an in-memory file,
// since the loader opens a path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QString>

#include "jpeg/colour_profile.h"
#include "jpeg/jpeg_markers.h"
#include "decoder/picture_loader.h"
#include "jpeg/jpeg_metadata.h"
#include "jpeg/quality_estimate.h"
#include "runtime/run_time_error.h"

namespace {
int memoryFile = -1;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv); // finds Qt's GIF reader
    memoryFile = ::memfd_create("picture", 0);
    return memoryFile < 0 ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (::ftruncate(memoryFile, 0) != 0 || ::pwrite(memoryFile, data, size, 0) != ssize_t(size))
        std::abort();
    static const QString path = QStringLiteral("/proc/self/fd/%1").arg(memoryFile);
    try {
        const QImage picture = LoadPicture(path, (size & 1) ? QSize(64, 48) : QSize());
        if (picture.isNull()) {
            std::fprintf(stderr, "a null picture without an error\n");
            std::abort();
        }
    } catch (const RunTimeError&) {
    }
    const SourceQuality estimate = estimateJpegQuality(path);
    if (estimate.quality && (*estimate.quality < 1 || *estimate.quality > 100 || !estimate.jpeg))
        std::abort();

    const JpegMarkers markers = readJpegMarkers(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    QImage patch(8, 8, QImage::Format_RGB32);
    patch.fill(qRgb(200, 60, 40));
    if (ColourProfile::of(markers).toSrgb(patch).size() != patch.size())
        std::abort();
    const JpegMarkers kept = keptMetadata(markers, {QSize(8, 8), (size & 2) != 0});
    if (kept.exif.size() > 65527 || kept.xmp.size() > 65504 || kept.iptc.size() > 65533
        || (!kept.icc.isEmpty() && kept.icc != markers.icc))
        std::abort();
    return 0;
}
