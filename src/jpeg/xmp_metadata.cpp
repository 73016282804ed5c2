// The XMP packet a save keeps, and the extended XMP it names.
#include "jpeg/metadata_blocks.h"

#include <optional>

#include <QCryptographicHash>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

namespace metadata_blocks {
namespace {

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

} // namespace

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

} // namespace metadata_blocks
