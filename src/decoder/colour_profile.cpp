#include "decoder/colour_profile.h"

#include <memory>
#include <mutex>

#include <QLoggingCategory>

#include <exiv2/exiv2.hpp>
#include <lcms2.h>

#include "decoder/jpeg_markers.h"

namespace {

using LcmsProfile = std::unique_ptr<void, decltype(&cmsCloseProfile)>;
using LcmsTransform = std::unique_ptr<void, decltype(&cmsDeleteTransform)>;

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

QImage convertedByLittleCms(const QImage& picture, const QByteArray& icc)
{
    const LcmsProfile source(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())), &cmsCloseProfile);
    const LcmsProfile srgb(cmsCreate_sRGBProfile(), &cmsCloseProfile);
    if (!source || !srgb)
        return picture;
    const cmsColorSpaceSignature space = cmsGetColorSpace(source.get());
    if (space != cmsSigRgbData && space != cmsSigGrayData) {
        qWarning("colour profile of a colour space other than RGB or grey not applied");
        return picture;
    }
    const cmsUInt32Number in = space == cmsSigGrayData ? greyInRgb32Format : rgb32Format;
    // The intent the profile's maker chose, as its header names it.
    const cmsUInt32Number intent = cmsGetHeaderRenderingIntent(source.get());
    const LcmsTransform transform(cmsCreateTransform(source.get(), in, srgb.get(), rgb32Format, intent, 0),
                                  &cmsDeleteTransform);
    if (!transform) {
        qWarning("colour profile cannot be applied");
        return picture;
    }
    QImage out = picture.convertToFormat(QImage::Format_RGB32);
    if (out.isNull())
        return picture;
    out.detach();
    for (int y = 0; y < out.height(); ++y)
        cmsDoTransform(transform.get(), out.constScanLine(y), out.scanLine(y), cmsUInt32Number(out.width()));
    return out;
}

} // namespace

ColourProfile ColourProfile::fromIcc(const QByteArray& icc)
{
    muteLibraries();
    ColourProfile profile;
    if (icc.isEmpty())
        return profile;
    const QColorSpace space = QColorSpace::fromIccProfile(icc);
    if (space.isValid()) {
        if (space != QColorSpace(QColorSpace::SRgb)) {
            profile.kind_ = Kind::Qt;
            profile.space_ = space;
        }
        return profile;
    }
    const LcmsProfile parsed(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())), &cmsCloseProfile);
    if (!parsed) {
        qWarning("colour profile cannot be read; colours shown as stored");
        return profile;
    }
    profile.kind_ = Kind::LittleCms;
    profile.icc_ = icc;
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
            return convertedByLittleCms(picture, icc_);
        }
    } catch (const std::bad_alloc&) {
        qWarning("no memory to convert the colours");
    }
    return picture;
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
