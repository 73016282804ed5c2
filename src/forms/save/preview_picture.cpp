#include "forms/save/preview_picture.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/native_file.h"
#include "platform/picture_limits.h"
#include "platform/picture_loader.h"
#include "platform/run_time_error.h"

namespace {

// libjpeg's default error handler ends the process; this one jumps back to
// the step that called libjpeg, which reports a run-time error.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// A stream that ends early or whose coded data is broken would show grey or
// smeared blocks: it fails like a corrupt file, as the picture loader does.
void onMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
        onError(cinfo);
    default:
        break;
    }
}

class Decompressor {
public:
    Decompressor()
    {
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = onError;
        errors.pub.emit_message = onMessage;
        if (setjmp(errors.jump))
            throw std::bad_alloc(); // the only failure of jpeg_create_decompress
        jpeg_create_decompress(&cinfo);
        cinfo.mem->max_memory_to_use = long(picture_limits::maxDecoderMemory);
    }
    ~Decompressor() { jpeg_destroy_decompress(&cinfo); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    [[noreturn]] void fail() const
    {
        throw RunTimeError(errors.pub.msg_code == JERR_OUT_OF_MEMORY ? RunTimeError::OutOfMemory
                                                                      : RunTimeError::InvalidPicture);
    }

    jpeg_decompress_struct cinfo {};
    ErrorManager errors {};
};

// The steps below run under setjmp and hold no C++ objects with destructors,
// so a jump out of libjpeg skips nothing.

bool readHeader(Decompressor& jpeg, std::FILE* stream)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    jpeg_stdio_src(&jpeg.cinfo, stream);
    jpeg_read_header(&jpeg.cinfo, TRUE);
    return true;
}

bool startScaled(Decompressor& jpeg, int eighths)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    jpeg.cinfo.scale_num = unsigned(eighths);
    jpeg.cinfo.scale_denom = 8;
    // libjpeg-turbo fills the X byte with 0xFF, as RGB32 wants.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    jpeg.cinfo.out_color_space = JCS_EXT_BGRX;
#else
    jpeg.cinfo.out_color_space = JCS_EXT_XRGB;
#endif
    jpeg_start_decompress(&jpeg.cinfo);
    return true;
}

bool readRows(Decompressor& jpeg, uchar* bits, qsizetype bytesPerLine)
{
    if (setjmp(jpeg.errors.jump))
        return false;
    jpeg_decompress_struct& cinfo = jpeg.cinfo;
    constexpr int batch = 16;
    JSAMPROW rows[batch];
    while (cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION first = cinfo.output_scanline;
        const JDIMENSION wanted = qMin<JDIMENSION>(batch, cinfo.output_height - first);
        for (JDIMENSION i = 0; i < wanted; ++i)
            rows[i] = bits + qsizetype(first + i) * bytesPerLine;
        jpeg_read_scanlines(&cinfo, rows, wanted);
    }
    return true;
}

int scaledSide(int full, int eighths) { return (full * eighths + 7) / 8; }

} // namespace

int previewScaleEighths(QSize full, QSize cover)
{
    for (int eighths = 1; eighths < 8; ++eighths)
        if (scaledSide(full.width(), eighths) >= cover.width() && scaledSide(full.height(), eighths) >= cover.height())
            return eighths;
    return 8;
}

QImage loadPreviewPicture(const QString& path, QSize cover)
{
    try {
        ReadOnlyFile file(path);
        if (!file.peek(0, 3).startsWith("\xFF\xD8\xFF"))
            return LoadPicture(path);
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(::fdopen(file.descriptor(), "rb"), &std::fclose);
        if (!stream)
            throw std::bad_alloc();
        file.release(); // the stream owns the descriptor now

        Decompressor jpeg;
        if (!readHeader(jpeg, stream.get()))
            jpeg.fail();
        const jpeg_decompress_struct& cinfo = jpeg.cinfo;
        if (!picture_limits::allows(cinfo.image_width, cinfo.image_height))
            throw RunTimeError(RunTimeError::InvalidPicture, "preview size beyond the limit");
        // Ink-based streams need the loader's colour conversion; the encoder never writes them.
        if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
            return LoadPicture(path);

        const QSize full(int(cinfo.image_width), int(cinfo.image_height));
        if (!startScaled(jpeg, previewScaleEighths(full, cover)))
            jpeg.fail();
        QImage picture(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
        if (picture.isNull())
            throw std::bad_alloc();
        if (!readRows(jpeg, picture.bits(), picture.bytesPerLine()))
            jpeg.fail();
        return picture;
    } catch (const std::bad_alloc&) {
        throw RunTimeError(RunTimeError::OutOfMemory, "out of memory loading the preview");
    }
}
