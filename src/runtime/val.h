#pragma once

#include <QString>

// The number a text begins with, read the way the classic runtime's Val reads it.
//
// - Blanks (space), tabs and line feeds are skipped anywhere, so "1 2" reads 12.
// - An optional sign, decimal digits, one decimal point and an exponent (E or D,
//   optional sign, digits) form the number; reading stops at the first character
//   that cannot continue it ("2abc" reads 2, "1.2.3" reads 1.2, "1e" reads 1).
// - "&H" and "&O" (either letter case) read hexadecimal and octal digits as an
//   unsigned value ("&HFFFF" reads 65535; no 16- or 32-bit sign wrap). A sign in
//   front of "&" is not a number.
// - A text without a number reads 0.
// - Full-width forms (U+FF01..U+FF5E, as a Japanese input method types them) read
//   as their ASCII counterparts and the ideographic space U+3000 is a blank, so
//   "２" reads 2 and "２．５" reads 2.5.
// - Never raises: a number too large for a double reads as plus or minus infinity,
//   one too small as 0.
double Val(const QString& text);
