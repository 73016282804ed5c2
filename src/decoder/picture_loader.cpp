#include "decoder/picture_loader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>

#include "decoder/jpeg_decoder.h"
#include "files/native_file.h"
#include "decoder/picture_limits.h"
#include "decoder/picture_structure.h"
#include "runtime/run_time_error.h"

namespace {

enum class PictureKind { Unknown, Bmp, Jpeg, Gif };

PictureKind kindOf(const QByteArray& head)
{
    if (head.startsWith("\xFF\xD8\xFF"))
        return PictureKind::Jpeg;
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return PictureKind::Gif;
    // "BM" alone is common text; a BMP file header follows it with 4 reserved
    // bytes and the pixel offset, and its info header is at least 12 bytes.
    if (head.size() >= 18 && head.startsWith("BM")) {
        const auto* b = reinterpret_cast<const uchar*>(head.constData());
        const quint32 infoSize = quint32(b[14]) | quint32(b[15]) << 8 | quint32(b[16]) << 16 | quint32(b[17]) << 24;
        if (infoSize >= 12)
            return PictureKind::Bmp;
    }
    return PictureKind::Unknown;
}

} // namespace

bool looksLikeAPicture(const QByteArray& head) { return kindOf(head) != PictureKind::Unknown; }

namespace {

[[noreturn]] void notAPicture(const char* why) { throw RunTimeError(RunTimeError::InvalidPicture, why); }

QImage loadJpeg(ReadOnlyFile& file, QSize cover)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(::fdopen(file.descriptor(), "rb"), &std::fclose);
    if (!stream)
        throw RunTimeError(RunTimeError::OutOfMemory, "cannot open a stream on the file");
    file.release(); // the stream owns the descriptor now
    return decodeJpeg(stream.get(), cover);
}

// Qt's readers take BMP and GIF. Their own allocation limit is raised to the
// loader's limit; the size in the header is checked first all the same.
QImage readWithQt(QIODevice& device, const char* format);

QImage loadWithQt(ReadOnlyFile& file, const char* format)
{
    QFile device;
    if (!device.open(file.descriptor(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        throw RunTimeError(RunTimeError::PathFileAccess, "cannot read the file");
    file.release();
    return readWithQt(device, format);
}

QImage readWithQt(QIODevice& device, const char* format)
{
    static const bool limitSet = [] {
        QImageReader::setAllocationLimit(int(picture_limits::maxPixels * 4 / (1024 * 1024)) + 1);
        return true;
    }();
    Q_UNUSED(limitSet);
    const bool whole = std::strcmp(format, "gif") == 0 ? gifFirstFrameComplete(device) : bmpPixelsComplete(device);
    if (!whole)
        notAPicture("truncated picture");
    const bool gif = std::strcmp(format, "gif") == 0;
    // Qt's GIF reader paints every frame onto a picture of the logical
    // screen's size, which may be far larger than the first frame.
    const QSize screen = gif ? gifScreenSize(device) : QSize(1, 1);
    QImageReader reader(&device, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    QSize size = reader.size();
    size.setHeight(qAbs(size.height())); // a top-down BMP gives its height negative
    const qint64 fileSize = device.size();
    if (!picture_limits::allows(size.width(), size.height()) || !picture_limits::allows(screen.width(), screen.height()))
        notAPicture("picture size missing or beyond the limit");
    if (!picture_limits::fits(size.width(), size.height(), fileSize) || !picture_limits::fits(screen.width(), screen.height(), fileSize))
        notAPicture("picture too large for its file");
    QImage picture;
    if (!reader.read(&picture) || picture.isNull()) {
        if (reader.error() == QImageReader::DeviceError)
            throw RunTimeError(RunTimeError::DeviceIO, "read error");
        notAPicture("corrupt picture");
    }
    return picture;
}

} // namespace

QImage LoadPicture(const QString& path, QSize cover)
{
    try {
        ReadOnlyFile file(path);
        switch (kindOf(file.peek(0, 18))) {
        case PictureKind::Jpeg:
            return loadJpeg(file, cover);
        case PictureKind::Bmp:
            return loadWithQt(file, "bmp");
        case PictureKind::Gif:
            return loadWithQt(file, "gif");
        case PictureKind::Unknown:
            break;
        }
        notAPicture(file.size() == 0 ? "empty file" : "not a BMP, JPEG or GIF picture");
    } catch (const std::bad_alloc&) {
        throw RunTimeError(RunTimeError::OutOfMemory, "out of memory loading a picture");
    }
}

QImage decodePicture(const QByteArray& bytes, QSize box, QSize* natural, std::stop_token stop)
{
    try {
        QImage picture;
        switch (kindOf(bytes.left(18))) {
        case PictureKind::Jpeg:
            return decodeJpegBytes(bytes, box, natural, stop);
        case PictureKind::Bmp:
        case PictureKind::Gif: {
            QBuffer device(const_cast<QByteArray*>(&bytes));
            device.open(QIODevice::ReadOnly);
            picture = readWithQt(device, bytes.startsWith("BM") ? "bmp" : "gif");
            break;
        }
        case PictureKind::Unknown:
            notAPicture(bytes.isEmpty() ? "empty file" : "not a BMP, JPEG or GIF picture");
        }
        if (natural)
            *natural = picture.size();
        return picture;
    } catch (const std::bad_alloc&) {
        throw RunTimeError(RunTimeError::OutOfMemory, "out of memory loading a picture");
    }
}
