#include "test_files.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <jpeglib.h>

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

int modeOf(const QString& path)
{
    struct stat info {};
    return ::lstat(native_names::encode(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
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

int exitCodeUnderMemoryCap(long spare, const std::function<int()>& run)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::malloc_trim(0); // memory freed by earlier tests would otherwise serve within the cap
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t bytes = pages * rlim_t(::sysconf(_SC_PAGESIZE)) + rlim_t(spare);
        const rlimit capped{bytes, bytes};
        ::_exit(pages > 0 && ::setrlimit(RLIMIT_AS, &capped) == 0 ? run() : 100);
    }
    int wait = 0;
    return child > 0 && ::waitpid(child, &wait, 0) == child && WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
}

QByteArray exifSegment(int orientation, bool bigEndian)
{
    QByteArray tiff = bigEndian ? QByteArray("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\0\0\0\0\0\0\0", 26)
                                : QByteArray("II\x2A\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\0\0\0\0\0\0\0\0", 26);
    tiff[bigEndian ? 19 : 18] = char(orientation);
    return QByteArray("\xFF\xE1\0\x22", 4) + QByteArray("Exif\0\0", 6) + tiff;
}

QByteArray libjpegEncoded(int width, int height, int components, const std::function<void(jpeg_compress_struct&)>& setup,
                          const std::function<const unsigned char*(int)>& row)
{
    jpeg_compress_struct cinfo {};
    jpeg_error_mgr errors {};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    setup(cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW samples = const_cast<JSAMPLE*>(row(int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &samples, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}
