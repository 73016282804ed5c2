#include "jpeg/jpeg_markers.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <QLoggingCategory>

#include <jpeglib.h>

#include "jpeg/libjpeg_support.h"
#include "files/native_file.h"
#include "runtime/run_time_error.h"

namespace {

constexpr int app1 = JPEG_APP0 + 1;
constexpr int app2 = JPEG_APP0 + 2;
constexpr int app13 = JPEG_APP0 + 13;
constexpr char iccSignature[] = "ICC_PROFILE"; // then a NUL, the sequence number and the count
constexpr qsizetype iccHeader = 14;

void quiet(j_common_ptr) {}

bool startsWith(const jpeg_saved_marker_ptr marker, const char* signature, qsizetype length)
{
    return marker->data_length >= unsigned(length) && std::memcmp(marker->data, signature, std::size_t(length)) == 0;
}

QByteArray payloadAfter(const jpeg_saved_marker_ptr marker, qsizetype signatureLength)
{
    return QByteArray(reinterpret_cast<const char*>(marker->data) + signatureLength,
                      qsizetype(marker->data_length) - signatureLength);
}

// Runs under setjmp: holds no objects with destructors.
bool readHeader(jpeg_decompress_struct& cinfo, JpegErrorTrap& trap, std::FILE* file, QByteArrayView bytes)
{
    if (setjmp(trap.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    if (file)
        jpeg_stdio_src(&cinfo, file);
    else
        jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), (unsigned long)(bytes.size()));
    jpeg_save_markers(&cinfo, app1, 0xFFFF);
    jpeg_save_markers(&cinfo, app2, 0xFFFF);
    jpeg_save_markers(&cinfo, app13, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    return true;
}

// libjpeg checks the sequence numbers and joins the pieces in their order;
// the size is checked first, so a hostile file never makes it join megabytes.
QByteArray iccOf(jpeg_decompress_struct& cinfo, JpegErrorTrap& trap)
{
    qsizetype total = 0;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == app2 && startsWith(m, iccSignature, sizeof iccSignature))
            total += qsizetype(m->data_length) - iccHeader;
    if (total == 0)
        return {};
    if (total > jpeg_markers::maxIccBytes) {
        qWarning("ICC profile of %lld bytes skipped", static_cast<long long>(total));
        return {};
    }
    if (setjmp(trap.jump))
        return {};
    JOCTET* data = nullptr;
    unsigned int length = 0;
    if (!jpeg_read_icc_profile(&cinfo, &data, &length)) {
        qWarning("malformed ICC profile segments skipped");
        return {};
    }
    const QByteArray icc(reinterpret_cast<const char*>(data), qsizetype(length));
    std::free(data);
    return icc;
}

JpegMarkers collect(jpeg_decompress_struct& cinfo, JpegErrorTrap& trap)
{
    JpegMarkers markers;
    constexpr qsizetype exifLength = 6, xmpLength = sizeof jpeg_markers::xmpSignature,
                        iptcLength = sizeof jpeg_markers::iptcSignature,
                        extendedLength = sizeof jpeg_markers::extendedXmpSignature;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        // The first of each kind counts, as in other readers.
        if (m->marker == app1 && markers.exif.isEmpty() && startsWith(m, jpeg_markers::exifSignature, exifLength))
            markers.exif = payloadAfter(m, exifLength);
        else if (m->marker == app1 && markers.xmp.isEmpty() && startsWith(m, jpeg_markers::xmpSignature, xmpLength))
            markers.xmp = payloadAfter(m, xmpLength);
        else if (m->marker == app13 && markers.iptc.isEmpty() && startsWith(m, jpeg_markers::iptcSignature, iptcLength))
            markers.iptc = payloadAfter(m, 0);
        else if (m->marker == app1 && startsWith(m, jpeg_markers::extendedXmpSignature, extendedLength))
            markers.extendedXmp << payloadAfter(m, extendedLength);
        else if (m->marker == JPEG_COM)
            markers.comments << payloadAfter(m, 0);
    }
    if (cinfo.saw_JFIF_marker)
        markers.density = JpegMarkers::Density{cinfo.density_unit, cinfo.X_density, cinfo.Y_density};
    markers.icc = iccOf(cinfo, trap);
    return markers;
}

JpegMarkers read(std::FILE* file, QByteArrayView bytes)
{
    jpeg_decompress_struct cinfo {};
    JpegErrorTrap trap {};
    cinfo.err = installJpegErrorTrap(trap);
    trap.pub.output_message = quiet;
    JpegMarkers markers;
    if (readHeader(cinfo, trap, file, bytes))
        markers = collect(cinfo, trap);
    jpeg_destroy_decompress(&cinfo);
    return markers;
}

} // namespace

JpegMarkers readJpegMarkers(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xFF\xD8\xFF"))
        return {};
    try {
        return read(nullptr, bytes);
    } catch (const std::bad_alloc&) {
        qWarning("no memory for a JPEG's metadata");
        return {};
    }
}

JpegMarkers readJpegMarkersOfFile(const QString& path)
{
    try {
        ReadOnlyFile file(path);
        if (!file.peek(0, 3).startsWith("\xFF\xD8\xFF"))
            return {};
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(::fdopen(file.descriptor(), "rb"), &std::fclose);
        if (!stream)
            return {};
        file.release();
        return read(stream.get(), {});
    } catch (const RunTimeError&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}
