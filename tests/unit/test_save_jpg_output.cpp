// What the encoder writes: the file's structure, its fidelity at each
// quality, and that a ".kir" name changes nothing but the name.

#include <gtest/gtest.h>

#include <array>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include "encoder/save_jpg.h"

#include "jpeg_test_files.h"

using namespace jpeg_test;

namespace {

class EncoderOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        picture = photoLike(203, 117); // odd sizes: partial blocks at both edges
    }

    QString pathOf(const QString& name) const { return folder.filePath(name); }

    QByteArray encoded(const QString& name, int quality) const
    {
        const QString path = pathOf(name);
        EXPECT_EQ(DCSavetoJPEG(picture, picture.width(), picture.height(), path,
                               static_cast<std::uint8_t>(quality), 0),
                  jpeg_status::Written);
        return fileBytes(path);
    }

    QTemporaryDir folder;
    QImage picture;
};

TEST_F(EncoderOutput, IsABaselineJfifFileWithChromaHalvedBothWays)
{
    const QByteArray file = encoded("out.jpg", 50);
    const std::vector<Segment> segments = headerSegments(file);
    ASSERT_FALSE(segments.empty()) << "no well-formed header";

    ASSERT_EQ(segments.front().marker, 0xE0) << "APP0 must follow SOI";
    EXPECT_TRUE(segments.front().payload.startsWith(QByteArray("JFIF\0", 5)));

    int frames = 0;
    for (const Segment& segment : segments) {
        const bool startOfFrame = segment.marker >= 0xC0 && segment.marker <= 0xCF
            && segment.marker != 0xC4 && segment.marker != 0xC8 && segment.marker != 0xCC;
        if (!startOfFrame)
            continue;
        ++frames;
        EXPECT_EQ(segment.marker, 0xC0) << "only a baseline frame (SOF0) is allowed";
        const QByteArray& sof = segment.payload;
        EXPECT_EQ(byteAt(sof, 0), 8) << "sample precision";
        EXPECT_EQ(byteAt(sof, 1) << 8 | byteAt(sof, 2), picture.height());
        EXPECT_EQ(byteAt(sof, 3) << 8 | byteAt(sof, 4), picture.width());
        ASSERT_EQ(byteAt(sof, 5), 3) << "Y, Cb and Cr";
        EXPECT_EQ(byteAt(sof, 6 + 1), 0x22) << "luma 2x2";
        EXPECT_EQ(byteAt(sof, 9 + 1), 0x11) << "Cb 1x1";
        EXPECT_EQ(byteAt(sof, 12 + 1), 0x11) << "Cr 1x1";
    }
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(segments.back().marker, 0xDA) << "one scan follows the header";
    EXPECT_TRUE(file.endsWith("\xFF\xD9")) << "the file is complete up to EOI";
}

TEST_F(EncoderOutput, HuffmanTablesAreFittedToThePicture)
{
    // The example tables of the JPEG standard, as counts of codes per length
    // for the luminance AC table; a fitted table for this picture differs.
    const QByteArray standardLumaAcCounts("\x00\x02\x01\x03\x03\x02\x04\x03\x05\x05\x04\x04\x00\x00\x01\x7d", 16);
    int lumaAcTables = 0;
    for (const Segment& segment : headerSegments(encoded("out.jpg", 50))) {
        if (segment.marker != 0xC4)
            continue;
        // One DHT segment may hold several tables: class/id, 16 counts, values.
        qsizetype at = 0;
        while (at + 17 <= segment.payload.size()) {
            const int classAndId = byteAt(segment.payload, at);
            const QByteArray counts = segment.payload.mid(at + 1, 16);
            int values = 0;
            for (char count : counts)
                values += static_cast<uchar>(count);
            if (classAndId == 0x10) {
                ++lumaAcTables;
                EXPECT_NE(counts, standardLumaAcCounts);
            }
            at += 17 + values;
        }
    }
    EXPECT_EQ(lumaAcTables, 1);
}

TEST_F(EncoderOutput, IsNoLargerThanQtsOwnWriterAtTheSameQuality)
{
    for (int quality : {20, 50, 90}) {
        SCOPED_TRACE(quality);
        QBuffer qtFile;
        qtFile.open(QIODevice::WriteOnly);
        QImageWriter writer(&qtFile, "jpeg");
        writer.setQuality(quality);
        ASSERT_TRUE(writer.write(picture));
        EXPECT_LE(encoded("out.jpg", quality).size(), qtFile.data().size());
    }
}

TEST_F(EncoderOutput, DecodesCloseToThePictureAndGrowsWithQuality)
{
    struct Result {
        int quality;
        double tolerance; // mean difference per channel, out of 255
        qsizetype size = 0;
        double difference = 0;
    };
    std::array<Result, 3> results{{{1, 25.0}, {50, 5.0}, {100, 1.5}}};
    for (Result& r : results) {
        SCOPED_TRACE(r.quality);
        const QString name = QString("q%1.jpg").arg(r.quality);
        r.size = encoded(name, r.quality).size();
        const QImage decoded = decode(pathOf(name));
        ASSERT_EQ(decoded.size(), picture.size());
        r.difference = meanDifference(decoded, picture);
        EXPECT_LE(r.difference, r.tolerance);
    }
    EXPECT_LT(results[0].size, results[1].size);
    EXPECT_LT(results[1].size, results[2].size);
    EXPECT_GT(results[0].difference, results[1].difference);
    EXPECT_GT(results[1].difference, results[2].difference);
}

TEST_F(EncoderOutput, KirAndJpgNamesGetTheSameBytes)
{
    const QByteArray jpg = encoded("picture.jpg", 73);
    const QByteArray kir = encoded("picture.kir", 73);
    const QByteArray bare = encoded("picture", 73);
    EXPECT_FALSE(jpg.isEmpty());
    EXPECT_EQ(kir, jpg);
    EXPECT_EQ(bare, jpg);
    EXPECT_EQ(entriesOf(folder.path()), (QStringList{"picture", "picture.jpg", "picture.kir"}));
}

TEST_F(EncoderOutput, ReplacingAFileLeavesNothingOfTheOldOne)
{
    const QByteArray large = encoded("fresh-100.jpg", 100);
    const QByteArray small = encoded("fresh-1.jpg", 1);
    ASSERT_LT(small.size(), large.size());

    const QString target = pathOf("target.jpg");
    ASSERT_TRUE(writeFile(target, large));
    EXPECT_EQ(encoded("target.jpg", 1), small) << "no tail of the longer old file remains";
    EXPECT_EQ(entriesOf(folder.path()),
              (QStringList{"fresh-1.jpg", "fresh-100.jpg", "target.jpg"}));
}

} // namespace
