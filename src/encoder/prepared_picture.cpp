#include "encoder/prepared_picture.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "encoder/parallel_bands.h"
#include "encoder/scanline_source.h"

namespace {

// libjpeg-turbo's RGB to YCbCr conversion: 16-bit fixed point, rounded as it
// rounds, so that the coefficients are the very ones its own encoder makes.
class YccConverter {
public:
    YccConverter()
    {
        constexpr long half = 1L << 15;
        const auto fix = [](double x) { return long(x * 65536.0 + 0.5); };
        for (long i = 0; i < 256; ++i) {
            yr_[i] = fix(0.29900) * i;
            yg_[i] = fix(0.58700) * i;
            yb_[i] = fix(0.11400) * i + half;
            cbr_[i] = -fix(0.16874) * i;
            cbg_[i] = -fix(0.33126) * i;
            // Cb's blue and Cr's red share this one.
            cbb_[i] = fix(0.5) * i + (128L << 16) + half - 1;
            crg_[i] = -fix(0.41869) * i;
            crb_[i] = -fix(0.08131) * i;
        }
    }
    void convert(int r, int g, int b, std::uint8_t& y, std::uint8_t& cb, std::uint8_t& cr) const
    {
        y = std::uint8_t((yr_[r] + yg_[g] + yb_[b]) >> 16);
        cb = std::uint8_t((cbr_[r] + cbg_[g] + cbb_[b]) >> 16);
        cr = std::uint8_t((cbb_[r] + crg_[g] + crb_[b]) >> 16);
    }

private:
    long yr_[256], yg_[256], yb_[256], cbr_[256], cbg_[256], cbb_[256], crg_[256], crb_[256];
};

const YccConverter& yccConverter()
{
    static const YccConverter converter;
    return converter;
}

struct ChannelOffsets {
    int red, green, blue, step;
};

ChannelOffsets offsetsOf(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_EXT_BGR:
        return {2, 1, 0, 3};
    case JCS_EXT_BGRX:
    case JCS_EXT_BGRA:
        return {2, 1, 0, 4};
    case JCS_EXT_RGBX:
    case JCS_EXT_RGBA:
        return {0, 1, 2, 4};
    case JCS_EXT_XRGB:
    case JCS_EXT_ARGB:
        return {1, 2, 3, 4};
    default:
        return {0, 1, 2, 3};
    }
}

// libjpeg's accurate integer forward DCT (Loeffler, Ligtenberg and Moschytz,
// 13-bit constants), whose output is 8 times the true coefficients.
void forwardDct(int* data)
{
    constexpr int constBits = 13;
    constexpr int pass1Bits = 2;
    constexpr long f0298 = 2446, f0390 = 3196, f0541 = 4433, f0765 = 6270, f0899 = 7373, f1175 = 9633,
                   f1501 = 12299, f1847 = 15137, f1961 = 16069, f2053 = 16819, f2562 = 20995, f3072 = 25172;
    const auto descale = [](long x, int n) { return int((x + (1L << (n - 1))) >> n); };
    for (int pass = 0; pass < 2; ++pass) {
        const int stride = pass == 0 ? 1 : 8;   // along a row, then down a column
        const int advance = pass == 0 ? 8 : 1;
        const int shift = pass == 0 ? constBits - pass1Bits : constBits + pass1Bits;
        for (int line = 0; line < 8; ++line) {
            int* d = data + line * advance;
            const long tmp0 = d[0] + d[7 * stride], tmp7 = d[0] - d[7 * stride];
            const long tmp1 = d[stride] + d[6 * stride], tmp6 = d[stride] - d[6 * stride];
            const long tmp2 = d[2 * stride] + d[5 * stride], tmp5 = d[2 * stride] - d[5 * stride];
            const long tmp3 = d[3 * stride] + d[4 * stride], tmp4 = d[3 * stride] - d[4 * stride];
            const long tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
            if (pass == 0) {
                d[0] = int((tmp10 + tmp11) << pass1Bits);
                d[4 * stride] = int((tmp10 - tmp11) << pass1Bits);
            } else {
                d[0] = descale(tmp10 + tmp11, pass1Bits);
                d[4 * stride] = descale(tmp10 - tmp11, pass1Bits);
            }
            long z1 = (tmp12 + tmp13) * f0541;
            d[2 * stride] = descale(z1 + tmp13 * f0765, shift);
            d[6 * stride] = descale(z1 - tmp12 * f1847, shift);
            z1 = tmp4 + tmp7;
            long z2 = tmp5 + tmp6, z3 = tmp4 + tmp6, z4 = tmp5 + tmp7;
            const long z5 = (z3 + z4) * f1175;
            const long t4 = tmp4 * f0298, t5 = tmp5 * f2053, t6 = tmp6 * f3072, t7 = tmp7 * f1501;
            z1 *= -f0899;
            z2 *= -f2562;
            z3 = z3 * -f1961 + z5;
            z4 = z4 * -f0390 + z5;
            d[7 * stride] = descale(t4 + z1 + z3, shift);
            d[5 * stride] = descale(t5 + z2 + z4, shift);
            d[3 * stride] = descale(t6 + z2 + z3, shift);
            d[stride] = descale(t7 + z1 + z4, shift);
        }
    }
}

// The block whose top left sample is plane[row][column], centred and transformed.
void transform(const std::uint8_t* const* rows, int column, CoefficientBlock& out)
{
    int data[64];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            data[y * 8 + x] = int(rows[y][column + x]) - 128;
    forwardDct(data);
    std::copy(std::begin(data), std::end(data), out.begin());
}

PreparedComponent componentOf(int widthInBlocks, int heightInBlocks, int sampling)
{
    PreparedComponent component;
    component.widthInBlocks = widthInBlocks;
    component.heightInBlocks = heightInBlocks;
    component.samplingX = component.samplingY = sampling;
    component.blocks.resize(std::size_t(widthInBlocks) * std::size_t(heightInBlocks));
    return component;
}

// Converts and transforms one band of 16 rows; returns false when a pixel was not grey.
class BandPreparer {
public:
    BandPreparer(const ScanlineSource& source, PreparedPicture& picture)
        : source_(source)
        , picture_(picture)
        , offsets_(offsetsOf(source.colorSpace()))
        , paddedWidth_((source.width() + 15) / 16 * 16)
        , scratch_(std::size_t(source.width()) * std::size_t(source.bytesPerPixel()))
    {
        for (auto& plane : planes_)
            plane.resize(std::size_t(paddedWidth_) * 16);
    }

    bool prepare(int top)
    {
        const bool grey = convertRows(top);
        transformBand(top);
        return grey;
    }

private:
    std::uint8_t* row(int plane, int y) { return planes_[plane].data() + std::size_t(y) * std::size_t(paddedWidth_); }

    // Rows below the picture repeat its last row, columns past its right edge
    // their row's last pixel, as libjpeg pads a picture to whole blocks.
    bool convertRows(int top)
    {
        const int width = source_.width();
        const YccConverter& ycc = yccConverter();
        bool grey = true;
        for (int r = 0; r < 16; ++r) {
            if (top + r >= source_.height()) {
                for (int p = 0; p < 3; ++p)
                    std::memcpy(row(p, r), row(p, r - 1), std::size_t(paddedWidth_));
                continue;
            }
            const JSAMPLE* pixels = source_.row(top + r, scratch_.data());
            std::uint8_t *y = row(0, r), *cb = row(1, r), *cr = row(2, r);
            for (int x = 0; x < width; ++x, pixels += offsets_.step) {
                const int red = pixels[offsets_.red], green = pixels[offsets_.green], blue = pixels[offsets_.blue];
                grey = grey && red == green && green == blue;
                ycc.convert(red, green, blue, y[x], cb[x], cr[x]);
            }
            for (int p = 0; p < 3; ++p)
                std::memset(row(p, r) + width, row(p, r)[width - 1], std::size_t(paddedWidth_ - width));
        }
        return grey;
    }

    void transformRows(PreparedComponent& component, int plane, int firstBlockRow, int count)
    {
        for (int b = 0; b < count && firstBlockRow + b < component.heightInBlocks; ++b) {
            const std::uint8_t* rows[8];
            for (int y = 0; y < 8; ++y)
                rows[y] = row(plane, b * 8 + y);
            CoefficientBlock* out = &component.blocks[std::size_t(firstBlockRow + b) * std::size_t(component.widthInBlocks)];
            for (int x = 0; x < component.widthInBlocks; ++x)
                transform(rows, x * 8, out[x]);
        }
    }

    void transformBand(int top)
    {
        std::vector<PreparedComponent>& components = picture_.components;
        transformRows(components[0], 0, top / 8, 2);
        if (picture_.sampling == ChromaSampling::Full) {
            transformRows(components[1], 1, top / 8, 2);
            transformRows(components[2], 2, top / 8, 2);
        } else {
            halve(top);
            transformRows(components[1], 1, top / 16, 1);
            transformRows(components[2], 2, top / 16, 1);
        }
    }

    // libjpeg's 2x2 average with its alternating bias of 1 and 2 into rows 0..7
    // of planes 1 and 2; chroma rows past the picture's repeat its last one.
    void halve(int top)
    {
        const int chromaRows = (source_.height() + 1) / 2;
        const int columns = picture_.components[1].widthInBlocks * 8;
        for (int p = 1; p < 3; ++p)
            for (int k = 0; k < 8; ++k) {
                std::uint8_t* out = row(p, k);
                if (top / 2 + k >= chromaRows) {
                    std::memcpy(out, row(p, k - 1), std::size_t(columns));
                    continue;
                }
                const std::uint8_t *upper = row(p, 2 * k), *lower = row(p, 2 * k + 1);
                for (int x = 0; x < columns; ++x)
                    out[x] = std::uint8_t((upper[2 * x] + upper[2 * x + 1] + lower[2 * x] + lower[2 * x + 1] + 1 + (x & 1)) >> 2);
            }
    }

    const ScanlineSource& source_;
    PreparedPicture& picture_;
    ChannelOffsets offsets_;
    int paddedWidth_;
    std::vector<JSAMPLE> scratch_;
    std::vector<std::uint8_t> planes_[3];
};

} // namespace

std::shared_ptr<const PreparedPicture> preparePicture(const ScanlineSource& source, ChromaSampling sampling,
                                                      std::stop_token stop, GreyFile greyFile)
{
    try {
        auto picture = std::make_shared<PreparedPicture>();
        picture->width = source.width();
        picture->height = source.height();
        picture->sampling = sampling == ChromaSampling::Full ? ChromaSampling::Full : ChromaSampling::Halved;
        const bool halved = picture->sampling == ChromaSampling::Halved;
        const int lumaWide = (picture->width + 7) / 8, lumaHigh = (picture->height + 7) / 8;
        picture->components.push_back(componentOf(lumaWide, lumaHigh, halved ? 2 : 1));
        for (int c = 1; c < 3; ++c)
            picture->components.push_back(halved ? componentOf((picture->width + 15) / 16, (picture->height + 15) / 16, 1)
                                                 : componentOf(lumaWide, lumaHigh, 1));

        const int bands = (picture->height + 15) / 16;
        std::vector<std::unique_ptr<BandPreparer>> preparers; // one per thread, made ahead
        for (int t = 0; t < encodingThreads; ++t)
            preparers.push_back(std::make_unique<BandPreparer>(source, *picture));
        std::atomic<bool> grey{true};
        const bool done = forEachBand(bands, encodingThreads, stop, [&](int band, int thread) {
            if (!preparers[std::size_t(thread)]->prepare(band * 16))
                grey = false;
        });
        if (!done)
            return nullptr;
        if (grey && greyFile == GreyFile::Allowed) {
            picture->sampling = ChromaSampling::Grey;
            picture->components.resize(1);
            picture->components[0].samplingX = picture->components[0].samplingY = 1;
        }
        return picture;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::shared_ptr<const PreparedPicture> PreparedPictureCache::get(const QImage& picture, ChromaSampling sampling,
                                                                 GreyFile grey)
{
    const std::lock_guard lock(mutex_);
    std::erase_if(made_, [](const Made& made) { return made.prepared.expired(); });
    // One still held, by the cache or by a job, comes back rather than being made twice.
    for (const Made& made : made_)
        if (const auto prepared = made.prepared.lock(); made.key == picture.cacheKey() && made.grey == grey
            && (made.asked == sampling || prepared->sampling == ChromaSampling::Grey))
            return kept_ = prepared;
    kept_.reset(); // its memory is free again before the next is made, unless in use
    const ScanlineSource source(picture);
    if (!source.isValid())
        return nullptr;
    kept_ = preparePicture(source, sampling, {}, grey);
    if (kept_)
        made_.push_back({picture.cacheKey(), sampling, grey, kept_});
    return kept_;
}

std::vector<std::size_t> PreparedPicture::codingOrder(std::size_t c, int band, int* filler) const
{
    const PreparedComponent& component = components[c];
    const bool interleaved = components.size() > 1;
    const int blocksX = interleaved ? component.samplingX : 1, blocksY = interleaved ? component.samplingY : 1;
    const int across = (component.widthInBlocks + blocksX - 1) / blocksX;
    std::vector<std::size_t> order;
    for (int mcu = 0; mcu < across; ++mcu)
        for (int y = 0; y < blocksY; ++y)
            for (int x = 0; x < blocksX; ++x) {
                const int column = mcu * blocksX + x, row = band * blocksY + y;
                if (column < component.widthInBlocks && row < component.heightInBlocks)
                    order.push_back(component.indexOf(column, row));
            }
    if (filler)
        *filler = across * blocksX * blocksY - int(order.size());
    return order;
}
