#include "jpeg/quality_estimate.h"

#include <algorithm>
#include <array>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>

#include <jpeglib.h>

#include "jpeg/libjpeg_support.h"
#include "jpeg/quantization_tables.h"
#include "files/native_file.h"
#include "runtime/run_time_error.h"

namespace {

using quantization::Table; // natural (row by row) order

// The families of tables a quality scales: the standard's examples and this
// program's own, with chroma halved and whole.
struct Family {
    const Table& luminance;
    const Table& chrominance;
};
const Family families[] = {
    {quantization::annexKLuminance, quantization::annexKChrominance},
    {quantization::perceptualLuminance, quantization::perceptualChrominance},
    {quantization::perceptualLuminance, quantization::wholeChrominance},
};

// The closest scale may still be this far off, as a share of the table's sum.
constexpr double tolerance = 0.03;

struct Tables {
    Table luminance{};
    Table chrominance{};
    bool hasChrominance = false;
};

// Everything the jump back from libjpeg may touch lives here, outside the
// frame that set the trap.
struct HeaderSession {
    jpeg_decompress_struct cinfo;
    JpegErrorTrap trap;
};

void discardMessage(j_common_ptr) {}

bool copyTable(const jpeg_decompress_struct& cinfo, int component, Table& table)
{
    const int slot = cinfo.comp_info[component].quant_tbl_no;
    const JQUANT_TBL* source = slot >= 0 && slot < NUM_QUANT_TBLS ? cinfo.quant_tbl_ptrs[slot] : nullptr;
    if (!source)
        return false;
    std::copy(std::begin(source->quantval), std::end(source->quantval), table.begin());
    return true;
}

bool readTablesTrapped(HeaderSession& session, QByteArrayView bytes, Tables& tables)
{
    if (setjmp(session.trap.jump) != 0)
        return false;
    jpeg_create_decompress(&session.cinfo);
    jpeg_mem_src(&session.cinfo, reinterpret_cast<const unsigned char*>(bytes.data()), (unsigned long)(bytes.size()));
    jpeg_read_header(&session.cinfo, TRUE);
    const jpeg_decompress_struct& cinfo = session.cinfo;
    if (!copyTable(cinfo, 0, tables.luminance))
        return false;
    tables.hasChrominance = cinfo.num_components >= 3 && copyTable(cinfo, 1, tables.chrominance);
    return true;
}

bool readTables(QByteArrayView bytes, Tables& tables)
{
    HeaderSession session{};
    session.cinfo.err = installJpegErrorTrap(session.trap);
    session.trap.pub.output_message = discardMessage;
    const bool read = readTablesTrapped(session, bytes, tables);
    jpeg_destroy_decompress(&session.cinfo);
    return read;
}

// libjpeg's scaling of an example table to `quality`; `baseline` keeps
// every value within 8 bits, as most encoders ask.
int scaled(int example, int quality, bool baseline)
{
    const long scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    const long value = std::clamp((example * scale + 50) / 100, 1L, baseline ? 255L : 32767L);
    return int(value);
}

long distance(const Table& actual, const Table& example, int quality, bool baseline)
{
    long sum = 0;
    for (int i = 0; i < DCTSIZE2; ++i)
        sum += std::labs(long(actual[i]) - scaled(example[i], quality, baseline));
    return sum;
}

long exampleSum(const Table& example, int quality)
{
    long sum = 0;
    for (const int value : example)
        sum += scaled(value, quality, true);
    return sum;
}

// How far off the tables are from a family at a quality, as a share of its sum.
double offShare(const Tables& tables, const Family& family, int quality)
{
    long off = 0;
    long sum = exampleSum(family.luminance, quality);
    for (const bool baseline : {true, false}) {
        long tableOff = distance(tables.luminance, family.luminance, quality, baseline);
        if (tables.hasChrominance)
            tableOff += distance(tables.chrominance, family.chrominance, quality, baseline);
        off = baseline ? tableOff : std::min(off, tableOff);
    }
    if (tables.hasChrominance)
        sum += exampleSum(family.chrominance, quality);
    return double(off) / double(sum);
}

std::optional<int> qualityOf(const Tables& tables)
{
    int best = 0;
    double bestShare = 0;
    for (const Family& family : families)
        for (int quality = 1; quality <= 100; ++quality) {
            const double share = offShare(tables, family, quality);
            if (best == 0 || share < bestShare) {
                best = quality;
                bestShare = share;
            }
        }
    if (bestShare > tolerance)
        return std::nullopt;
    return best;
}

} // namespace

SourceQuality estimateJpegQualityFromBytes(QByteArrayView bytes)
{
    SourceQuality result;
    result.jpeg = bytes.size() >= 2 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xD8;
    Tables tables;
    if (result.jpeg && readTables(bytes, tables))
        result.quality = qualityOf(tables);
    return result;
}

SourceQuality estimateJpegQuality(const QString& path)
{
    try {
        // Opens by the name's own bytes and refuses a FIFO or a device, which would block or never end.
        ReadOnlyFile source(path);
        return estimateJpegQualityFromBytes(source.peek(0, source.size()));
    } catch (const RunTimeError&) {
        return {};
    }
}
