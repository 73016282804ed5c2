// The EXIF block a save keeps, and what the metadata's parts share of exiv2.
#include "jpeg/metadata_blocks.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>

#include <QtGlobal>

#include <exiv2/exiv2.hpp>

namespace metadata_blocks {

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

namespace {

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

} // namespace

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

} // namespace metadata_blocks
