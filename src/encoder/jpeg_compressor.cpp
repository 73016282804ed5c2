#include "encoder/jpeg_compressor.h"

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <csetjmp>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <mutex>
#include <new>

#include <QIODevice>

#include <jerror.h>
#include <jpeglib.h>

#include "jpeg/jpeg_markers.h"
#include "jpeg/libjpeg_support.h"
#include "encoder/coefficient_quantizer.h"
#include "encoder/huffman_tables.h"
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

void configure(jpeg_compress_struct& cinfo, const PreparedPicture& picture, const Quantization& quantization)
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
    // Optimized tables are fitted here from the quantized blocks, sparing libjpeg a pass of its own.
    cinfo.optimize_coding = FALSE;
    cinfo.write_JFIF_header = TRUE;
    for (std::size_t c = 0; c < picture.components.size(); ++c) {
        cinfo.comp_info[c].h_samp_factor = picture.components[c].samplingX;
        cinfo.comp_info[c].v_samp_factor = picture.components[c].samplingY;
    }
}

// Hands libjpeg the quantized blocks band by band: its arrays are one band
// tall, and reading one fills it from the compact levels.
struct BandFeeder {
    const PreparedPicture* picture;
    const QuantizedPicture* quantized;
    jvirt_barray_ptr arrays[3] = {};
    int filled = -1; // the band in the arrays
    JBLOCKARRAY (*access)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) = nullptr;
};

void fillBand(j_common_ptr common, BandFeeder& feeder, int band)
{
    const QuantizedPicture::Band& kept = feeder.quantized->bands[std::size_t(band)];
    std::size_t block = 0, next = 0, nextLarge = 0;
    for (std::size_t c = 0; c < feeder.picture->components.size(); ++c) {
        const PreparedComponent& component = feeder.picture->components[c];
        const JBLOCKARRAY rows = feeder.access(common, feeder.arrays[c], 0, JDIMENSION(component.samplingY), TRUE);
        const auto [first, end] = rowsInBand(component, band);
        for (int row = first; row < end; ++row)
            for (int column = 0; column < component.widthInBlocks; ++column) {
                JCOEF* levels = rows[row - first][column];
                std::fill(levels, levels + DCTSIZE2, JCOEF(0));
                levels[0] = feeder.quantized->dc[c][component.indexOf(column, row)];
                for (std::uint64_t mask = kept.masks[block++]; mask; mask &= mask - 1) {
                    const std::int8_t level = kept.levels[next++];
                    levels[std::countr_zero(mask)]
                        = level == QuantizedPicture::Band::escape ? kept.large[nextLarge++] : JCOEF(level);
                }
            }
    }
    feeder.filled = band;
}

JBLOCKARRAY accessBand(j_common_ptr common, jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION rows,
                       boolean writable)
{
    BandFeeder& feeder = *static_cast<BandFeeder*>(common->client_data);
    const auto* own = std::find(std::begin(feeder.arrays), std::end(feeder.arrays), array);
    if (array == nullptr || own == std::end(feeder.arrays))
        return feeder.access(common, array, startRow, rows, writable);
    const int samplingY = feeder.picture->components[std::size_t(own - feeder.arrays)].samplingY;
    const int band = int(startRow) / samplingY;
    if (band != feeder.filled)
        fillBand(common, feeder, band);
    return feeder.access(common, array, 0, rows, FALSE);
}

void requestArrays(jpeg_compress_struct& cinfo, BandFeeder& feeder)
{
    const auto common = reinterpret_cast<j_common_ptr>(&cinfo);
    for (std::size_t c = 0; c < feeder.picture->components.size(); ++c) {
        const PreparedComponent& component = feeder.picture->components[c];
        const auto samplingX = JDIMENSION(component.samplingX), samplingY = JDIMENSION(component.samplingY);
        const JDIMENSION width = (JDIMENSION(component.widthInBlocks) + samplingX - 1) / samplingX * samplingX;
        feeder.arrays[c] = (*cinfo.mem->request_virt_barray)(common, JPOOL_IMAGE, FALSE, width, samplingY, samplingY);
    }
    feeder.access = cinfo.mem->access_virt_barray;
    cinfo.mem->access_virt_barray = accessBand;
    cinfo.client_data = &feeder;
}

// A profile's colour space sits at bytes 16..19 of its header.
constexpr qsizetype iccSpaceOffset = 16;

// The payloads were made ahead, outside the jump's reach; each fits its segment.
struct MarkerPayloads {
    QByteArray exif, xmp;
    QList<QByteArray> extendedXmp;
    const JpegMarkers* markers;
    bool grey = false;
};

MarkerPayloads payloadsOf(const JpegMarkers* markers)
{
    MarkerPayloads payloads{{}, {}, {}, markers};
    if (!markers)
        return payloads;
    if (!markers->exif.isEmpty())
        payloads.exif = QByteArray(jpeg_markers::exifSignature, 6) + markers->exif;
    if (!markers->xmp.isEmpty())
        payloads.xmp = QByteArray(jpeg_markers::xmpSignature, sizeof jpeg_markers::xmpSignature) + markers->xmp;
    for (const QByteArray& piece : markers->extendedXmp)
        payloads.extendedXmp << QByteArray(jpeg_markers::extendedXmpSignature, sizeof jpeg_markers::extendedXmpSignature) + piece;
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
    for (const QByteArray& piece : payloads.extendedXmp)
        writeMarker(cinfo, JPEG_APP0 + 1, piece);
    // A profile of the other space would not describe the saved components.
    const QByteArray& icc = payloads.markers->icc;
    if (!icc.isEmpty() && icc.mid(iccSpaceOffset, 4) != (payloads.grey ? "RGB " : "GRAY"))
        jpeg_write_icc_profile(&cinfo, reinterpret_cast<const JOCTET*>(icc.constData()),
                               static_cast<unsigned int>(icc.size()));
    writeMarker(cinfo, JPEG_APP0 + 13, payloads.markers->iptc);
    for (const QByteArray& comment : payloads.markers->comments)
        writeMarker(cinfo, JPEG_COM, comment);
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
                               const MarkerPayloads& payloads, HuffmanTables tables, BandFeeder& feeder,
                               const AcSymbolCounts* acCounts)
{
    if (setjmp(session.trap.jump) != 0)
        return failureOf(session);
    jpeg_create_compress(&session.cinfo);
    session.cinfo.dest = &session.destination.manager;
    configure(session.cinfo, picture, quantization);
    if (payloads.markers && payloads.markers->density) {
        const JpegMarkers::Density& density = *payloads.markers->density;
        session.cinfo.density_unit = density.unit;
        session.cinfo.X_density = density.x;
        session.cinfo.Y_density = density.y;
    }
    requestArrays(session.cinfo, feeder);
    jpeg_write_coefficients(&session.cinfo, feeder.arrays);
    writeMarkers(session.cinfo, payloads);
    if (tables == HuffmanTables::Optimized)
        fitHuffmanTables(session.cinfo, picture, *feeder.quantized, acCounts);
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

GreyFile greyFileFor(const JpegMarkers* markers)
{
    if (!markers || markers->icc.isEmpty() || markers->icc.mid(iccSpaceOffset, 4) == "GRAY")
        return GreyFile::Allowed;
    return GreyFile::Refused;
}

ChromaSampling chromaSamplingFor(int quality)
{
    return quality >= fullChromaQuality ? ChromaSampling::Full : ChromaSampling::Halved;
}

CompressResult compressPrepared(const PreparedPicture& picture, int quality, QIODevice& out, std::stop_token stop,
                                const JpegMarkers* markers, HuffmanTables tables, const JpegEncoding& encoding)
{
    MarkerPayloads payloads = payloadsOf(markers);
    payloads.grey = picture.sampling == ChromaSampling::Grey;
    const Quantization quantization = quantizationOf(encoding, quality, picture.sampling);
    const bool whole = tables == HuffmanTables::Optimized;
    if (whole && !encodingTurn().take(stop))
        return CompressResult::Abandoned;
    CompressResult result = CompressResult::Abandoned;
    try {
        QuantizedPicture quantized(picture);
        AcSymbolCounts acCounts[2] = {};
        if (quantizeAll(picture, quantization, stop, quantized, acCounts)) {
            Session session{};
            session.cinfo.err = installJpegErrorTrap(session.trap);
            session.trap.pub.output_message = discardMessage;
            session.destination.device = &out;
            session.destination.manager.init_destination = initDestination;
            session.destination.manager.empty_output_buffer = emptyOutputBuffer;
            session.destination.manager.term_destination = termDestination;
            BandFeeder feeder{&picture, &quantized};
            result = compressTrapped(session, picture, quantization, payloads, tables, feeder, acCounts);
            // Safe after a failure at any point, even inside jpeg_create_compress.
            jpeg_destroy_compress(&session.cinfo);
        }
    } catch (const std::bad_alloc&) {
        result = CompressResult::OutOfMemory;
    }
    if (whole)
        encodingTurn().give();
    return result;
}

CompressResult compressJpeg(const ScanlineSource& source, int quality, QIODevice& out, std::stop_token stop,
                            const JpegMarkers* markers, HuffmanTables tables, const JpegEncoding& encoding)
{
    const std::shared_ptr<const PreparedPicture> picture
        = preparePicture(source, encoding.sampling.value_or(chromaSamplingFor(quality)), stop, greyFileFor(markers));
    if (!picture)
        return stop.stop_requested() ? CompressResult::Abandoned : CompressResult::OutOfMemory;
    return compressPrepared(*picture, quality, out, stop, markers, tables, encoding);
}
