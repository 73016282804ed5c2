#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// A file's bytes, or none when it cannot be read; names are taken byte for byte.
QByteArray readBytes(const QString& path);
// Writes the file whatever its name; false when it cannot.
bool writeBytes(const QString& path, const QByteArray& bytes);

// Gradients over a checkerboard: every quality and any misplaced pixel shows.
QImage testPicture(int width, int height);
// The picture in one of Qt's formats ("JPEG", "BMP", "PNG").
QByteArray encodedAs(const QImage& picture, const char* format, bool progressive = false);
