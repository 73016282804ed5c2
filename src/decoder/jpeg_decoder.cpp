#include "decoder/jpeg_decoder.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif
#include <sys/stat.h>

#include <QByteArrayView>

#include <jpeglib.h>
#include <jerror.h>

#include "jpeg/colour_profile.h"
#include "jpeg/exif_orientation.h"
#include "jpeg/jpeg_markers.h"
#include "decoder/picture_limits.h"
#include "jpeg/libjpeg_support.h"
#include "runtime/run_time_error.h"

namespace {

// libjpeg's default error handler ends the process; this one jumps back to
// the decoding step, which reports the failure as a run-time error.
using ErrorManager = JpegErrorTrap;

// Warnings that mean pixels are missing or wrong: the stream ended early or
// its entropy-coded data is broken. A damaged picture fails like any other
// corrupt file instead of being shown with grey or smeared blocks. Other
// warnings (stray bytes between markers, an unknown JFIF version) leave the
// pixels intact and are ignored, as other viewers do.
bool meansDamage(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        return true;
    default:
        return false;
    }
}

// A file that lacks only its end marker runs out while the last row of
// blocks is decoded; every pixel is there, so that one end is not damage.
// The input side tells where that is: the output side may be a row of blocks
// behind, as it is when smooth upsampling needs the row below.
bool endsInLastBlockRow(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor || cinfo->err->msg_code != JWRN_JPEG_EOF)
        return false;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (!d->progressive_mode && d->input_scan_number > 0
        && d->input_iMCU_row + 1 >= d->total_iMCU_rows)
        return true;
    return d->output_height > 0 && d->output_height - d->output_scanline <= JDIMENSION(d->max_v_samp_factor * DCTSIZE);
}

void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) // trace messages
        return;
    if (meansDamage(cinfo->err->msg_code) && !endsInLastBlockRow(cinfo)) {
        jpegErrorTrapOf(cinfo).damaged = true;
        jumpToJpegErrorTrap(cinfo);
    }
}

// libjpeg's progress hook with what it looks at.
struct Progress {
    jpeg_progress_mgr pub; // first member: libjpeg hands back a pointer to it
    std::stop_token stop;
    bool cancelled = false;
};

// Called between blocks of work, also while a progressive stream's scans are
// read in before the first row comes out: ends a stream that keeps adding
// scans, and the work of a caller that gave up. Both jump back like an error.
void onProgress(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    auto* progress = reinterpret_cast<Progress*>(cinfo->progress);
    if (progress->stop.stop_requested()) {
        progress->cancelled = true;
        std::longjmp(errors->jump, 1);
    }
    const int limit = picture_limits::maxJpegScans(qint64(d->image_width) * d->image_height);
    if (d->input_scan_number > limit) {
        errors->damaged = true;
        std::snprintf(errors->message, sizeof errors->message, "more than %d scans", limit);
        std::longjmp(errors->jump, 1);
    }
}

// A stream of several scans keeps every coefficient of the picture, 2 bytes
// per sample of each component.
qint64 coefficientMemory(const jpeg_decompress_struct& cinfo)
{
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&cinfo)))
        return 0;
    qint64 bytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        const qint64 columns = (qint64(component.width_in_blocks) + component.h_samp_factor - 1) / component.h_samp_factor * component.h_samp_factor;
        const qint64 rows = (qint64(component.height_in_blocks) + component.v_samp_factor - 1) / component.v_samp_factor * component.v_samp_factor;
        bytes += columns * rows * DCTSIZE2 * qint64(sizeof(JCOEF));
    }
    return bytes;
}

qint64 fileSizeOf(std::FILE* file)
{
    struct stat status {};
    return ::fstat(::fileno(file), &status) == 0 ? qint64(status.st_size) : 0;
}

// The steps below run under setjmp. They hold no C++ objects with
// destructors, so a jump out of libjpeg skips nothing.

// A file, or bytes in memory when file is null.
struct Source {
    std::FILE* file;
    const unsigned char* data;
    unsigned long size;
};

bool readHeader(jpeg_decompress_struct& cinfo, ErrorManager& errors, const Source& source)
{
    if (setjmp(errors.jump))
        return false;
    if (source.file)
        jpeg_stdio_src(&cinfo, source.file);
    else
        jpeg_mem_src(&cinfo, source.data, source.size);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    return true;
}

// The ICC profile of a CMYK picture, which the decoder itself applies; empty
// when there is none or it cannot be read.
QByteArray iccProfileOf(jpeg_decompress_struct& cinfo, ErrorManager& errors)
{
    qsizetype total = 0;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 2)
            total += qsizetype(m->data_length);
    if (total == 0 || total > jpeg_markers::maxIccBytes)
        return {};
    JOCTET* data = nullptr;
    unsigned int length = 0;
    if (setjmp(errors.jump))
        return {};
    if (!jpeg_read_icc_profile(&cinfo, &data, &length))
        return {};
    const QByteArray icc(reinterpret_cast<const char*>(data), qsizetype(length));
    std::free(data);
    return icc;
}

// The size the picture decodes at, after any scaling.
bool outputSize(jpeg_decompress_struct& cinfo, ErrorManager& errors)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_calc_output_dimensions(&cinfo);
    return true;
}

// Adobe writes CMYK inverted (0 is full ink) and marks the file with its
// APP14 marker. Other readers take every four-component JPEG that way, with
// the marker or without (a file without it read as plain ink shows black), so
// this one does too. Without a profile the inks are mixed as light.
void cmykRowToRgb32(const JSAMPLE* cmyk, QRgb* out, JDIMENSION width)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        const unsigned k = cmyk[3];
        out[x] = qRgb(int(cmyk[0] * k / 255), int(cmyk[1] * k / 255), int(cmyk[2] * k / 255));
    }
}

constexpr int stripRows = 16;

// Where decoded rows go. The EXIF turn is applied while the rows arrive, so
// the picture is never held twice: rows of an upright or flipped picture go
// straight to their place; rows of a turned picture are gathered in a strip
// and written as columns, 16 neighbouring pixels of each target row at a time.
struct Target {
    uchar* bits;
    qsizetype bytesPerLine;
    int orientation;      // 1 to 8
    JSAMPLE* strip;       // stripRows source rows, for the turned orientations
    JSAMPLE* cmykRow;     // one source row of CMYK samples, or null
    const CmykToSrgb* cmykProfile; // the picture's CMYK profile, or null
};

bool turns(int orientation) { return orientation >= 5; }
bool mirrorsRows(int orientation) { return orientation == 2 || orientation == 3; }
bool reversesRows(int orientation) { return orientation == 3 || orientation == 4; }

QRgb* uprightRow(const Target& target, JDIMENSION y, JDIMENSION height)
{
    const JDIMENSION row = reversesRows(target.orientation) ? height - 1 - y : y;
    return reinterpret_cast<QRgb*>(target.bits + qsizetype(row) * target.bytesPerLine);
}

// Source rows first..first+count of a W x H picture become columns of the
// H x W target: source (x, y) goes to column y (5, 8) or H-1-y (6, 7) of
// row x (5, 6) or W-1-x (7, 8).
void writeStripAsColumns(const Target& target, JDIMENSION first, int count, JDIMENSION width, JDIMENSION height)
{
    const bool columnsForward = target.orientation == 5 || target.orientation == 8;
    const bool rowsForward = target.orientation == 5 || target.orientation == 6;
    const auto* strip = reinterpret_cast<const QRgb*>(target.strip);
    for (JDIMENSION x = 0; x < width; ++x) {
        const JDIMENSION row = rowsForward ? x : width - 1 - x;
        QRgb* out = reinterpret_cast<QRgb*>(target.bits + qsizetype(row) * target.bytesPerLine);
        if (columnsForward) {
            for (int r = 0; r < count; ++r)
                out[first + r] = strip[r * width + x];
        } else {
            for (int r = 0; r < count; ++r)
                out[height - 1 - (first + r)] = strip[r * width + x];
        }
    }
}

// False on an error; `cancelled` true when the caller gave up between strips.
bool decodeRows(jpeg_decompress_struct& cinfo, ErrorManager& errors, const Target& target,
                std::stop_token stop, bool& cancelled)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_start_decompress(&cinfo);
    const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
    const bool turned = turns(target.orientation);
    JSAMPROW rows[stripRows];
    while (cinfo.output_scanline < height) {
        if (stop.stop_requested()) {
            cancelled = true;
            return true;
        }
        const JDIMENSION first = cinfo.output_scanline;
        const int wanted = int(qMin<JDIMENSION>(stripRows, height - first));
        for (int i = 0; i < wanted; ++i)
            rows[i] = turned ? target.strip + qsizetype(i) * width * 4
                             : reinterpret_cast<JSAMPLE*>(uprightRow(target, first + JDIMENSION(i), height));
        // libjpeg hands out a few rows per call; the strip is filled completely.
        while (cinfo.output_scanline < first + JDIMENSION(wanted)) {
            const int done = int(cinfo.output_scanline - first);
            if (target.cmykRow) {
                JSAMPROW cmyk[] = {target.cmykRow};
                jpeg_read_scanlines(&cinfo, cmyk, 1);
                auto* out = reinterpret_cast<QRgb*>(rows[done]);
                if (target.cmykProfile)
                    target.cmykProfile->convertRow(target.cmykRow, out, int(width));
                else
                    cmykRowToRgb32(target.cmykRow, out, width);
            } else {
                jpeg_read_scanlines(&cinfo, rows + done, JDIMENSION(wanted - done));
            }
        }
        if (turned) {
            writeStripAsColumns(target, first, wanted, width, height);
        } else if (mirrorsRows(target.orientation)) {
            for (int i = 0; i < wanted; ++i)
                std::reverse(reinterpret_cast<QRgb*>(rows[i]), reinterpret_cast<QRgb*>(rows[i]) + width);
        }
    }
    // Every pixel is in; jpeg_finish_decompress is skipped on purpose, since
    // its only work is reading up to the end marker, and a file that lacks
    // just that marker is whole.
    return true;
}

// A photo's pixels are tens of megabytes of fresh memory. Huge pages cut the
// page faults of filling it, and for a turned picture, whose columns touch
// another page with every group of pixels, most address-translation misses.
void preferHugePages(QImage& picture)
{
#ifdef Q_OS_LINUX
    constexpr std::uintptr_t hugePage = std::uintptr_t(2) << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(picture.bits());
    const std::uintptr_t begin = (start + hugePage - 1) & ~(hugePage - 1);
    const std::uintptr_t end = (start + std::uintptr_t(picture.sizeInBytes())) & ~(hugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(picture);
#endif
}

int exifOrientationOf(const jpeg_decompress_struct& cinfo)
{
    for (jpeg_saved_marker_ptr marker = cinfo.marker_list; marker; marker = marker->next) {
        if (marker->marker != JPEG_APP0 + 1)
            continue;
        const int orientation
            = exifOrientation(QByteArrayView(reinterpret_cast<const char*>(marker->data), marker->data_length));
        if (orientation != 1)
            return orientation;
    }
    return 1;
}

class Decompressor {
public:
    Decompressor()
    {
        cinfo.err = installJpegErrorTrap(errors);
        errors.pub.emit_message = onMessage;
        // jpeg_create_decompress only fails when out of memory; it reports
        // through error_exit like everything else.
        if (setjmp(errors.jump))
            throw std::bad_alloc();
        jpeg_create_decompress(&cinfo);
        cinfo.mem->max_memory_to_use = long(picture_limits::maxDecoderMemory);
        progress.pub.progress_monitor = onProgress;
        cinfo.progress = &progress.pub;
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    [[noreturn]] void fail() const
    {
        const bool outOfMemory = !errors.damaged && errors.pub.msg_code == JERR_OUT_OF_MEMORY;
        throw RunTimeError(outOfMemory ? RunTimeError::OutOfMemory : RunTimeError::InvalidPicture,
                           std::string("JPEG: ") + errors.message);
    }

    jpeg_decompress_struct cinfo {};
    ErrorManager errors {};
    Progress progress {};
};

} // namespace

int jpegScaleEighths(QSize full, QSize cover)
{
    auto side = [](int length, int eighths) { return (length * eighths + 7) / 8; };
    for (int eighths = 1; eighths < 8; ++eighths)
        if (side(full.width(), eighths) >= cover.width() && side(full.height(), eighths) >= cover.height())
            return eighths;
    return 8;
}

namespace {

struct Request {
    QSize cover;                    // covered both ways, or
    QSize box;                      // the picture fitted into it covered
    QSize* natural;                 // receives the upright full size
    std::stop_token stop; // checked between strips of rows
};

QImage decode(const Source& source, const Request& request)
{
    Decompressor jpeg;
    jpeg_decompress_struct& cinfo = jpeg.cinfo;
    if (!readHeader(cinfo, jpeg.errors, source))
        jpeg.fail();
    if (!picture_limits::allows(cinfo.image_width, cinfo.image_height))
        throw RunTimeError(RunTimeError::InvalidPicture, "JPEG: picture size beyond the limit");
    const int orientation = exifOrientationOf(cinfo);
    const QSize full(int(cinfo.image_width), int(cinfo.image_height));
    if (request.natural)
        *request.natural = turns(orientation) ? full.transposed() : full;
    QSize cover = request.cover;
    if (request.box.isValid())
        cover = full.scaled(turns(orientation) ? request.box.transposed() : request.box, Qt::KeepAspectRatio);
    if (cover.isValid()) {
        cinfo.scale_num = unsigned(jpegScaleEighths(full, cover));
        cinfo.scale_denom = 8;
    }

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // libjpeg-turbo writes 0xFF into the X byte, which is what RGB32 wants.
    cinfo.out_color_space = cmyk ? JCS_CMYK : nativeArgbSpace;

    if (!outputSize(cinfo, jpeg.errors))
        jpeg.fail();
    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    const qint64 fileBytes = source.file ? fileSizeOf(source.file) : qint64(source.size);
    const qint64 budget = picture_limits::memoryBudget(fileBytes);
    if (!picture_limits::fits(width, height, fileBytes, coefficientMemory(cinfo)))
        throw RunTimeError(RunTimeError::InvalidPicture, "JPEG: picture too large for its file");
    cinfo.mem->max_memory_to_use = long(budget);
    QImage picture = turns(orientation) ? QImage(height, width, QImage::Format_RGB32)
                                        : QImage(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        throw RunTimeError(RunTimeError::OutOfMemory, "JPEG: no memory for the picture");
    preferHugePages(picture);
    std::vector<JSAMPLE> strip(turns(orientation) ? std::size_t(width) * 4 * stripRows : 0);
    std::vector<JSAMPLE> cmykRow(cmyk ? std::size_t(width) * 4 : 0);
    const std::optional<CmykToSrgb> cmykProfile = cmyk ? CmykToSrgb::fromIcc(iccProfileOf(cinfo, jpeg.errors)) : std::nullopt;
    const Target target{picture.bits(), picture.bytesPerLine(), orientation, strip.data(),
                        cmyk ? cmykRow.data() : nullptr, cmykProfile ? &*cmykProfile : nullptr};
    bool cancelled = false;
    jpeg.progress.stop = request.stop;
    const bool decoded = decodeRows(cinfo, jpeg.errors, target, request.stop, cancelled);
    if (cancelled || jpeg.progress.cancelled)
        throw DecodeCancelled();
    if (!decoded)
        jpeg.fail();
    return picture;
}

} // namespace

QImage decodeJpeg(std::FILE* file, QSize cover)
{
    return decode(Source{file, nullptr, 0}, Request{cover, QSize(), nullptr, {}});
}

QImage decodeJpegBytes(QByteArrayView bytes, QSize box, QSize* natural, std::stop_token stop)
{
    const Source source{nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), (unsigned long)(bytes.size())};
    return decode(source, Request{QSize(), box, natural, stop});
}

QImage decodeJpegStream(std::FILE* file, QSize box, QSize* natural, std::stop_token stop)
{
    return decode(Source{file, nullptr, 0}, Request{QSize(), box, natural, stop});
}
