#include "test_files.h"

#include <fcntl.h>

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include "files/native_names.h"

namespace {

// Opened by its native bytes, so a name that is not valid UTF-8 works too.
bool openNative(QFile& file, const QString& path, int flags, QIODevice::OpenMode mode)
{
    const int fd = ::open(native_names::encode(path).constData(), flags | O_CLOEXEC, 0644);
    return fd >= 0 && file.open(fd, mode, QFileDevice::AutoCloseHandle);
}

} // namespace

QByteArray readBytes(const QString& path)
{
    QFile file;
    return openNative(file, path, O_RDONLY, QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file;
    return openNative(file, path, O_WRONLY | O_CREAT | O_TRUNC, QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
           && file.flush();
}

QImage testPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x / 16 + y / 16) % 2 ? 180 : 60));
    return picture;
}

QByteArray encodedAs(const QImage& picture, const char* format, bool progressive)
{
    QBuffer buffer;
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    return buffer.open(QIODevice::WriteOnly) && writer.write(picture) ? buffer.data() : QByteArray();
}
