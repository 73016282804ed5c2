#pragma once

// Folders of photos for the browsing benchmarks: real photo sizes from
// 1280 x 1024 to 17.9 megapixels, cut from bench::photo() and written by
// libjpeg at quality 95 to 100, progressive (as desktop backgrounds and many
// cameras' exports are) or baseline; and the same photos at a fifth of their
// size, whose browsing costs the key, the list, the window and the drawing
// but almost no decoding (the floor).

#include <cstdlib>
#include <vector>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

#include "bench_support.h"

namespace bench {

struct CorpusPhoto {
    QSize size;
    int quality;
};

// The last one is the 17.9-megapixel photo the memory probes show.
inline const std::vector<CorpusPhoto>& corpusPhotos()
{
    static const std::vector<CorpusPhoto> photos{
        {{1280, 1024}, 98}, {{1600, 1200}, 100}, {{1920, 1080}, 95}, {{1920, 1200}, 98},
        {{2048, 1536}, 100}, {{2560, 1440}, 98}, {{2560, 1600}, 95}, {{2880, 1800}, 100},
        {{3200, 2000}, 98}, {{3264, 2448}, 98}, {{3840, 2160}, 100}, {{4000, 3000}, 95},
        {{4608, 3072}, 98}, {{5120, 2880}, 98}, {{5640, 3172}, 100}, {{5184, 3456}, 98},
    };
    return photos;
}

// libjpeg-turbo's own encoder, 4:2:0, optimised tables; progressive with its standard scan script.
inline void writeJpeg(const QString& path, const QImage& picture, int quality, bool progressive)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bareEncoded(picture, true, quality, progressive)) < 0)
        std::abort();
}

// Each photo a different part of the big one, so no two files are alike.
inline QImage corpusCut(const QImage& source, QSize size, int index)
{
    const int x = (source.width() - size.width()) * (index % 4) / 3;
    const int y = (source.height() - size.height()) * (index % 3) / 2;
    return source.copy(x, y, size.width(), size.height());
}

// The photos in `folder` as photo01.jpg ... in list order; `small` gives them at a fifth of their sides.
inline QStringList writeCorpus(const QString& folder, const QImage& source, bool progressive, bool small)
{
    QStringList paths;
    int index = 0;
    for (const CorpusPhoto& photo : corpusPhotos()) {
        QImage cut = corpusCut(source, photo.size, index);
        if (small)
            cut = cut.scaled(photo.size / 5, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QString path = QDir(folder).filePath(QStringLiteral("photo%1.jpg").arg(++index, 2, 10, QLatin1Char('0')));
        writeJpeg(path, cut, photo.quality, progressive);
        paths << path;
    }
    return paths;
}

} // namespace bench
