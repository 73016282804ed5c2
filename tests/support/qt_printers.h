#pragma once

#include <cstdio>
#include <ostream>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// GoogleTest prints these as what they hold rather than as their bytes in
// memory, so a failure says what differed. Found by argument-dependent lookup.

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

inline void PrintTo(const QByteArray& bytes, std::ostream* out)
{
    *out << '"';
    for (const char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            *out << c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(static_cast<unsigned char>(c)));
            *out << escaped;
        }
    }
    *out << '"';
}

inline void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << " x " << size.height(); }

inline void PrintTo(const QImage& picture, std::ostream* out)
{
    if (picture.isNull())
        *out << "a null picture";
    else
        *out << "a picture of " << picture.width() << " x " << picture.height() << " in format " << int(picture.format());
}
