#include "jpeg/jpeg_metadata.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

#include <QtEndian>

#include <exiv2/exiv2.hpp>

#include "jpeg/colour_profile.h"
#include "jpeg/metadata_blocks.h"

using namespace metadata_blocks;

namespace {

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
