#include "jpeg/colour_profile.h"

#include <algorithm>
#include <list>
#include <memory>
#include <mutex>

#include <QLoggingCategory>

#include <exiv2/exiv2.hpp>
#include <lcms2.h>

#include "jpeg/jpeg_markers.h"

namespace {

using LcmsProfile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;

// QImage's 32-bit pixels are native 0xAARRGGBB words.
constexpr cmsUInt32Number rgb32Format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
// A grey picture is held as RGB32 with three equal channels: one of them is
// read as the grey, the other bytes ride along as extra channels.
constexpr cmsUInt32Number greyInRgb32Format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    ? (COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3))
    : (COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3) | SWAPFIRST_SH(1));

void muteLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        cmsSetLogErrorHandler(nullptr);
    });
}

// The transform from the profile's space to sRGB on 32-bit pixels, or null
// when Little CMS cannot apply the profile. Without its one-pixel cache a
// transform may serve several threads at once.
std::shared_ptr<void> littleCmsTransform(const QByteArray& icc)
{
    const LcmsProfile source(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())), &cmsCloseProfile);
    const LcmsProfile srgb(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    if (!source || !srgb) {
        qWarning("colour profile cannot be read; colours shown as stored");
        return {};
    }
    // Read as a number: a damaged header may name no colour space the enum knows.
    const cmsUInt32Number space = cmsGetColorSpace(source.get());
    if (space != cmsSigRgbData && space != cmsSigGrayData) {
        qWarning("colour profile of a colour space other than RGB or grey not applied");
        return {};
    }
    const cmsUInt32Number in = space == cmsSigGrayData ? greyInRgb32Format : rgb32Format;
    // The intent the profile's maker chose, as its header names it.
    const cmsUInt32Number intent = cmsGetHeaderRenderingIntent(source.get());
    cmsHTRANSFORM transform = cmsCreateTransform(source.get(), in, srgb.get(), rgb32Format, intent, cmsFLAGS_NOCACHE);
    if (!transform) {
        qWarning("colour profile cannot be applied; colours shown as stored");
        return {};
    }
    return std::shared_ptr<void>(transform, &cmsDeleteTransform);
}

QImage convertedByLittleCms(const QImage& picture, void* transform)
{
    QImage out = picture.convertToFormat(QImage::Format_RGB32);
    if (out.isNull())
        return picture;
    out.detach();
    for (int y = 0; y < out.height(); ++y)
        cmsDoTransform(transform, out.constScanLine(y), out.scanLine(y), cmsUInt32Number(out.width()));
    return out;
}

} // namespace

ColourProfile ColourProfile::parsed(const QByteArray& icc)
{
    ColourProfile profile;
    const QColorSpace space = QColorSpace::fromIccProfile(icc);
    if (space.isValid()) {
        if (space != QColorSpace(QColorSpace::SRgb)) {
            profile.kind_ = Kind::Qt;
            profile.space_ = space;
        }
        return profile;
    }
    profile.transform_ = littleCmsTransform(icc);
    if (profile.transform_)
        profile.kind_ = Kind::LittleCms;
    else
        profile.broken_ = true;
    return profile;
}

ColourProfile ColourProfile::fromIcc(const QByteArray& icc)
{
    muteLibraries();
    if (icc.isEmpty())
        return {};
    struct Known {
        QByteArray icc;
        ColourProfile profile;
    };
    static std::mutex guard;
    static std::list<Known> recent; // the latest first
    constexpr std::size_t kept = 4;
    {
        const std::lock_guard lock(guard);
        const auto found = std::find_if(recent.begin(), recent.end(), [&](const Known& k) { return k.icc == icc; });
        if (found != recent.end()) {
            recent.splice(recent.begin(), recent, found);
            return found->profile;
        }
    }
    // Made outside the lock, so a picture on another thread need not wait.
    const ColourProfile profile = parsed(icc);
    const std::lock_guard lock(guard);
    recent.push_front({icc, profile});
    if (recent.size() > kept)
        recent.pop_back();
    return profile;
}

ColourProfile ColourProfile::of(const JpegMarkers& markers)
{
    if (!markers.icc.isEmpty())
        return fromIcc(markers.icc);
    ColourProfile profile;
    if (exifSaysAdobeRgb(markers.exif)) {
        profile.kind_ = Kind::Qt;
        profile.space_ = QColorSpace(QColorSpace::AdobeRgb);
    }
    return profile;
}

QImage ColourProfile::toSrgb(const QImage& picture) const
{
    try {
        switch (kind_) {
        case Kind::None:
            return picture;
        case Kind::Qt: {
            QImage out = picture;
            out.setColorSpace(space_);
            out.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
            out.setColorSpace(QColorSpace());
            return out.isNull() ? picture : out;
        }
        case Kind::LittleCms:
            return convertedByLittleCms(picture, transform_.get());
        }
    } catch (const std::bad_alloc&) {
        qWarning("no memory to convert the colours");
    }
    return picture;
}

std::optional<CmykToSrgb> CmykToSrgb::fromIcc(const QByteArray& icc)
{
    muteLibraries();
    if (icc.isEmpty())
        return std::nullopt;
    static std::mutex guard;
    static std::list<std::pair<QByteArray, std::shared_ptr<void>>> recent; // the latest first
    {
        const std::lock_guard lock(guard);
        const auto found = std::find_if(recent.begin(), recent.end(), [&](const auto& k) { return k.first == icc; });
        if (found != recent.end()) {
            recent.splice(recent.begin(), recent, found);
            if (!found->second)
                return std::nullopt;
            CmykToSrgb conversion;
            conversion.transform_ = found->second;
            return conversion;
        }
    }
    std::shared_ptr<void> transform;
    const LcmsProfile source(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())), &cmsCloseProfile);
    const LcmsProfile srgb(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    if (source && srgb && cmsGetColorSpace(source.get()) == cmsSigCmykData) {
        // The output's X byte is left alone by Little CMS and set afterwards.
        cmsHTRANSFORM made = cmsCreateTransform(source.get(), TYPE_CMYK_8_REV, srgb.get(), rgb32Format,
                                                cmsGetHeaderRenderingIntent(source.get()), cmsFLAGS_NOCACHE);
        if (made)
            transform = std::shared_ptr<void>(made, &cmsDeleteTransform);
    }
    if (!transform)
        qWarning("CMYK colour profile cannot be applied; inks converted without it");
    const std::lock_guard lock(guard);
    recent.emplace_front(icc, transform);
    if (recent.size() > 2)
        recent.pop_back();
    if (!transform)
        return std::nullopt;
    CmykToSrgb conversion;
    conversion.transform_ = transform;
    return conversion;
}

void CmykToSrgb::convertRow(const uchar* cmyk, QRgb* out, int width) const
{
    cmsDoTransform(transform_.get(), cmyk, out, cmsUInt32Number(width));
    for (int x = 0; x < width; ++x)
        out[x] |= 0xFF000000u;
}

bool exifSaysAdobeRgb(const QByteArray& exif)
{
    if (exif.isEmpty())
        return false;
    muteLibraries();
    try {
        Exiv2::ExifData data;
        Exiv2::ExifParser::decode(data, reinterpret_cast<const Exiv2::byte*>(exif.constData()), uint32_t(exif.size()));
        const auto space = data.findKey(Exiv2::ExifKey("Exif.Photo.ColorSpace"));
        const auto index = data.findKey(Exiv2::ExifKey("Exif.Iop.InteroperabilityIndex"));
        return space != data.end() && index != data.end() && space->count() > 0 && space->toLong() == 0xFFFF
            && index->toString().rfind("R03", 0) == 0;
    } catch (const std::exception&) {
        qWarning("EXIF block cannot be read");
        return false;
    }
}
