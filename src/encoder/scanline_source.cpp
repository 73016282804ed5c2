#include "encoder/scanline_source.h"

#include <algorithm>
#include <cstring>

#include "jpeg/libjpeg_support.h"

namespace {

constexpr std::uint32_t opaqueBits = 0xFF000000u;

std::uint32_t channel(std::uint32_t pixel, int shift)
{
    return (pixel >> shift) & 0xFFu;
}

// A premultiplied pixel shows over white as c + (255 - a) per channel; the
// clamp only matters for malformed pixels whose channel exceeds their alpha.
std::uint32_t premultipliedOverWhite(std::uint32_t pixel)
{
    const std::uint32_t uncovered = 255u - (pixel >> 24);
    std::uint32_t out = opaqueBits;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= std::min(255u, channel(pixel, shift) + uncovered) << shift;
    return out;
}

std::uint32_t straightOverWhite(std::uint32_t pixel)
{
    const std::uint32_t alpha = pixel >> 24;
    const std::uint32_t white = 255u * (255u - alpha);
    std::uint32_t out = opaqueBits;
    for (int shift = 0; shift <= 16; shift += 8)
        out |= ((channel(pixel, shift) * alpha + white + 127u) / 255u) << shift;
    return out;
}

bool rowIsOpaque(const std::uint32_t* pixels, int count)
{
    // One AND over the row keeps the common, fully opaque case to a single read.
    std::uint32_t common = ~0u;
    for (int x = 0; x < count; ++x)
        common &= pixels[x];
    return (common & opaqueBits) == opaqueBits;
}

} // namespace

ScanlineSource::ScanlineSource(const QImage& picture)
    : image_(picture)
{
    switch (picture.format()) {
    case QImage::Format_RGB32:
        layout_ = Layout::AsIs;
        colorSpace_ = nativeArgbSpace;
        break;
    case QImage::Format_ARGB32:
        layout_ = Layout::StraightOverWhite;
        colorSpace_ = nativeArgbSpace;
        break;
    case QImage::Format_ARGB32_Premultiplied:
        layout_ = Layout::PremultipliedOverWhite;
        colorSpace_ = nativeArgbSpace;
        break;
    case QImage::Format_RGB888:
        layout_ = Layout::AsIs;
        colorSpace_ = JCS_RGB;
        break;
    case QImage::Format_BGR888:
        layout_ = Layout::AsIs;
        colorSpace_ = JCS_EXT_BGR;
        break;
    case QImage::Format_RGBX8888:
        layout_ = Layout::AsIs;
        colorSpace_ = JCS_EXT_RGBX;
        break;
    case QImage::Format_Grayscale8:
        layout_ = Layout::Grey;
        colorSpace_ = JCS_RGB;
        break;
    case QImage::Format_Indexed8: {
        layout_ = Layout::Palette;
        colorSpace_ = nativeArgbSpace;
        // Indices beyond the colour table show as opaque black.
        palette_.fill(opaqueBits);
        const QList<QRgb> table = picture.colorTable();
        const auto count = std::min<qsizetype>(table.size(), palette_.size());
        for (qsizetype i = 0; i < count; ++i)
            palette_[static_cast<std::size_t>(i)] = straightOverWhite(table[i]);
        break;
    }
    default:
        // Rare formats (mono, 16-bit, 10-bit, float...) are converted whole once.
        image_ = picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                   : QImage::Format_RGB32);
        layout_ = picture.hasAlphaChannel() ? Layout::PremultipliedOverWhite : Layout::AsIs;
        colorSpace_ = nativeArgbSpace;
        break;
    }
    bytesPerPixel_ = colorSpace_ == JCS_RGB || colorSpace_ == JCS_EXT_BGR ? 3 : 4;
}

const JSAMPLE* ScanlineSource::row(int y, JSAMPLE* scratch) const
{
    const uchar* line = image_.constScanLine(y);
    const int count = image_.width();
    switch (layout_) {
    case Layout::AsIs:
        return line;
    case Layout::PremultipliedOverWhite:
    case Layout::StraightOverWhite: {
        const auto* pixels = reinterpret_cast<const std::uint32_t*>(line);
        if (rowIsOpaque(pixels, count))
            return line;
        auto* out = reinterpret_cast<std::uint32_t*>(scratch);
        if (layout_ == Layout::PremultipliedOverWhite)
            std::transform(pixels, pixels + count, out, premultipliedOverWhite);
        else
            std::transform(pixels, pixels + count, out, straightOverWhite);
        return scratch;
    }
    case Layout::Palette: {
        auto* out = reinterpret_cast<std::uint32_t*>(scratch);
        for (int x = 0; x < count; ++x)
            out[x] = palette_[line[x]];
        return scratch;
    }
    case Layout::Grey:
        for (int x = 0; x < count; ++x)
            std::memset(scratch + 3 * x, line[x], 3);
        return scratch;
    }
    return line;
}
