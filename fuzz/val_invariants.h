#pragma once

// What Val must satisfy for any text, shared by the fuzz target and the unit
// test that replays kept inputs: no NaN, and blanks inserted anywhere change
// nothing.

#include <cmath>
#include <functional>

#include <QString>

#include "runtime/val.h"

namespace val_invariants {

inline void checkInput(QByteArrayView data, const std::function<void(bool, const char*)>& check)
{
    const QString text = QString::fromUtf8(data);
    const double value = Val(text);
    check(!std::isnan(value), "not a number");
    QString spaced = QStringLiteral(" \t\n");
    for (const QChar c : text) {
        spaced += c;
        spaced += u' ';
    }
    check(value == Val(spaced), "blanks skipped anywhere");
}

} // namespace val_invariants
