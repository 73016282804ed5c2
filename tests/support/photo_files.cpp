#include "photo_files.h"

#include <algorithm>
#include <vector>

#include <QColorSpace>
#include <QCryptographicHash>
#include <QPointF>

#include <exiv2/exiv2.hpp>
#include <jpeglib.h>
#include <lcms2.h>

#include "test_files.h"

namespace {

// `bytes` bytes of the value, most significant first unless `little`.
QByteArray number(quint32 value, int bytes, bool little = false)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * (little ? i : bytes - 1 - i))) & 0xFF);
    return out;
}

QByteArray qtBytes(const void* data, std::size_t size) { return QByteArray(static_cast<const char*>(data), qsizetype(size)); }

// An XMP packet's opening up to the description's own namespaces, and its end.
const QByteArray xmpOpening = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                              "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"";
const QByteArray packetBegin = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>";
const QByteArray creator = "<dc:creator><rdf:Seq><rdf:li>Kiri</rdf:li></rdf:Seq></dc:creator>";
const QByteArray packetEnd = "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";

struct Entry {
    quint16 tag, type;
    quint32 count, value;
};

QByteArray ifd(const QList<Entry>& entries)
{
    QByteArray out = number(quint32(entries.size()), 2, true);
    for (const Entry& e : entries)
        out += number(e.tag, 2, true) + number(e.type, 2, true) + number(e.count, 4, true) + number(e.value, 4, true);
    return out + number(0, 4, true);
}

QByteArray rgbJpeg(const QImage& rgb888, int quality)
{
    return libjpegEncoded(rgb888.width(), rgb888.height(), 3, [&](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, quality, TRUE); },
                          [&](int y) { return rgb888.constScanLine(y); });
}

QByteArray savedProfile(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    QByteArray icc(qsizetype(size), '\0');
    cmsSaveProfileToMem(profile, icc.data(), &size);
    cmsCloseProfile(profile);
    return icc;
}

// Device values to the sRGB they stand for, for a LUT profile's grid.
using ToSrgb = void (*)(const cmsUInt16Number in[], cmsUInt16Number rgb[3]);
struct GridCargo {
    cmsHTRANSFORM toLab;
    ToSrgb toSrgb;
};

// A grid of `points` a side in A2B0 (to Lab, no matrix), a lut16 in a version 2 profile.
QByteArray lutProfile(int inputs, int points, cmsProfileClassSignature deviceClass, cmsColorSpaceSignature space,
                      ToSrgb toSrgb)
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    GridCargo cargo{cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0), toSrgb};
    cmsStage* grid = cmsStageAllocCLut16bit(nullptr, cmsUInt32Number(points), cmsUInt32Number(inputs), 3, nullptr);
    cmsStageSampleCLut16bit(grid, [](const cmsUInt16Number in[], cmsUInt16Number out[], void* data) -> cmsInt32Number {
        const auto* cargo = static_cast<const GridCargo*>(data);
        cmsUInt16Number rgb[3];
        cargo->toSrgb(in, rgb);
        cmsDoTransform(cargo->toLab, rgb, out, 1);
        return 1;
    }, &cargo, 0);
    cmsPipeline* lut = cmsPipelineAlloc(nullptr, cmsUInt32Number(inputs), 3);
    cmsPipelineInsertStage(lut, cmsAT_END, grid);
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.4);
    cmsSetDeviceClass(profile, deviceClass);
    cmsSetColorSpace(profile, space);
    cmsSetPCS(profile, cmsSigLabData);
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsWriteTag(profile, cmsSigAToB0Tag, lut);
    cmsPipelineFree(lut);
    cmsDeleteTransform(cargo.toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return savedProfile(profile);
}

} // namespace

QByteArray segment(char marker, const QByteArray& payload)
{
    return QByteArray("\xFF", 1) + marker + number(quint32(2 + payload.size()), 2) + payload;
}

QByteArray swappedRedGreenProfile()
{
    return QColorSpace(QPointF(0.3127, 0.3290), QPointF(0.30, 0.60), QPointF(0.64, 0.33), QPointF(0.15, 0.06),
                       QColorSpace::TransferFunction::SRgb).iccProfile();
}

QByteArray iccSegments(const QByteArray& icc, int pieces, const QList<int>& order)
{
    const qsizetype piece = (icc.size() + pieces - 1) / pieces;
    QList<int> sequence = order;
    for (int n = 1; order.isEmpty() && n <= pieces; ++n)
        sequence << n;
    QByteArray segments;
    for (int n : sequence)
        segments += segment('\xE2', QByteArray("ICC_PROFILE\0", 12) + char(n) + char(pieces) + icc.mid((n - 1) * piece, piece));
    return segments;
}

QByteArray exifApp1(const QByteArray& exif) { return segment('\xE1', QByteArray("Exif\0\0", 6) + exif); }

QByteArray xmpApp1(const QByteArray& packet) { return segment('\xE1', QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + packet); }

QByteArray withSegments(const QByteArray& jpeg, const QByteArray& segments) { return jpeg.left(2) + segments + jpeg.mid(2); }

QByteArray flatJpeg(int width, int height, QRgb colour)
{
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(colour);
    return rgbJpeg(picture, 100);
}

QByteArray texturedRedJpeg(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(220, 30, (x * 7 + y * 13) % 41 + ((x / 4 + y / 4) % 2) * 20));
    return rgbJpeg(picture, 95);
}

QByteArray cameraExif(int orientation, bool gps, bool adobeRgb, const char* index)
{
    Exiv2::ExifData data;
    data["Exif.Image.Make"] = "Kiri Optics";
    data["Exif.Image.Model"] = "K-1";
    data["Exif.Image.Orientation"] = uint16_t(orientation);
    data["Exif.Photo.DateTimeOriginal"] = camera::dateTaken;
    data["Exif.Photo.PixelXDimension"] = uint32_t(4000);
    data["Exif.Photo.PixelYDimension"] = uint32_t(3000);
    if (adobeRgb) {
        data["Exif.Photo.ColorSpace"] = uint16_t(0xFFFF);
        if (index)
            data["Exif.Iop.InteroperabilityIndex"] = index;
    }
    if (gps) {
        data["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        auto latitude = Exiv2::Value::create(Exiv2::unsignedRational);
        latitude->read("35/1 39/1 2950/100");
        data.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), latitude.get());
    }
    const QByteArray thumbnail = flatJpeg(16, 12, qRgb(0, 0, 255));
    Exiv2::ExifThumb(data).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                                            long(thumbnail.size()));
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
    return qtBytes(blob.data(), blob.size());
}

QByteArray photoshopBlock(const QList<std::pair<quint16, QByteArray>>& resources)
{
    QByteArray block("Photoshop 3.0", 14);
    for (const auto& [id, data] : resources) // each with an empty name, padded
        block += "8BIM" + number(id, 2) + QByteArray(2, '\0') + number(quint32(data.size()), 4) + data
            + QByteArray(data.size() % 2, '\0');
    return block;
}

QByteArray iptcRecordWithPlaces()
{
    Exiv2::IptcData data;
    data["Iptc.Application2.ObjectName"] = "Kiri";
    data["Iptc.Application2.City"] = "Nara";
    data["Iptc.Application2.SubLocation"] = "Todaiji";
    data["Iptc.Application2.ProvinceState"] = "Kansai";
    data["Iptc.Application2.CountryName"] = "Japan";
    const Exiv2::DataBuf record = Exiv2::IptcParser::encode(data);
    return qtBytes(record.pData_, std::size_t(record.size_));
}

QByteArray cameraXmp(int orientation, const QByteArray& extensionGuid)
{
    const QByteArray note = extensionGuid.isEmpty()
        ? QByteArray()
        : " xmlns:xmpNote=\"http://ns.adobe.com/xmp/note/\" xmpNote:HasExtendedXMP=\"" + extensionGuid + "\"";
    return packetBegin + xmpOpening
        + " xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" xmlns:exif=\"http://ns.adobe.com/exif/1.0/\""
          " xmlns:photoshop=\"http://ns.adobe.com/photoshop/1.0/\" xmlns:Iptc4xmpExt=\"http://iptc.org/std/Iptc4xmpExt/2008-02-29/\""
          " xmlns:drone-dji=\"http://www.dji.com/drone-dji/1.0/\" tiff:Orientation=\"" + QByteArray::number(orientation) + "\""
          " exif:PixelXDimension=\"4000\" exif:GPSLatitude=\"" + camera::xmpLatitude + "\" photoshop:City=\"Nara\""
          " photoshop:State=\"Kansai\" photoshop:Country=\"Japan\" drone-dji:GpsLatitude=\"34.6851\" drone-dji:GpsLongtitude=\"135.8048\""
          " drone-dji:AbsoluteAltitude=\"+120.5\" drone-dji:FlightYawDegree=\"+12.3\""
        + note + ">" + creator
        + "<Iptc4xmpExt:LocationShown><rdf:Bag><rdf:li rdf:parseType=\"Resource\">"
          "<Iptc4xmpExt:City>Nara</Iptc4xmpExt:City><exif:GPSLatitude>34,41.1N</exif:GPSLatitude>"
          "</rdf:li></rdf:Bag></Iptc4xmpExt:LocationShown>"
          "<Iptc4xmpExt:LocationCreated><rdf:Bag><rdf:li rdf:parseType=\"Resource\">"
          "<Iptc4xmpExt:CountryName>Japan</Iptc4xmpExt:CountryName>"
          "</rdf:li></rdf:Bag></Iptc4xmpExt:LocationCreated>"
        + packetEnd;
}

QByteArray extensionXmp()
{
    QByteArray history;
    for (int i = 0; i < 900; ++i)
        history += "<rdf:li>step " + QByteArray::number(i) + "</rdf:li>";
    return xmpOpening + "><dc:subject><rdf:Bag>" + history + "</rdf:Bag></dc:subject></rdf:Description></rdf:RDF></x:xmpmeta>";
}

QByteArray guidOf(const QByteArray& extension)
{
    return QCryptographicHash::hash(extension, QCryptographicHash::Md5).toHex().toUpper();
}

QList<QByteArray> extendedXmpPieces(const QByteArray& extension, int pieces)
{
    QList<QByteArray> out;
    const qsizetype step = (extension.size() + pieces - 1) / pieces;
    for (qsizetype offset = 0; offset < extension.size(); offset += step)
        out << guidOf(extension) + number(quint32(extension.size()), 4) + number(quint32(offset), 4)
                + extension.mid(offset, step);
    return out;
}

QByteArray exifWithMakerNote(const QByteArray& make, const std::function<QByteArray(quint32 offset)>& makerNote,
                             bool gpsFromExifIfd)
{
    constexpr quint16 ascii = 2, longType = 4, undefined = 7;
    const QByteArray makeText = make + QByteArray(2 - make.size() % 2, '\0'); // NUL-ended, even
    const quint32 makeAt = 8 + 2 + 2 * 12 + 4;
    const quint32 exifAt = makeAt + quint32(makeText.size());
    const quint32 noteAt = exifAt + 2 + 12 * (gpsFromExifIfd ? 2 : 1) + 4;
    QByteArray note = makerNote(noteAt);
    note += QByteArray(note.size() % 2, '\0');
    const quint32 gpsAt = noteAt + quint32(note.size());
    const QByteArray datum("WGS-84-KIRI", 12);
    QList<Entry> exifIfd{{0x927C, undefined, quint32(note.size()), noteAt}};
    if (gpsFromExifIfd)
        exifIfd << Entry{0x8825, longType, 1, gpsAt};
    QByteArray tiff = QByteArray("II\x2A\0", 4) + number(8, 4, true)
        + ifd({{0x010F, ascii, quint32(make.size() + 1), makeAt}, {0x8769, longType, 1, exifAt}}) + makeText
        + ifd(exifIfd) + note;
    if (gpsFromExifIfd)
        tiff += ifd({{0x0001, ascii, 2, 'N'}, {0x0012, ascii, quint32(datum.size()), gpsAt + 2 + 2 * 12 + 4}}) + datum;
    return tiff;
}

QByteArray cmykJpeg(const std::array<uchar, 4>& stored, bool adobeMarker, int width, int height)
{
    std::vector<uchar> row(std::size_t(width) * 4);
    for (int x = 0; x < width; ++x)
        std::copy(stored.begin(), stored.end(), row.begin() + x * 4);
    return libjpegEncoded(width, height, 4, [adobeMarker](jpeg_compress_struct& cinfo) {
        cinfo.in_color_space = JCS_CMYK;
        jpeg_set_colorspace(&cinfo, JCS_CMYK);
        jpeg_set_quality(&cinfo, 100, TRUE);
        cinfo.write_Adobe_marker = adobeMarker;
    }, [&](int) { return row.data(); });
}

QByteArray swappingCmykProfile()
{
    return lutProfile(4, 9, cmsSigOutputClass, cmsSigCmykData, [](const cmsUInt16Number in[], cmsUInt16Number rgb[3]) {
        const double k = 1.0 - in[3] / 65535.0;
        const auto light = [&](cmsUInt16Number ink) { return cmsUInt16Number((1.0 - ink / 65535.0) * k * 65535.0 + 0.5); };
        rgb[0] = light(in[1]);
        rgb[1] = light(in[0]);
        rgb[2] = light(in[2]);
    });
}

QByteArray swappingLutProfile()
{
    return lutProfile(3, 17, cmsSigInputClass, cmsSigRgbData, [](const cmsUInt16Number in[], cmsUInt16Number rgb[3]) {
        rgb[0] = in[1];
        rgb[1] = in[0];
        rgb[2] = in[2];
    });
}

QByteArray linearGreyProfile()
{
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    cmsHPROFILE grey = cmsCreateGrayProfile(cmsD50_xyY(), linear);
    cmsFreeToneCurve(linear);
    return savedProfile(grey);
}

QByteArray linearGreyJpeg(int width, int height)
{
    const std::vector<uchar> row(std::size_t(width), 128);
    return withSegments(libjpegEncoded(width, height, 1, [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 100, TRUE); },
                                       [&](int) { return row.data(); }),
                        iccSegments(linearGreyProfile(), 1));
}
