#pragma once

#include <ostream>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// GoogleTest prints these as what they hold rather than as their bytes in memory, so a failure
// says what differed (bytes other than printable ASCII as %XX). Found by argument-dependent lookup.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"' << bytes.toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}").toStdString() << '"';
}
inline void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << " x " << size.height(); }
inline void PrintTo(const QImage& picture, std::ostream* out)
{
    *out << "a picture of " << picture.width() << " x " << picture.height() << " in format " << int(picture.format());
}
