#include "decoder/picture_source.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "files/native_file.h"
#include "files/native_names.h"
#include "jpeg/colour_profile.h"
#include "decoder/jpeg_decoder.h"
#include "decoder/picture_loader.h"

namespace {

FileStamp stampFromStat(const struct stat& info)
{
    const qint64 modifiedNs = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return FileStamp{qint64(info.st_size), modifiedNs, quint64(info.st_ino)};
}

// The stamp of the very handle the file is read through.
FileStamp stampOf(const ReadOnlyFile& file, const QString& path)
{
    struct stat info {};
    if (::fstat(file.descriptor(), &info) != 0)
        throwForErrno(errno, path);
    return stampFromStat(info);
}

// Read in pieces, so that a stop requested meanwhile ends the read within one piece.
QByteArray readWhole(const ReadOnlyFile& file, const QString& path, std::stop_token stop)
{
    constexpr qint64 piece = qint64(8) << 20;
    QByteArray bytes;
    bytes.reserve(file.size());
    while (bytes.size() < file.size()) {
        if (stop.stop_requested())
            throw DecodeCancelled();
        const QByteArray read = file.peek(bytes.size(), std::min(piece, file.size() - bytes.size()));
        if (read.isEmpty())
            break;
        bytes.append(read);
    }
    if (bytes.size() != file.size())
        throw RunTimeError(RunTimeError::DeviceIO, "short read: " + path.toStdString());
    return bytes;
}

QByteArray readWhole(const QString& path, FileStamp& stamp, std::stop_token stop)
{
    ReadOnlyFile file(path);
    stamp = stampOf(file, path);
    return readWhole(file, path, stop);
}

// A JPEG is decoded straight from the file and its bytes are read after, so a
// progressive one's coefficients (about 2 bytes a sample) and the bytes are
// never held at once. Empty when the file changed meanwhile.
std::optional<ShownPicture> decodeJpegFirst(const ReadOnlyFile& file, const QString& path, const FileStamp& stamp,
                                            QSize box, std::stop_token stop, QByteArray& bytes)
{
    const int copy = ::dup(file.descriptor());
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(copy >= 0 ? ::fdopen(copy, "rb") : nullptr, &std::fclose);
    if (!stream) {
        if (copy >= 0)
            ::close(copy);
        throw RunTimeError(RunTimeError::OutOfMemory, "cannot open a stream on the file");
    }
    ShownPicture shown;
    try {
        shown.picture = decodeJpegStream(stream.get(), box, &shown.natural, stop);
    } catch (const std::bad_alloc&) {
        throw RunTimeError(RunTimeError::OutOfMemory, "out of memory loading a picture");
    }
    bytes = readWhole(file, path, stop);
    if (!(stampOf(file, path) == stamp))
        return std::nullopt;
    return shown;
}

} // namespace

FileStamp stampOf(const QString& path)
{
    struct stat info {};
    if (::stat(native_names::encode(path).constData(), &info) != 0)
        return FileStamp{};
    return stampFromStat(info);
}

QImage PictureSource::decodeFull(std::stop_token stop) const
{
    if (keepsBytes())
        return decodePicture(bytes_, QSize(), nullptr, stop);
    FileStamp now;
    const QByteArray bytes = readWhole(path_, now, stop);
    if (!(now == stamp_))
        throw FileChangedError();
    return decodePicture(bytes, QSize(), nullptr, stop);
}

ShownPicture readForView(const QString& path, QSize box, std::stop_token stop, qint64 keptBytesCap)
{
    ReadOnlyFile file(path);
    FileStamp stamp = stampOf(file, path);
    QByteArray bytes;
    std::optional<ShownPicture> read;
    const QByteArray head = file.peek(0, 18);
    if (!looksLikeAPicture(head))
        throw RunTimeError(RunTimeError::InvalidPicture, "not a picture: " + path.toStdString());
    if (head.startsWith("\xFF\xD8\xFF"))
        read = decodeJpegFirst(file, path, stamp, box, stop, bytes);
    if (!read) { // not a JPEG, or one written to meanwhile: the pixels come from the bytes read
        if (bytes.isNull())
            bytes = readWhole(file, path, stop);
        stamp = stampOf(file, path);
        read.emplace();
        read->picture = decodePicture(bytes, box, &read->natural, stop);
    }
    ShownPicture shown = std::move(*read);
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
