#include "encoder/jpeg_compressor.h"

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <mutex>
#include <new>
#include <vector>

#include <QIODevice>

#include <jerror.h>
#include <jpeglib.h>

#include "decoder/jpeg_markers.h"
#include "decoder/libjpeg_support.h"
#include "decoder/quantization_tables.h"
#include "encoder/coefficient_quantizer.h"
#include "encoder/parallel_bands.h"
#include "encoder/prepared_picture.h"
#include "encoder/scanline_source.h"

namespace {

constexpr std::size_t outputBufferSize = 64 * 1024;

struct DeviceDestination {
    jpeg_destination_mgr manager; // first member, as above
    QIODevice* device;
    JOCTET* buffer;
    bool writeFailed;
    bool outOfMemory;
};

// The state read after a jump lives outside the frame that called setjmp, so
// none of it is left indeterminate by the jump.
struct Session {
    jpeg_compress_struct cinfo;
    JpegErrorTrap trap; // jumps back to compressTrapped
    DeviceDestination destination;
};

// Warnings and traces would go to stderr; the result says all a caller needs.
void discardMessage(j_common_ptr) {}

DeviceDestination& destinationOf(j_compress_ptr cinfo)
{
    return *reinterpret_cast<DeviceDestination*>(cinfo->dest);
}

// Writes the buffer's first `count` bytes or records why not. Exceptions must
// not travel through libjpeg's C frames, so they stop here.
bool writeBuffer(DeviceDestination& dest, std::size_t count) noexcept
{
    try {
        const auto size = static_cast<qint64>(count);
        if (dest.device->write(reinterpret_cast<const char*>(dest.buffer), size) == size)
            return true;
        dest.writeFailed = true;
    } catch (const std::bad_alloc&) {
        dest.outOfMemory = true;
    } catch (...) {
        dest.writeFailed = true;
    }
    return false;
}

void initDestination(j_compress_ptr cinfo)
{
    DeviceDestination& dest = destinationOf(cinfo);
    dest.buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_large)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, outputBufferSize));
    dest.manager.next_output_byte = dest.buffer;
    dest.manager.free_in_buffer = outputBufferSize;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    DeviceDestination& dest = destinationOf(cinfo);
    if (!writeBuffer(dest, outputBufferSize))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest.manager.next_output_byte = dest.buffer;
    dest.manager.free_in_buffer = outputBufferSize;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    DeviceDestination& dest = destinationOf(cinfo);
    if (!writeBuffer(dest, outputBufferSize - dest.manager.free_in_buffer))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

QuantValues valuesOf(const quantization::Table& base, int quality)
{
    QuantValues values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = std::uint16_t(quantization::scaled(base[i], quality));
    return values;
}

// The tables of each component (luminance, then chrominance) for an encoding.
struct Quantization {
    QuantValues values[2];
    bool trellis;
    double lambda;
};

Quantization quantizationOf(const JpegEncoding& encoding, int quality)
{
    const bool perceptual = encoding.tables == QuantTables::Perceptual;
    return {{valuesOf(perceptual ? quantization::perceptualLuminance : quantization::annexKLuminance, quality),
             valuesOf(perceptual ? quantization::perceptualChrominance : quantization::annexKChrominance, quality)},
            encoding.trellis, trellisLambda};
}

void configure(jpeg_compress_struct& cinfo, const PreparedPicture& picture, const Quantization& quantization,
               HuffmanTables tables)
{
    const bool grey = picture.sampling == ChromaSampling::Grey;
    cinfo.image_width = static_cast<JDIMENSION>(picture.width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.height);
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, grey ? JCS_GRAYSCALE : JCS_YCbCr);
    // Already scaled and within 8 bits: added as they are.
    for (int slot = 0; slot < (grey ? 1 : 2); ++slot) {
        unsigned int values[DCTSIZE2];
        std::copy(quantization.values[slot].begin(), quantization.values[slot].end(), values);
        jpeg_add_quant_table(&cinfo, slot, values, 100, TRUE);
    }
    cinfo.optimize_coding = tables == HuffmanTables::Optimized ? TRUE : FALSE;
    cinfo.write_JFIF_header = TRUE;
    for (std::size_t c = 0; c < picture.components.size(); ++c) {
        cinfo.comp_info[c].h_samp_factor = picture.components[c].samplingX;
        cinfo.comp_info[c].v_samp_factor = picture.components[c].samplingY;
    }
}

// libjpeg's arrays of quantized blocks, one row pointer per block row, all in memory.
struct CoefficientRows {
    std::vector<JBLOCKROW> rows[3];
};

void requestArrays(jpeg_compress_struct& cinfo, const PreparedPicture& picture, jvirt_barray_ptr* arrays)
{
    const auto common = reinterpret_cast<j_common_ptr>(&cinfo);
    for (std::size_t c = 0; c < picture.components.size(); ++c) {
        const PreparedComponent& component = picture.components[c];
        const auto roundUp = [](int n, int m) { return JDIMENSION((n + m - 1) / m * m); };
        arrays[c] = (*cinfo.mem->request_virt_barray)(common, JPOOL_IMAGE, TRUE,
                                                      roundUp(component.widthInBlocks, component.samplingX),
                                                      roundUp(component.heightInBlocks, component.samplingY),
                                                      JDIMENSION(component.samplingY));
    }
}

void findRows(jpeg_compress_struct& cinfo, const PreparedPicture& picture, jvirt_barray_ptr* arrays,
              CoefficientRows& rows)
{
    const auto common = reinterpret_cast<j_common_ptr>(&cinfo);
    for (std::size_t c = 0; c < picture.components.size(); ++c)
        for (int row = 0; row < picture.components[c].heightInBlocks; ++row)
            rows.rows[c].push_back((*cinfo.mem->access_virt_barray)(common, arrays[c], JDIMENSION(row), 1, TRUE)[0]);
}

// Quantizes one band (an MCU row) of every component into libjpeg's arrays.
void quantizeBand(const PreparedPicture& picture, const Quantization& quantization, const CoefficientRows& rows,
                  int band)
{
    for (std::size_t c = 0; c < picture.components.size(); ++c) {
        const PreparedComponent& component = picture.components[c];
        const QuantValues& values = quantization.values[c == 0 ? 0 : 1];
        const AcRateModel& rate = standardAcRate(c == 0);
        const int perBand = component.samplingY; // block rows of an MCU row
        for (int row = band * perBand; row < (band + 1) * perBand && row < component.heightInBlocks; ++row)
            for (int column = 0; column < component.widthInBlocks; ++column) {
                JCOEF* levels = rows.rows[c][std::size_t(row)][column];
                if (quantization.trellis)
                    trellisBlock(component.at(column, row), values, rate, quantization.lambda, levels);
                else
                    roundBlock(component.at(column, row), values, levels);
            }
    }
}

// The payloads were made ahead, outside the jump's reach; each fits its segment.
struct MarkerPayloads {
    QByteArray exif, xmp;
    const JpegMarkers* markers;
};

MarkerPayloads payloadsOf(const JpegMarkers* markers)
{
    MarkerPayloads payloads{{}, {}, markers};
    if (!markers)
        return payloads;
    if (!markers->exif.isEmpty())
        payloads.exif = QByteArray(jpeg_markers::exifSignature, 6) + markers->exif;
    if (!markers->xmp.isEmpty())
        payloads.xmp = QByteArray(jpeg_markers::xmpSignature, sizeof jpeg_markers::xmpSignature) + markers->xmp;
    return payloads;
}

void writeMarker(jpeg_compress_struct& cinfo, int code, const QByteArray& payload)
{
    if (!payload.isEmpty())
        jpeg_write_marker(&cinfo, code, reinterpret_cast<const JOCTET*>(payload.constData()),
                          static_cast<unsigned int>(payload.size()));
}

void writeMarkers(jpeg_compress_struct& cinfo, const MarkerPayloads& payloads)
{
    if (!payloads.markers)
        return;
    writeMarker(cinfo, JPEG_APP0 + 1, payloads.exif);
    writeMarker(cinfo, JPEG_APP0 + 1, payloads.xmp);
    const QByteArray& icc = payloads.markers->icc;
    if (!icc.isEmpty())
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(icc.constData()),
                               static_cast<unsigned int>(icc.size()));
    writeMarker(cinfo, JPEG_APP0 + 13, payloads.markers->iptc);
}

CompressResult failureOf(const Session& session)
{
    const int code = session.trap.pub.msg_code;
    if (session.destination.outOfMemory || code == JERR_OUT_OF_MEMORY
        || code == JERR_NO_BACKING_STORE)
        return CompressResult::OutOfMemory;
    if (session.destination.writeFailed)
        return CompressResult::WriteFailed;
    return CompressResult::Rejected;
}

CompressResult compressTrapped(Session& session, const PreparedPicture& picture, const Quantization& quantization,
                               std::stop_token stop, const MarkerPayloads& payloads, HuffmanTables tables,
                               CoefficientRows& rows)
{
    if (setjmp(session.trap.jump) != 0)
        return failureOf(session);
    jpeg_create_compress(&session.cinfo);
    session.cinfo.dest = &session.destination.manager;
    configure(session.cinfo, picture, quantization, tables);
    jvirt_barray_ptr arrays[3] = {};
    requestArrays(session.cinfo, picture, arrays);
    jpeg_write_coefficients(&session.cinfo, arrays);
    writeMarkers(session.cinfo, payloads);
    findRows(session.cinfo, picture, arrays, rows);
    // An unfinished compression is simply destroyed by the caller.
    if (!forEachBand(picture.bandCount(), encodingThreads, stop,
                     [&](int band, int) { quantizeBand(picture, quantization, rows, band); }))
        return CompressResult::Abandoned;
    jpeg_finish_compress(&session.cinfo);
    return CompressResult::Done;
}

// One encoding with optimized tables at a time in the whole program: each
// keeps the coefficients of its whole picture, and the save dialog's preview
// and target search side by side would each hold their own beside the picture.
class EncodingTurn {
public:
    // False when stopped while waiting.
    bool take(const std::stop_token& stop)
    {
        std::unique_lock lock(mutex_);
        if (!free_.wait(lock, stop, [this] { return !taken_; }))
            return false;
        taken_ = true;
        return true;
    }
    void give()
    {
        {
            const std::lock_guard lock(mutex_);
            taken_ = false;
        }
        free_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable_any free_;
    bool taken_ = false;
};

EncodingTurn& encodingTurn()
{
    static EncodingTurn turn;
    return turn;
}

} // namespace

ChromaSampling chromaSamplingFor(int quality)
{
    return quality >= fullChromaQuality ? ChromaSampling::Full : ChromaSampling::Halved;
}

CompressResult compressPrepared(const PreparedPicture& picture, int quality, QIODevice& out, std::stop_token stop,
                                const JpegMarkers* markers, HuffmanTables tables, const JpegEncoding& encoding)
{
    const MarkerPayloads payloads = payloadsOf(markers);
    const Quantization quantization = quantizationOf(encoding, quality);
    CoefficientRows rows;
    for (auto& component : rows.rows)
        component.reserve(std::size_t(picture.components[0].heightInBlocks));
    Session session{};
    session.cinfo.err = installJpegErrorTrap(session.trap);
    session.trap.pub.output_message = discardMessage;
    session.destination.device = &out;
    session.destination.manager.init_destination = initDestination;
    session.destination.manager.empty_output_buffer = emptyOutputBuffer;
    session.destination.manager.term_destination = termDestination;

    const bool whole = tables == HuffmanTables::Optimized;
    if (whole && !encodingTurn().take(stop))
        return CompressResult::Abandoned;
    const CompressResult result = compressTrapped(session, picture, quantization, stop, payloads, tables, rows);
    // Safe after a failure at any point, even inside jpeg_create_compress.
    jpeg_destroy_compress(&session.cinfo);
    if (whole)
        encodingTurn().give();
    return result;
}

CompressResult compressJpeg(const ScanlineSource& source, int quality, QIODevice& out, std::stop_token stop,
                            const JpegMarkers* markers, HuffmanTables tables, const JpegEncoding& encoding)
{
    const std::shared_ptr<const PreparedPicture> picture
        = preparePicture(source, encoding.sampling.value_or(chromaSamplingFor(quality)), stop);
    if (!picture)
        return stop.stop_requested() ? CompressResult::Abandoned : CompressResult::OutOfMemory;
    return compressPrepared(*picture, quality, out, stop, markers, tables, encoding);
}
