#pragma once

#include <optional>

#include <QByteArrayView>
#include <QString>

// What a picture file tells about the quality it was saved at.
struct SourceQuality {
    bool jpeg = false;          // the content is a JPEG stream, whatever the name
    std::optional<int> quality; // 1..100, or empty: tables of no known scale
};

// Reads only the headers of the file at `path` and compares its luminance and
// chrominance quantization tables with the example tables of the JPEG
// standard and with this program's own tables, scaled to each quality 1..100
// the way libjpeg (and most tools on it) scales them. The closest scale is the estimate, unless even it is off
// by more than a few per cent (a camera's or another encoder's own tables).
// Never throws; an unreadable file is simply not a JPEG.
SourceQuality estimateJpegQuality(const QString& path);
// The same for a file's bytes already in memory.
SourceQuality estimateJpegQualityFromBytes(QByteArrayView bytes);
