#pragma once

#include <array>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <QImage>

#include <jpeglib.h>

// Presents a picture to libjpeg as rows of one of its input colour spaces.
// Rows are read in place wherever the picture's memory layout is one that
// libjpeg-turbo takes as it is; otherwise each row is converted on its own
// into a scratch row (transparency composited over white, palette looked up,
// grey spread to RGB), so no second copy of a large picture is ever made for
// the common formats.
class ScanlineSource {
public:
    // The picture must be non-null. The source shares its pixels (QImage's
    // implicit sharing), so copies of the source are independent and safe.
    explicit ScanlineSource(const QImage& picture);

    // False when an uncommon format needed a whole-picture conversion and
    // there was no memory for it.
    bool isValid() const { return !image_.isNull(); }

    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    J_COLOR_SPACE colorSpace() const { return colorSpace_; }
    int bytesPerPixel() const { return bytesPerPixel_; }

    // Row y as libjpeg input: either the picture's own memory or `scratch`,
    // which must hold width() * bytesPerPixel() bytes. Never fails.
    const JSAMPLE* row(int y, JSAMPLE* scratch) const;

private:
    enum class Layout {
        AsIs,                  // already in colorSpace_
        PremultipliedOverWhite,
        StraightOverWhite,
        Palette,
        Grey,
    };

    QImage image_; // the picture, or its whole conversion for an uncommon format
    Layout layout_ = Layout::AsIs;
    J_COLOR_SPACE colorSpace_ = JCS_RGB;
    int bytesPerPixel_ = 3;
    // Palette entries already composited over white, in the 32-bit pixel layout.
    std::array<std::uint32_t, 256> palette_{};
};
