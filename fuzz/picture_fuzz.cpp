// Any bytes through the picture loader: it returns a picture or throws
// RunTimeError, never anything else. The source-quality estimate reads the
// same bytes and must simply answer. The bytes go to an in-memory file,
// since the loader opens a path.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QString>

#include "decoder/picture_loader.h"
#include "encoder/quality_estimate.h"
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
    return 0;
}
