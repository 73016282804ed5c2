#pragma once

#include <functional>

#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "qt_printers.h"

// A file's bytes, or none when it cannot be read; names are taken byte for byte, in writing too.
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// A file's permission bits (a link's own), or -1 when there is none.
int modeOf(const QString& path);

// Gradients over a checkerboard: every quality and any misplaced pixel shows.
QImage testPicture(int width, int height);
// An APP1 segment holding only the EXIF orientation, in either byte order.
QByteArray exifSegment(int orientation, bool bigEndian);
struct jpeg_compress_struct;
// libjpeg's own encoder, for streams Qt's writer cannot make: `setup` runs after the
// defaults, `row` gives each row's samples (`components` per pixel).
QByteArray libjpegEncoded(int width, int height, int components, const std::function<void(jpeg_compress_struct&)>& setup,
                          const std::function<const unsigned char*(int)>& row);
// The picture in one of Qt's formats ("JPEG", "BMP", "PNG").
QByteArray encodedAs(const QImage& picture, const char* format, bool progressive = false);
// The exit code of `run` in a child process whose memory is capped at what it holds now
// plus `spare` bytes; -1 when the child did not exit on its own.
int exitCodeUnderMemoryCap(long spare, const std::function<int()>& run);

// A test with a fresh folder of its own.
class ScratchTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder.filePath(name); }
    QString write(const QString& name, const QByteArray& bytes = "x") const
    {
        EXPECT_TRUE(writeBytes(path(name), bytes)) << name.toStdString();
        return path(name);
    }
    QTemporaryDir folder;
};
