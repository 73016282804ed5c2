#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// Numbers and dates as the program shows them, in the default QLocale.

// General number format: at most 15 significant digits, no trailing zeros,
// no thousands separators, the locale's decimal point; exponent form from
// 1E+15 up and below 0.0001 (1E-05).
QString numberText(double value);

// A file size: bytes / 1000 (not 1024) in the general number format, so
// 123456 reads "123.456" and 2000 reads "2".
QString sizeText(qint64 bytes);

// The locale's short date and long time without a time zone, for example
// "2000/05/20 2:36:12" in Japanese; at exactly midnight (to the second) the
// date alone.
QString dateText(const QDateTime& dateTime);

// The long time format used by dateText: the locale's short time with
// seconds added (desktops show "2:36:12" where Qt's long format would add a
// time zone, and for Japanese the 時分秒 style).
QString longTimeFormat(const QLocale& locale);
