#include "encoder/jpeg_compressor.h"

#include <algorithm>
#include <condition_variable>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <mutex>
#include <new>
#include <vector>

#include <QIODevice>

#include <jerror.h>
#include <jpeglib.h>

#include "jpeg/jpeg_markers.h"
#include "jpeg/libjpeg_support.h"
#include "encoder/scanline_source.h"

namespace {

constexpr std::size_t outputBufferSize = 64 * 1024;
// With 4:2:0 sampling libjpeg consumes the picture in bands of 16 rows.
constexpr int rowsPerBatch = 16;

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

// True when every pixel is grey: libjpeg-turbo then makes the one component of
// the exact grey values (its luminance weights add up to one).
bool allGrey(const ScanlineSource& source)
{
    const int bytes = source.bytesPerPixel();
    const J_COLOR_SPACE space = source.colorSpace();
    const int first = space == JCS_EXT_XRGB || space == JCS_EXT_XBGR || space == JCS_EXT_ARGB || space == JCS_EXT_ABGR ? 1 : 0;
    // The three colour bytes as the low 24 bits of a loaded word.
    const int shift = 8 * (Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? first : 1 - first);
    const int width = source.width(), height = source.height();
    std::vector<JSAMPLE> scratch(std::size_t(width) * std::size_t(bytes));
    for (int y = 0; y < height; ++y) {
        const JSAMPLE* row = source.row(y, scratch.data());
        if (bytes == 4) {
            // Whole rows of words, without a branch a pixel: the compiler makes it vector code.
            std::uint32_t differs = 0;
            for (int x = 0; x < width; ++x) {
                std::uint32_t word;
                std::memcpy(&word, row + 4 * x, 4);
                word >>= shift;
                differs |= (word ^ (word >> 8)) & 0xFFFFu;
            }
            if (differs)
                return false;
            continue;
        }
        const JSAMPLE* p = row + first;
        for (int x = 0; x < width; ++x, p += bytes)
            if (p[0] != p[1] || p[1] != p[2])
                return false;
    }
    return true;
}

constexpr qsizetype iccSpaceOffset = 16;

// A grey picture is saved with one component unless it carries a colour
// profile, which would no longer describe it.
bool savedGrey(const ScanlineSource& source, const JpegMarkers* markers)
{
    const QByteArray space = markers ? markers->icc.mid(iccSpaceOffset, 4) : QByteArray();
    return (space.isEmpty() || space == "GRAY") && allGrey(source);
}

void configure(jpeg_compress_struct& cinfo, const ScanlineSource& source, int quality, HuffmanTables tables, bool grey)
{
    cinfo.image_width = static_cast<JDIMENSION>(source.width());
    cinfo.image_height = static_cast<JDIMENSION>(source.height());
    cinfo.input_components = source.bytesPerPixel();
    cinfo.in_color_space = source.colorSpace();
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, grey ? JCS_GRAYSCALE : JCS_YCbCr);
    // Forcing baseline keeps every quantisation value within 8 bits, even at quality 1.
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = tables == HuffmanTables::Optimized ? TRUE : FALSE;
    cinfo.write_JFIF_header = TRUE;
    if (grey)
        return;
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) {
        cinfo.comp_info[c].h_samp_factor = 1;
        cinfo.comp_info[c].v_samp_factor = 1;
    }
}

// False when stopped before every row was written.
bool writeRows(jpeg_compress_struct& cinfo, const ScanlineSource& source, std::stop_token stop)
{
    const auto rowBytes = static_cast<JDIMENSION>(source.width() * source.bytesPerPixel());
    const JSAMPARRAY scratch = (*cinfo.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, rowBytes, rowsPerBatch);
    JSAMPROW rows[rowsPerBatch];
    const int height = source.height();
    while (cinfo.next_scanline < cinfo.image_height) {
        if (stop.stop_requested())
            return false;
        const int first = static_cast<int>(cinfo.next_scanline);
        const int count = std::min(rowsPerBatch, height - first);
        // libjpeg only reads its input rows; the cast is for its C signature.
        for (int i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPROW>(source.row(first + i, scratch[i]));
        jpeg_write_scanlines(&cinfo, rows, static_cast<JDIMENSION>(count));
    }
    return true;
}

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

CompressResult compressTrapped(Session& session, const ScanlineSource& source, int quality,
                               std::stop_token stop, const MarkerPayloads& payloads, HuffmanTables tables)
{
    if (setjmp(session.trap.jump) != 0)
        return failureOf(session);
    jpeg_create_compress(&session.cinfo);
    session.cinfo.dest = &session.destination.manager;
    configure(session.cinfo, source, quality, tables, payloads.grey);
    if (payloads.markers && payloads.markers->density) {
        const JpegMarkers::Density& density = *payloads.markers->density;
        session.cinfo.density_unit = density.unit;
        session.cinfo.X_density = density.x;
        session.cinfo.Y_density = density.y;
    }
    jpeg_start_compress(&session.cinfo, TRUE);
    writeMarkers(session.cinfo, payloads);
    // An unfinished compression is simply destroyed by the caller.
    if (!writeRows(session.cinfo, source, stop))
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

CompressResult compressJpeg(const ScanlineSource& source, int quality, QIODevice& out,
                            std::stop_token stop, const JpegMarkers* markers, HuffmanTables tables)
{
    MarkerPayloads payloads = payloadsOf(markers);
    payloads.grey = savedGrey(source, markers);
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
    const CompressResult result = compressTrapped(session, source, quality, stop, payloads, tables);
    // Safe after a failure at any point, even inside jpeg_create_compress.
    jpeg_destroy_compress(&session.cinfo);
    if (whole)
        encodingTurn().give();
    return result;
}
