#include "platform/jpeg_decoder.h"

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include <QByteArrayView>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/exif_orientation.h"
#include "platform/picture_limits.h"
#include "platform/run_time_error.h"

namespace {

// libjpeg's default error handler ends the process; this one jumps back to
// the decoding step, which reports the failure as a run-time error.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool damaged = false;
    char message[JMSG_LENGTH_MAX] = {};
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

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
        return true;
    default:
        return false;
    }
}

void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) // trace messages
        return;
    if (meansDamage(cinfo->err->msg_code)) {
        auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
        errors->damaged = true;
        (*cinfo->err->format_message)(cinfo, errors->message);
        std::longjmp(errors->jump, 1);
    }
}

// The two steps below run under setjmp. They hold no C++ objects with
// destructors, so a jump out of libjpeg skips nothing.

bool readHeader(jpeg_decompress_struct& cinfo, ErrorManager& errors, std::FILE* file)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_stdio_src(&cinfo, file);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    return true;
}

// Adobe writes CMYK inverted (0 is full ink) and marks the file with its
// APP14 marker; without the marker the values are taken as plain ink.
void cmykRowToRgb32(const JSAMPLE* cmyk, QRgb* out, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
        const unsigned c = inverted ? cmyk[0] : 255u - cmyk[0];
        const unsigned m = inverted ? cmyk[1] : 255u - cmyk[1];
        const unsigned y = inverted ? cmyk[2] : 255u - cmyk[2];
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        out[x] = qRgb(int(c * k / 255), int(m * k / 255), int(y * k / 255));
    }
}

bool decodeRows(jpeg_decompress_struct& cinfo, ErrorManager& errors, uchar* bits, qsizetype bytesPerLine,
                JSAMPLE* cmykRow)
{
    if (setjmp(errors.jump))
        return false;
    jpeg_start_decompress(&cinfo);
    const bool inverted = cinfo.saw_Adobe_marker;
    constexpr int batch = 16;
    JSAMPROW rows[batch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        if (cmykRow) {
            rows[0] = cmykRow;
            jpeg_read_scanlines(&cinfo, rows, 1);
            cmykRowToRgb32(cmykRow, reinterpret_cast<QRgb*>(bits + first * bytesPerLine), cinfo.output_width,
                           inverted);
            continue;
        }
        const int wanted = int(qMin<JDIMENSION>(batch, cinfo.output_height - first));
        for (int i = 0; i < wanted; ++i)
            rows[i] = bits + (first + i) * bytesPerLine;
        jpeg_read_scanlines(&cinfo, rows, JDIMENSION(wanted));
    }
    // Every pixel is in; jpeg_finish_decompress is skipped on purpose, since
    // its only work is reading up to the end marker, and a file that lacks
    // just that marker is whole.
    return true;
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
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = onError;
        errors.pub.emit_message = onMessage;
        // jpeg_create_decompress only fails when out of memory; it reports
        // through error_exit like everything else.
        if (setjmp(errors.jump))
            throw std::bad_alloc();
        jpeg_create_decompress(&cinfo);
        cinfo.mem->max_memory_to_use = long(picture_limits::maxDecoderMemory);
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
};

} // namespace

QImage decodeJpeg(std::FILE* file)
{
    Decompressor jpeg;
    jpeg_decompress_struct& cinfo = jpeg.cinfo;
    if (!readHeader(cinfo, jpeg.errors, file))
        jpeg.fail();
    if (!picture_limits::allows(cinfo.image_width, cinfo.image_height))
        throw RunTimeError(RunTimeError::InvalidPicture, "JPEG: picture size beyond the limit");

    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    // libjpeg-turbo writes 0xFF into the X byte, which is what RGB32 wants.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
#else
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_XRGB;
#endif

    QImage picture(int(cinfo.image_width), int(cinfo.image_height), QImage::Format_RGB32);
    if (picture.isNull())
        throw RunTimeError(RunTimeError::OutOfMemory, "JPEG: no memory for the picture");
    std::vector<JSAMPLE> cmykRow(cmyk ? std::size_t(cinfo.image_width) * 4 : 0);
    if (!decodeRows(cinfo, jpeg.errors, picture.bits(), picture.bytesPerLine(), cmyk ? cmykRow.data() : nullptr))
        jpeg.fail();
    const int orientation = exifOrientationOf(cinfo);
    return orientation == 1 ? picture : orientedPicture(std::move(picture), orientation);
}
