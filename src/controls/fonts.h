#pragma once

#include <QFont>
#include <QString>

// The Japanese fonts the windows name, and what stands in for them here.
namespace fonts {

inline const QString msPGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString comicSans = QStringLiteral("Comic Sans MS");

// Maps the named fonts to installed ones and makes a Japanese-capable family
// the fallback of every family, so no text renders as empty boxes.
void installSubstitutions();

// A font by name, point size and weight, as a window table gives it.
QFont make(const QString& family, double pointSize, bool bold = false, bool italic = false);

} // namespace fonts
