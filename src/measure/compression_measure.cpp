#include "measure/compression_measure.h"

#include <new>
#include <vector>

#include <QBuffer>
#include <QPainter>

#include "jpeg/libjpeg_support.h"
#include "encoder/jpeg_compressor.h"
#include "encoder/scanline_source.h"

namespace {

constexpr int bandRows = 16;

// The state read after a jump lives outside the frame that called setjmp.
struct Reading {
    jpeg_decompress_struct cinfo;
    JpegErrorTrap trap;
};

void discardMessage(j_common_ptr) {}

// Rows y .. y + count of the original as opaque 32-bit pixels: the picture's
// own memory when it is that already, else a converted copy of the band alone.
QImage opaqueBand(const QImage& original, int y, int count)
{
    if (original.format() == QImage::Format_RGB32)
        return QImage(original.constScanLine(y), original.width(), count, original.bytesPerLine(), QImage::Format_RGB32);
    const QImage band = original.copy(0, y, original.width(), count);
    if (!band.hasAlphaChannel())
        return band.convertToFormat(QImage::Format_RGB32);
    QImage flat(band.size(), QImage::Format_RGB32);
    flat.fill(Qt::white); // transparency counts as over white, as the encoder sees it
    QPainter painter(&flat);
    painter.drawImage(0, 0, band);
    return flat;
}

// Out of the frame that reads, so its pictures never live across a jump;
// false when there was no memory for the band.
bool compareBand(FidelityMeter& meter, const QImage& original, int y, const QRgb* decoded, int count) noexcept
{
    try {
        const QImage band = opaqueBand(original, y, count);
        if (band.isNull())
            return false;
        for (int row = 0; row < count; ++row)
            meter.addRow(reinterpret_cast<const QRgb*>(band.constScanLine(row)),
                         decoded + std::size_t(row) * original.width());
        return true;
    } catch (...) {
        return false;
    }
}

// False when the stream does not read back at the original's size, or when stopped.
bool readAndCompare(Reading& reading, const QByteArray& jpeg, const QImage& original, FidelityMeter& meter, QRgb* band,
                    const std::stop_token& stop)
{
    jpeg_decompress_struct& cinfo = reading.cinfo;
    if (setjmp(reading.trap.jump) != 0)
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.constData()), (unsigned long)(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = nativeArgbSpace;
    jpeg_start_decompress(&cinfo);
    if (int(cinfo.output_width) != original.width() || int(cinfo.output_height) != original.height())
        return false;
    JSAMPROW rows[bandRows];
    while (cinfo.output_scanline < cinfo.output_height) {
        if (stop.stop_requested())
            return false;
        const int first = int(cinfo.output_scanline);
        const int count = std::min(bandRows, int(cinfo.output_height) - first);
        for (int i = 0; i < count; ++i)
            rows[i] = reinterpret_cast<JSAMPROW>(band + std::size_t(i) * original.width());
        int done = 0;
        while (done < count)
            done += int(jpeg_read_scanlines(&cinfo, rows + done, JDIMENSION(count - done)));
        if (!compareBand(meter, original, first, band, count))
            return false;
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

} // namespace

std::optional<CompressionMeasure> measureCompression(const QImage& original, int quality, QSize peaksSize,
                                                     std::stop_token stop, PreparedPictureCache* prepared)
{
    try {
        if (original.isNull())
            return std::nullopt;
        QByteArray jpeg;
        {
            QBuffer encoded(&jpeg);
            encoded.open(QIODevice::WriteOnly);
            // The tables change the bytes, never the pixels.
            if (prepared) {
                const std::shared_ptr<const PreparedPicture> ready = prepared->get(original, chromaSamplingFor(quality));
                if (!ready
                    || compressPrepared(*ready, quality, encoded, stop, nullptr, HuffmanTables::Standard) != CompressResult::Done)
                    return std::nullopt;
            } else {
                const ScanlineSource source(original);
                if (!source.isValid()
                    || compressJpeg(source, quality, encoded, stop, nullptr, HuffmanTables::Standard) != CompressResult::Done)
                    return std::nullopt;
            }
        }
        FidelityMeter meter(original.size(), fidelityReduction(original.size()), peaksSize);
        std::vector<QRgb> band(std::size_t(original.width()) * bandRows);
        Reading reading{};
        reading.cinfo.err = installJpegErrorTrap(reading.trap);
        reading.trap.pub.output_message = discardMessage;
        const bool read = readAndCompare(reading, jpeg, original, meter, band.data(), stop);
        jpeg_destroy_decompress(&reading.cinfo);
        if (!read)
            return std::nullopt;
        return CompressionMeasure{meter.fidelity(), meter.peaks()};
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}
