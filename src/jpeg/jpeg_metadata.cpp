#include "jpeg/jpeg_metadata.h"

#include <mutex>
#include <string>

#include <QLoggingCategory>

#include <exiv2/exiv2.hpp>

namespace {

// A segment's length field counts itself: 65535 - 2 bytes of payload at most.
constexpr qsizetype maxPayload = 65533;
constexpr qsizetype exifSignatureLength = 6;
constexpr qsizetype xmpSignatureLength = sizeof jpeg_markers::xmpSignature;
// libjpeg splits a profile into pieces of this size, each with a 14-byte header.
constexpr qsizetype iccPiece = maxPayload - 14;

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

template <typename Data>
void eraseWhere(Data& data, const auto& matches)
{
    for (auto it = data.begin(); it != data.end();)
        it = matches(*it) ? data.erase(it) : std::next(it);
}

QByteArray keptExif(const QByteArray& exif, const MetadataChanges& changes)
{
    Exiv2::ExifData data;
    const auto* bytes = reinterpret_cast<const Exiv2::byte*>(exif.constData());
    const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(data, bytes, uint32_t(exif.size()));
    if (data.empty())
        return {};
    const auto orientation = data.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (orientation != data.end())
        *orientation = uint16_t(1);
    Exiv2::ExifThumb(data).erase();
    for (const char* key : {"Exif.Image.ImageWidth", "Exif.Image.ImageLength"}) {
        const auto it = data.findKey(Exiv2::ExifKey(key));
        if (it != data.end())
            data.erase(it);
    }
    const auto setIfPresent = [&](const char* key, int value) {
        const auto it = data.findKey(Exiv2::ExifKey(key));
        if (it != data.end())
            *it = uint32_t(value);
    };
    setIfPresent("Exif.Photo.PixelXDimension", changes.size.width());
    setIfPresent("Exif.Photo.PixelYDimension", changes.size.height());
    if (changes.dropLocation)
        eraseWhere(data, [](const Exiv2::Exifdatum& d) {
            return d.groupName() == "GPSInfo" || d.key() == "Exif.Image.GPSTag";
        });
    // Written in place into a copy when the layout allows (maker notes keep
    // their offsets), else anew into the blob.
    QByteArray inPlace(exif.constData(), exif.size());
    Exiv2::Blob blob;
    const Exiv2::WriteMethod method = Exiv2::ExifParser::encode(
        blob, reinterpret_cast<Exiv2::byte*>(inPlace.data()), uint32_t(inPlace.size()), order, data);
    const QByteArray kept = method == Exiv2::wmNonIntrusive
        ? inPlace
        : QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
    if (kept.size() + exifSignatureLength > maxPayload) {
        qWarning("EXIF of %lld bytes does not fit its segment; left out", static_cast<long long>(kept.size()));
        return {};
    }
    return kept;
}

QByteArray keptXmp(const QByteArray& xmp, const MetadataChanges& changes)
{
    Exiv2::XmpData data;
    if (Exiv2::XmpParser::decode(data, xmp.toStdString()) != 0) {
        qWarning("XMP packet cannot be read; left out");
        return {};
    }
    bool changed = false;
    const auto setIfPresent = [&](const char* key, const std::string& value) {
        const auto it = data.findKey(Exiv2::XmpKey(key));
        if (it != data.end() && it->toString() != value) {
            it->setValue(value);
            changed = true;
        }
    };
    setIfPresent("Xmp.tiff.Orientation", "1");
    setIfPresent("Xmp.exif.PixelXDimension", std::to_string(changes.size.width()));
    setIfPresent("Xmp.exif.PixelYDimension", std::to_string(changes.size.height()));
    setIfPresent("Xmp.tiff.ImageWidth", std::to_string(changes.size.width()));
    setIfPresent("Xmp.tiff.ImageLength", std::to_string(changes.size.height()));
    if (changes.dropLocation) {
        const auto before = data.count();
        eraseWhere(data, [](const Exiv2::Xmpdatum& d) { return d.key().rfind("Xmp.exif.GPS", 0) == 0; });
        changed = changed || data.count() != before;
    }
    // An untouched packet is kept byte for byte, padding and all.
    QByteArray kept = xmp;
    if (changed) {
        std::string packet;
        if (Exiv2::XmpParser::encode(packet, data, Exiv2::XmpParser::useCompactFormat) != 0) {
            qWarning("XMP packet cannot be written; left out");
            return {};
        }
        kept = QByteArray::fromStdString(packet);
    }
    if (kept.size() + xmpSignatureLength > maxPayload) {
        qWarning("XMP packet of %lld bytes does not fit its segment; left out", static_cast<long long>(kept.size()));
        return {};
    }
    return kept;
}

template <typename Keep>
QByteArray keptOrNothing(const char* what, const QByteArray& block, const MetadataChanges& changes, Keep keep)
{
    if (block.isEmpty())
        return {};
    try {
        return keep(block, changes);
    } catch (const std::exception& error) {
        qWarning("%s left out: %s", what, error.what());
        return {};
    }
}

} // namespace

JpegMarkers keptMetadata(const JpegMarkers& source, const MetadataChanges& changes)
{
    prepareExiv2();
    JpegMarkers kept;
    // The saved stream is always colour: a grey or CMYK profile would not
    // describe it, and readers would reject or misread the file.
    constexpr qsizetype spaceOffset = 16;
    if (source.icc.mid(spaceOffset, 4) == "RGB ")
        kept.icc = source.icc;
    else if (!source.icc.isEmpty())
        qWarning("ICC profile of a colour space other than RGB left out of the saved file");
    kept.exif = keptOrNothing("EXIF", source.exif, changes, keptExif);
    kept.xmp = keptOrNothing("XMP", source.xmp, changes, keptXmp);
    if (source.iptc.size() <= maxPayload)
        kept.iptc = source.iptc;
    return kept;
}

qint64 markersByteCount(const JpegMarkers& markers)
{
    constexpr qint64 segmentHead = 4; // marker and length
    qint64 bytes = 0;
    if (!markers.exif.isEmpty())
        bytes += segmentHead + exifSignatureLength + markers.exif.size();
    if (!markers.xmp.isEmpty())
        bytes += segmentHead + xmpSignatureLength + markers.xmp.size();
    if (!markers.iptc.isEmpty())
        bytes += segmentHead + markers.iptc.size();
    if (!markers.icc.isEmpty()) {
        const qint64 pieces = (markers.icc.size() + iccPiece - 1) / iccPiece;
        bytes += pieces * (segmentHead + 14) + markers.icc.size();
    }
    return bytes;
}
