#include "decoder/picture_structure.h"

#include <cstdlib>

#include <QByteArray>

namespace {

quint32 le16(const QByteArray& b, int at) { return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8; }
quint32 le32(const QByteArray& b, int at) { return le16(b, at) | le16(b, at + 2) << 16; }

// Skips data sub-blocks up to and including their zero terminator.
bool skipSubBlocks(QIODevice& file)
{
    char length = 0;
    while (file.getChar(&length)) {
        if (length == 0)
            return true;
        if (file.skip(uchar(length)) != uchar(length))
            return false;
    }
    return false;
}

bool skipBytes(QIODevice& file, qint64 count) { return file.skip(count) == count; }

// Walks RLE codes from the current position: complete when the end-of-picture
// code comes, or every row has ended, before the data runs out.
bool rlePixelsComplete(QIODevice& file, qint64 height, bool fourBits)
{
    qint64 rows = 0;
    char pair[2];
    while (rows < height) {
        if (file.read(pair, 2) != 2)
            return false;
        if (pair[0] != 0)
            continue; // a run: count and value
        const uchar code = uchar(pair[1]);
        if (code == 0) { // end of row
            ++rows;
        } else if (code == 1) { // end of picture
            return true;
        } else if (code == 2) { // move right and down
            if (file.read(pair, 2) != 2)
                return false;
            rows += uchar(pair[1]);
        } else { // literal pixels, padded to a whole 16-bit word
            const qint64 bytes = fourBits ? (code + 1) / 2 : code;
            if (!skipBytes(file, (bytes + 1) / 2 * 2))
                return false;
        }
    }
    return true;
}

} // namespace

bool bmpPixelsComplete(QIODevice& file)
{
    const QByteArray header = file.read(34);
    file.seek(0);
    if (header.size() < 26)
        return false;
    const quint32 pixelOffset = le32(header, 10);
    const quint32 infoSize = le32(header, 14);
    qint64 width = 0, height = 0, bitsPerPixel = 0, compression = 0;
    if (infoSize == 12) { // OS/2 core header
        width = le16(header, 18);
        height = le16(header, 20);
        bitsPerPixel = le16(header, 24);
    } else {
        if (header.size() < 34)
            return false;
        width = qint32(le32(header, 18));
        height = std::llabs(qint32(le32(header, 22)));
        bitsPerPixel = le16(header, 28);
        compression = le32(header, 30);
    }
    constexpr qint64 plainRgb = 0, rle8 = 1, rle4 = 2, bitFields = 3, alphaBitFields = 6;
    if (compression == rle8 || compression == rle4) {
        const bool complete = file.seek(pixelOffset) && rlePixelsComplete(file, height, compression == rle4);
        file.seek(0);
        return complete;
    }
    if (compression != plainRgb && compression != bitFields && compression != alphaBitFields)
        return true;
    // Any claimed size, however absurd, is computed without overflow; the
    // size check refuses it afterwards.
    qint64 rowBits = 0, pixelBytes = 0, end = 0;
    if (width < 0 || __builtin_mul_overflow(width, bitsPerPixel, &rowBits) || rowBits > (qint64(1) << 40)
        || __builtin_mul_overflow((rowBits + 31) / 32 * 4, height, &pixelBytes)
        || __builtin_add_overflow(qint64(pixelOffset), pixelBytes, &end))
        return false;
    return file.size() >= end;
}

QSize gifScreenSize(QIODevice& file)
{
    const QByteArray screen = file.read(10);
    file.seek(0);
    return screen.size() < 10 ? QSize() : QSize(int(le16(screen, 6)), int(le16(screen, 8)));
}

bool gifFirstFrameComplete(QIODevice& file)
{
    const auto complete = [&file]() -> bool {
        const QByteArray screen = file.read(13); // signature and logical screen descriptor
        if (screen.size() < 13)
            return false;
        const uchar flags = uchar(screen[10]);
        if ((flags & 0x80) && !skipBytes(file, 3 * (qint64(2) << (flags & 7))))
            return false;
        char block = 0;
        while (file.getChar(&block)) {
            if (uchar(block) == 0x21) { // extension: label, then data sub-blocks
                if (!skipBytes(file, 1) || !skipSubBlocks(file))
                    return false;
            } else if (uchar(block) == 0x2C) { // image: descriptor, colour table, code size, data
                const QByteArray descriptor = file.read(9);
                if (descriptor.size() < 9)
                    return false;
                const uchar imageFlags = uchar(descriptor[8]);
                if ((imageFlags & 0x80) && !skipBytes(file, 3 * (qint64(2) << (imageFlags & 7))))
                    return false;
                return skipBytes(file, 1) && skipSubBlocks(file);
            } else {
                return false; // trailer or garbage before any image
            }
        }
        return false;
    }();
    file.seek(0);
    return complete;
}
