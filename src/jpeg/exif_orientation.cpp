#include "jpeg/exif_orientation.h"

#include <cstring>


namespace {

constexpr quint16 orientationTag = 0x0112;
constexpr quint16 shortType = 3;

class TiffReader {
public:
    TiffReader(const uchar* data, qsizetype size, bool littleEndian)
        : data_(data), size_(size), little_(littleEndian) {}

    bool has(qint64 offset, qint64 length) const { return offset >= 0 && length >= 0 && offset + length <= size_; }
    quint16 u16(qint64 offset) const
    {
        const uchar* p = data_ + offset;
        return little_ ? quint16(p[0] | p[1] << 8) : quint16(p[0] << 8 | p[1]);
    }
    quint32 u32(qint64 offset) const
    {
        return little_ ? quint32(u16(offset)) | quint32(u16(offset + 2)) << 16
                       : quint32(u16(offset)) << 16 | quint32(u16(offset + 2));
    }

private:
    const uchar* data_;
    qsizetype size_;
    bool little_;
};

} // namespace

int exifOrientation(QByteArrayView app1Payload)
{
    static constexpr char signature[] = "Exif\0";
    constexpr qsizetype signatureSize = 6;
    if (app1Payload.size() < signatureSize + 8 || std::memcmp(app1Payload.data(), signature, signatureSize) != 0)
        return 1;
    const auto* tiff = reinterpret_cast<const uchar*>(app1Payload.data()) + signatureSize;
    const qsizetype size = app1Payload.size() - signatureSize;
    bool little = false;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (!(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    const TiffReader reader(tiff, size, little);
    if (reader.u16(2) != 42)
        return 1;
    const qint64 ifd = reader.u32(4);
    if (!reader.has(ifd, 2))
        return 1;
    const int count = reader.u16(ifd);
    for (int i = 0; i < count; ++i) {
        const qint64 entry = ifd + 2 + 12 * qint64(i);
        if (!reader.has(entry, 12))
            return 1;
        if (reader.u16(entry) != orientationTag)
            continue;
        if (reader.u16(entry + 2) != shortType || reader.u32(entry + 4) < 1)
            return 1;
        const int value = reader.u16(entry + 8);
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}
