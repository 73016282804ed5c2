#include "controls/fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace fonts {

namespace {

// Proportional first, as the named font is; the monospaced one and the
// common CJK families follow in case IPA fonts are missing.
const QStringList japaneseFamilies = {
    QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
    QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic"), QStringLiteral("Droid Sans Fallback"),
};

QString firstInstalledJapaneseFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : japaneseFamilies)
        if (installed.contains(family, Qt::CaseInsensitive))
            return family;
    for (const QString& family : installed)
        if (QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese))
            return family;
    return {};
}

} // namespace

void installSubstitutions()
{
    QFont::insertSubstitutions(msPGothic, japaneseFamilies);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), japaneseFamilies);
    QFont::insertSubstitutions(comicSans, {QStringLiteral("DejaVu Sans"), QStringLiteral("IPAPGothic")});

    const QString japanese = firstInstalledJapaneseFamily();
    if (japanese.isEmpty())
        return;
    QFont base = QApplication::font();
    // Every text is Japanese. Left to itself, the fallback for glyphs a family
    // lacks may pick a Chinese font (other shapes for the same kanji) or none
    // at all; a Japanese family behind every family settles it.
    for (const QString& family : QFontDatabase::families())
        if (family != japanese)
            QFont::insertSubstitution(family, japanese);
    base.setFamilies({japanese});
    QApplication::setFont(base);
}

QFont make(const QString& family, double pointSize, bool bold, bool italic)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

} // namespace fonts
