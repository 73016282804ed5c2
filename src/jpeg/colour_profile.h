#pragma once

#include <memory>
#include <optional>

#include <QByteArray>
#include <QColorSpace>
#include <QImage>

struct JpegMarkers;

// The colour space a picture's values are in, and how they become sRGB, the
// display's assumption. Qt's QColorSpace applies matrix and grey profiles
// (and Adobe RGB named by EXIF); Little CMS applies what Qt cannot, such as
// LUT-based profiles. A CMYK profile is not applied here: the decoder makes
// sRGB of the ink values through it (CmykToSrgb). A profile that cannot be
// applied leaves the values as they are, with a log line.
class ColourProfile {
public:
    // sRGB, or nothing known: the values are shown as they are.
    ColourProfile() = default;
    // What a JPEG's markers say: its ICC profile; else the EXIF colour space
    // "uncalibrated" with the interoperability index "R03", which is Adobe RGB.
    static ColourProfile of(const JpegMarkers& markers);
    // The last few profiles are kept ready: photos of one camera or scanner
    // share theirs, and making a Little CMS transform costs tens of
    // milliseconds.
    static ColourProfile fromIcc(const QByteArray& icc);

    // False when the values are sRGB already or nothing can be done with them.
    bool converts() const { return kind_ != Kind::None; }
    // True for a profile that neither Qt nor Little CMS can read or apply.
    bool isBroken() const { return broken_; }

    // The picture (32-bit RGB) in sRGB; the picture itself when nothing
    // converts it or the conversion fails.
    QImage toSrgb(const QImage& picture) const;

private:
    enum class Kind { None, Qt, LittleCms };
    static ColourProfile parsed(const QByteArray& icc);

    Kind kind_ = Kind::None;
    bool broken_ = false;
    QColorSpace space_;               // for Kind::Qt
    std::shared_ptr<void> transform_; // for Kind::LittleCms: to sRGB, in place on 32-bit pixels
};

// Ink values made sRGB through a CMYK profile, by Little CMS. The values are
// taken as Adobe stores them (0 is full ink), as other readers take every
// four-component JPEG. Safe to use from several threads at once.
class CmykToSrgb {
public:
    // Nothing when the profile is not a CMYK one or cannot be applied (logged).
    // The last few are kept ready, like ColourProfile's.
    static std::optional<CmykToSrgb> fromIcc(const QByteArray& icc);
    void convertRow(const uchar* cmyk, QRgb* out, int width) const;

private:
    std::shared_ptr<void> transform_;
};

// True when an EXIF block (a TIFF header and what follows) names Adobe RGB
// the camera's way: ColorSpace 0xFFFF and InteroperabilityIndex "R03".
bool exifSaysAdobeRgb(const QByteArray& exif);
