#include "decoder/picture_source.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "files/native_file.h"
#include "files/native_names.h"
#include "decoder/colour_profile.h"
#include "decoder/picture_loader.h"

namespace {

FileStamp stampFromStat(const struct stat& info)
{
    const qint64 modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return FileStamp{qint64(info.st_size), modifiedNs, quint64(info.st_ino)};
}

// The whole file and the stamp of the very handle it was read through.
QByteArray readWhole(const QString& path, FileStamp& stamp)
{
    ReadOnlyFile file(path);
    struct stat info {};
    if (::fstat(file.descriptor(), &info) != 0)
        throwForErrno(errno, path);
    stamp = stampFromStat(info);
    QByteArray bytes = file.peek(0, file.size());
    if (bytes.size() != file.size())
        throw RunTimeError(RunTimeError::DeviceIO, "short read: " + path.toStdString());
    return bytes;
}

} // namespace

FileStamp stampOf(const QString& path)
{
    struct stat info {};
    if (::stat(native_names::encode(path).constData(), &info) != 0)
        return FileStamp{};
    return stampFromStat(info);
}

QImage PictureSource::decodeFull() const
{
    if (keepsBytes())
        return decodePicture(bytes_);
    FileStamp now;
    const QByteArray bytes = readWhole(path_, now);
    if (!(now == stamp_))
        throw FileChangedError();
    return decodePicture(bytes);
}

ShownPicture readForView(const QString& path, QSize box, std::stop_token stop, qint64 keptBytesCap)
{
    FileStamp stamp;
    QByteArray bytes = readWhole(path, stamp);
    ShownPicture shown;
    shown.picture = decodePicture(bytes, box, &shown.natural, stop);
    JpegMarkers markers = readJpegMarkers(bytes);
    // Converted here, on the reduced picture, where it costs least.
    const ColourProfile colour = ColourProfile::of(markers);
    if (colour.converts()) {
        shown.picture = colour.toSrgb(shown.picture);
        shown.converted = true;
    }
    const SourceQuality quality = estimateJpegQualityFromBytes(bytes);
    if (bytes.size() > keptBytesCap)
        bytes = QByteArray();
    shown.source = std::make_shared<const PictureSource>(path, stamp, std::move(bytes), std::move(markers), quality);
    return shown;
}
