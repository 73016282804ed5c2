#include "jpeg/jpeg_metadata.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QCryptographicHash>
#include <QLoggingCategory>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

#include "jpeg/colour_profile.h"

namespace {

// A segment's length field counts itself: 65535 - 2 bytes of payload at most.
constexpr qsizetype maxPayload = 65533;
constexpr qsizetype exifSignatureLength = 6;
constexpr qsizetype xmpSignatureLength = sizeof jpeg_markers::xmpSignature;
constexpr qsizetype extendedSignatureLength = sizeof jpeg_markers::extendedXmpSignature;
// libjpeg splits a profile into pieces of this size, each with a 14-byte header.
constexpr qsizetype iccPiece = maxPayload - 14;

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
        // Where the main packet names its extension; exiv2 does not know the schema.
        Exiv2::XmpProperties::registerNs("http://ns.adobe.com/xmp/note/", "xmpNote");
    });
}

template <typename Data>
void eraseWhere(Data& data, const auto& matches)
{
    for (auto it = data.begin(); it != data.end();)
        it = matches(*it) ? data.erase(it) : std::next(it);
}

// A property or tag name that holds a place: coordinates, or a place's name.
// Read in lower case; used for XMP properties of any schema (a drone's own)
// and for the tags of maker notes, whose names differ by maker.
bool namesAPlace(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    static const std::array<const char*, 8> parts = {"gps", "latitude", "longitude", "longtitude",
                                                     "location", "city", "landmark", "province"};
    static const std::array<const char*, 8> whole = {"state", "country", "countrycode", "countryname",
                                                     "sublocation", "altitude", "absolutealtitude", "relativealtitude"};
    return std::any_of(parts.begin(), parts.end(), [&](const char* p) { return name.find(p) != std::string::npos; })
        || std::any_of(whole.begin(), whole.end(), [&](const char* w) { return name == w; });
}

// The standard IFDs, whose tag names are fixed and hold no place but GPS.
bool standardGroup(const std::string& group)
{
    return group == "Image" || group == "Photo" || group == "Iop" || group == "Thumbnail" || group == "Image2"
        || group == "Image3" || group == "SubImage1" || group == "SubImage2" || group == "MpfInfo";
}

bool holdsLocation(const Exiv2::Exifdatum& d)
{
    // 0x8825 points at a GPS block from whichever IFD holds it, the Exif IFD too.
    if (d.groupName() == "GPSInfo" || d.tag() == 0x8825)
        return true;
    return !standardGroup(d.groupName()) && namesAPlace(d.tagName());
}

// Maker notes whose preview is a pointer and a length; a preview that lies
// outside the EXIF block (after the picture data) was not read with it.
struct PreviewPointer {
    const char* group;
    uint16_t start;
    uint16_t length;
};
constexpr PreviewPointer previewPointers[] = {
    {"Minolta", 0x0088, 0x0089},     {"SonyMinolta", 0x0088, 0x0089}, {"OlympusCs", 0x0101, 0x0102},
    {"Pentax", 0x0004, 0x0003},      {"PentaxDng", 0x0004, 0x0003},  {"NikonPreview", 0x0201, 0x0202},
    {"SamsungPreview", 0x0201, 0x0202},
};

// Removes the preview pointers that point at nothing the block carries, so
// no reader follows them into the new picture's data. True when any went.
bool dropPreviewsNotCarried(Exiv2::ExifData& data)
{
    bool dropped = false;
    const auto find = [&](const char* group, uint16_t tag) {
        return std::find_if(data.begin(), data.end(), [&](const Exiv2::Exifdatum& d) {
            return d.tag() == tag && d.groupName() == group;
        });
    };
    for (const PreviewPointer& p : previewPointers) {
        const auto start = find(p.group, p.start);
        const auto length = find(p.group, p.length);
        if (start == data.end() || length == data.end() || length->count() == 0 || length->toLong() <= 0
            || start->sizeDataArea() > 0)
            continue;
        qWarning("maker note preview (%s) lies outside the EXIF block; its pointer left out, "
                 "the maker note too where it cannot be written anew", p.group);
        data.erase(find(p.group, p.start));
        data.erase(find(p.group, p.length));
        dropped = true;
    }
    return dropped;
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
    bool removed = dropPreviewsNotCarried(data);
    if (changes.dropLocation) {
        const auto before = data.count();
        eraseWhere(data, holdsLocation);
        removed = removed || data.count() != before;
    }
    // Written in place into a copy when the layout allows (maker notes keep
    // their offsets), else anew into the blob. Writing in place cannot take
    // entries out of a maker note, so a removal writes anew.
    if (removed) {
        const auto raw = data.findKey(Exiv2::ExifKey("Exif.Photo.MakerNote"));
        if (raw != data.end())
            data.erase(raw);
    }
    QByteArray inPlace(exif.constData(), exif.size());
    Exiv2::Blob blob;
    const Exiv2::WriteMethod method = Exiv2::ExifParser::encode(
        blob, removed ? nullptr : reinterpret_cast<Exiv2::byte*>(inPlace.data()), removed ? 0 : uint32_t(inPlace.size()),
        order, data);
    const QByteArray kept = method == Exiv2::wmNonIntrusive
        ? inPlace
        : QByteArray(reinterpret_cast<const char*>(blob.data()), qsizetype(blob.size()));
    if (kept.size() + exifSignatureLength > maxPayload) {
        qWarning("EXIF of %lld bytes does not fit its segment; left out", static_cast<long long>(kept.size()));
        return {};
    }
    return kept;
}

bool xmpHoldsLocation(const Exiv2::Xmpdatum& d)
{
    // The top property of a key such as Xmp.iptcExt.LocationShown[1]/Iptc4xmpExt:City.
    std::string property = d.key().substr(d.key().find('.', 4) + 1);
    property = property.substr(0, property.find_first_of("[/"));
    return namesAPlace(property);
}

constexpr char extendedReference[] = "Xmp.xmpNote.HasExtendedXMP";

// The extended XMP the main packet names (its GUID, the MD5 of the whole
// extension), put together from its pieces; nothing when a piece is missing,
// overlaps or disagrees on the length.
std::optional<QByteArray> extensionOf(const QList<QByteArray>& pieces, const QByteArray& guid)
{
    constexpr qsizetype head = 32 + 4 + 4;
    // The pieces must fill the length they claim exactly, so a claim is never larger than what was read.
    qsizetype carried = 0;
    for (const QByteArray& piece : pieces)
        if (piece.size() >= head && piece.left(32) == guid)
            carried += piece.size() - head;
    QByteArray whole;
    std::vector<bool> filled;
    for (const QByteArray& piece : pieces) {
        if (piece.size() < head || piece.left(32) != guid)
            continue;
        const quint32 length = qFromBigEndian<quint32>(piece.constData() + 32);
        const quint32 offset = qFromBigEndian<quint32>(piece.constData() + 36);
        const qsizetype size = piece.size() - head;
        if (whole.isEmpty() && filled.empty()) {
            if (length == 0 || qsizetype(length) != carried)
                return std::nullopt;
            whole = QByteArray(qsizetype(length), '\0');
            filled.assign(length, false);
        }
        if (quint64(length) != quint64(whole.size()) || quint64(offset) + quint64(size) > length)
            return std::nullopt;
        for (qsizetype i = 0; i < size; ++i) {
            if (filled[std::size_t(offset) + std::size_t(i)])
                return std::nullopt;
            filled[std::size_t(offset) + std::size_t(i)] = true;
        }
        std::copy_n(piece.constData() + head, size, whole.data() + offset);
    }
    if (filled.empty() || std::find(filled.begin(), filled.end(), false) != filled.end())
        return std::nullopt;
    if (QCryptographicHash::hash(whole, QCryptographicHash::Md5).toHex().toUpper() != guid)
        return std::nullopt;
    return whole;
}

// The extended XMP segments kept, or nothing when they cannot be carried.
std::optional<QList<QByteArray>> carriedExtension(const QList<QByteArray>& pieces, const QByteArray& guid,
                                                  const MetadataChanges& changes)
{
    const std::optional<QByteArray> whole = extensionOf(pieces, guid);
    if (!whole) {
        qWarning("extended XMP missing or damaged; its reference removed");
        return std::nullopt;
    }
    if (changes.dropLocation) {
        Exiv2::XmpData extension;
        if (Exiv2::XmpParser::decode(extension, whole->toStdString()) != 0
            || std::any_of(extension.begin(), extension.end(), xmpHoldsLocation)) {
            qWarning("extended XMP holds a location; left out with its reference");
            return std::nullopt;
        }
    }
    QList<QByteArray> kept;
    for (const QByteArray& piece : pieces)
        if (piece.left(32) == guid)
            kept << piece;
    return kept;
}

struct KeptXmp {
    QByteArray packet;
    QList<QByteArray> extension;
};

KeptXmp keptXmp(const QByteArray& xmp, const QList<QByteArray>& extension, const MetadataChanges& changes)
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
        eraseWhere(data, xmpHoldsLocation);
        changed = changed || data.count() != before;
    }
    KeptXmp kept;
    if (const auto reference = data.findKey(Exiv2::XmpKey(extendedReference)); reference != data.end()) {
        const auto carried = carriedExtension(extension, QByteArray::fromStdString(reference->toString()), changes);
        if (carried) {
            kept.extension = *carried;
        } else {
            data.erase(reference);
            changed = true;
        }
    }
    // An untouched packet is kept byte for byte, padding and all.
    kept.packet = xmp;
    if (changed) {
        std::string packet;
        if (Exiv2::XmpParser::encode(packet, data, Exiv2::XmpParser::useCompactFormat) != 0) {
            qWarning("XMP packet cannot be written; left out");
            return {};
        }
        kept.packet = QByteArray::fromStdString(packet);
    }
    if (kept.packet.size() + xmpSignatureLength > maxPayload) {
        qWarning("XMP packet of %lld bytes does not fit its segment; left out", static_cast<long long>(kept.packet.size()));
        return {};
    }
    return kept;
}

// The resources of a Photoshop APP13 block ("Photoshop 3.0\0" and then
// "8BIM", an id, a padded Pascal name, a size and the padded data, again and again).
struct Resource {
    QByteArray type; // "8BIM" and its rare siblings
    quint16 id = 0;
    QByteArray name; // the Pascal name with its padding, as found
    QByteArray data;
};

// Nothing when a size points past the block: such a block is not carried.
std::optional<std::vector<Resource>> resourcesOf(const QByteArray& block)
{
    constexpr qsizetype signature = sizeof jpeg_markers::iptcSignature;
    std::vector<Resource> resources;
    qsizetype at = signature;
    const auto have = [&](qsizetype n) { return n >= 0 && block.size() - at >= n; };
    while (at < block.size()) {
        Resource r;
        if (!have(7))
            return std::nullopt;
        r.type = block.mid(at, 4);
        if (r.type != "8BIM" && r.type != "MeSa" && r.type != "PHUT" && r.type != "AgHg" && r.type != "DCSR")
            return std::nullopt;
        r.id = qFromBigEndian<quint16>(block.constData() + at + 4);
        at += 6;
        const qsizetype nameLength = (1 + quint8(block[at]) + 1) & ~qsizetype(1);
        if (!have(nameLength + 4))
            return std::nullopt;
        r.name = block.mid(at, nameLength);
        at += nameLength;
        const quint32 size = qFromBigEndian<quint32>(block.constData() + at);
        at += 4;
        if (!have(qsizetype(size)))
            return std::nullopt;
        r.data = block.mid(at, qsizetype(size));
        at += qsizetype(size);
        if (size % 2 == 1 && at < block.size())
            ++at;
        resources.push_back(std::move(r));
    }
    return resources;
}

QByteArray blockOf(const std::vector<Resource>& resources)
{
    QByteArray block(jpeg_markers::iptcSignature, sizeof jpeg_markers::iptcSignature);
    for (const Resource& r : resources) {
        block += r.type;
        block += char(r.id >> 8);
        block += char(r.id & 0xFF);
        block += r.name;
        const quint32 size = quint32(r.data.size());
        for (int shift = 24; shift >= 0; shift -= 8)
            block += char((size >> shift) & 0xFF);
        block += r.data;
        if (size % 2 == 1)
            block += '\0';
    }
    return block;
}

constexpr quint16 iptcResource = 0x0404;
constexpr quint16 thumbnailResources[] = {0x0409, 0x040C};
// Copies of EXIF and XMP inside the block: too rarely read to be worth editing, so they go with the location.
constexpr quint16 embeddedExifAndXmp[] = {0x0422, 0x0424};

QByteArray iptcWithoutLocation(const QByteArray& record)
{
    Exiv2::IptcData data;
    if (Exiv2::IptcParser::decode(data, reinterpret_cast<const Exiv2::byte*>(record.constData()), uint32_t(record.size())) != 0)
        throw std::runtime_error("IPTC record cannot be read");
    static const char* const places[] = {"Iptc.Application2.City", "Iptc.Application2.SubLocation",
                                         "Iptc.Application2.ProvinceState", "Iptc.Application2.CountryCode",
                                         "Iptc.Application2.CountryName", "Iptc.Application2.LocationCode",
                                         "Iptc.Application2.LocationName"};
    const auto before = data.size();
    eraseWhere(data, [](const Exiv2::Iptcdatum& d) {
        return std::any_of(std::begin(places), std::end(places), [&](const char* key) { return d.key() == key; });
    });
    if (data.size() == before)
        return record;
    const Exiv2::DataBuf encoded = Exiv2::IptcParser::encode(data);
    return QByteArray(reinterpret_cast<const char*>(encoded.pData_), qsizetype(encoded.size_));
}

// The block without its thumbnail (the old picture) and, when asked, without places.
QByteArray keptIptc(const QByteArray& block, const MetadataChanges& changes)
{
    std::optional<std::vector<Resource>> resources = resourcesOf(block);
    if (!resources) {
        qWarning("Photoshop block with an impossible resource size; left out");
        return {};
    }
    bool changed = false;
    for (auto it = resources->begin(); it != resources->end();) {
        const bool thumbnail = std::find(std::begin(thumbnailResources), std::end(thumbnailResources), it->id)
            != std::end(thumbnailResources);
        const bool copy = std::find(std::begin(embeddedExifAndXmp), std::end(embeddedExifAndXmp), it->id)
            != std::end(embeddedExifAndXmp);
        if (it->type == "8BIM" && (thumbnail || (changes.dropLocation && copy))) {
            it = resources->erase(it);
            changed = true;
            continue;
        }
        if (it->type == "8BIM" && it->id == iptcResource && changes.dropLocation) {
            const QByteArray record = iptcWithoutLocation(it->data);
            changed = changed || record != it->data;
            it->data = record;
        }
        ++it;
    }
    const QByteArray kept = changed ? blockOf(*resources) : block;
    if (kept.size() > maxPayload) {
        qWarning("Photoshop block of %lld bytes does not fit its segment; left out", static_cast<long long>(kept.size()));
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
    // The saved stream is colour, or grey for a grey picture: a CMYK profile
    // would not describe it (its picture is made sRGB when decoded), and
    // readers would reject or misread the file. A profile this program cannot
    // read or apply is not passed on to other readers.
    constexpr qsizetype spaceOffset = 16;
    if (!source.icc.isEmpty()) {
        const QByteArray space = source.icc.mid(spaceOffset, 4);
        if (space != "RGB " && space != "GRAY")
            qWarning("ICC profile of a colour space other than RGB or grey left out of the saved file");
        else if (ColourProfile::fromIcc(source.icc).isBroken())
            qWarning("ICC profile that cannot be read or applied left out of the saved file");
        else
            kept.icc = source.icc;
    }
    kept.exif = keptOrNothing("EXIF", source.exif, changes, keptExif);
    if (!source.xmp.isEmpty()) {
        try {
            const KeptXmp xmp = keptXmp(source.xmp, source.extendedXmp, changes);
            kept.xmp = xmp.packet;
            if (!kept.xmp.isEmpty())
                kept.extendedXmp = xmp.extension;
        } catch (const std::exception& error) {
            qWarning("XMP left out: %s", error.what());
        }
    }
    kept.iptc = keptOrNothing("Photoshop block", source.iptc, changes, keptIptc);
    kept.comments = source.comments;
    kept.density = source.density;
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
    for (const QByteArray& piece : markers.extendedXmp)
        bytes += segmentHead + extendedSignatureLength + piece.size();
    for (const QByteArray& comment : markers.comments)
        bytes += segmentHead + comment.size();
    if (!markers.icc.isEmpty()) {
        const qint64 pieces = (markers.icc.size() + iccPiece - 1) / iccPiece;
        bytes += pieces * (segmentHead + 14) + markers.icc.size();
    }
    return bytes;
}
