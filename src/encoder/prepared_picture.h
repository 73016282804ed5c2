#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

#include <QImage>

class ScanlineSource;

// How the colour components are sampled: one component for a grey picture,
// chroma halved both ways (4:2:0) or kept whole (4:4:4).
enum class ChromaSampling { Grey, Halved, Full };

// One block's DCT coefficients before quantization, in natural order and at
// libjpeg's scale (8 times the true values).
using CoefficientBlock = std::array<std::int16_t, 64>;

struct PreparedComponent {
    int widthInBlocks = 0;
    int heightInBlocks = 0;
    int samplingX = 1; // the JPEG sampling factors
    int samplingY = 1;
    std::vector<CoefficientBlock> blocks; // row by row

    // Where a block sits in `blocks`, and in every other array of the component's blocks.
    std::size_t indexOf(int column, int row) const
    { return std::size_t(row) * std::size_t(widthInBlocks) + std::size_t(column); }
    const CoefficientBlock& at(int column, int row) const { return blocks[indexOf(column, row)]; }
};

// A picture made ready for quantization: colour conversion, downsampling and
// the forward DCT done once, exactly as libjpeg-turbo does them (its integer
// DCT), so that a quality step only quantizes and codes.
struct PreparedPicture {
    int width = 0;
    int height = 0;
    ChromaSampling sampling = ChromaSampling::Halved;
    std::vector<PreparedComponent> components; // Y, or Y, Cb and Cr

    // The height in pixels of the bands the encoder quantizes one at a time (an MCU row).
    int bandHeight() const { return sampling == ChromaSampling::Halved ? 16 : 8; }
    int bandCount() const { return (height + bandHeight() - 1) / bandHeight(); }
    // The blocks of component `c` in a band, in the order a scan codes them: MCU by
    // MCU when the components are interleaved, each MCU's blocks row by row. The
    // blocks libjpeg adds to fill the last MCUs (the DC before them, no AC) are
    // left out; `filler`, when given, counts them.
    std::vector<std::size_t> codingOrder(std::size_t c, int band, int* filler = nullptr) const;
};

// Whether a grey picture may become one component: not when it carries a
// colour profile for colour, which a grey file could not use.
enum class GreyFile { Allowed, Refused };

// `sampling` must be Halved or Full; a picture whose every pixel is grey comes
// out Grey whatever was asked, unless refused. Bands of rows are shared out
// over two threads. Empty when stopped or out of memory.
std::shared_ptr<const PreparedPicture> preparePicture(const ScanlineSource& source, ChromaSampling sampling,
                                                      std::stop_token stop = {}, GreyFile grey = GreyFile::Allowed);

// The last picture prepared, kept for the next quality asked of the same
// picture (a held slider key); a different picture or sampling replaces it.
// A preparation is not stopped: every quality needs it, so a key held down
// would otherwise stop it again at each step and never see it done.
class PreparedPictureCache {
public:
    // Empty when out of memory.
    std::shared_ptr<const PreparedPicture> get(const QImage& picture, ChromaSampling sampling,
                                               GreyFile grey = GreyFile::Allowed);

private:
    struct Made {
        qint64 key;
        ChromaSampling asked;
        GreyFile grey;
        std::weak_ptr<const PreparedPicture> prepared;
    };
    std::mutex mutex_;
    std::shared_ptr<const PreparedPicture> kept_; // the last one asked for
    std::vector<Made> made_;                      // every one made, found again while anything holds it
};
