#include "runtime/texts.h"

#include <vector>

#include <QLocale>

namespace {

// A run of one pattern letter ("mm", "H") or of literal text in a date/time format.
struct FormatToken {
    QString text;
    bool isField = false;
    QChar letter() const { return isField ? text.front() : QChar(); }
};

// Splits a QLocale format into fields and literals; quoted text ('...',
// with '' for a quote) is literal.
std::vector<FormatToken> tokenize(const QString& format)
{
    std::vector<FormatToken> tokens;
    const auto appendLiteral = [&](const QString& literal) {
        if (tokens.empty() || tokens.back().isField)
            tokens.push_back({QString(), false});
        tokens.back().text += literal;
    };
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            const qsizetype close = format.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype end = close < 0 ? format.size() : close + 1;
            appendLiteral(format.mid(i, end - i));
            i = end;
        } else if (c.isLetter() && c.unicode() < 0x80) {
            qsizetype end = i + 1;
            while (end < format.size() && format.at(end) == c)
                ++end;
            tokens.push_back({format.mid(i, end - i), true});
            i = end;
        } else {
            appendLiteral(QString(c));
            ++i;
        }
    }
    return tokens;
}

QString join(const std::vector<FormatToken>& tokens)
{
    QString result;
    for (const FormatToken& token : tokens)
        result += token.text;
    return result;
}

bool hasField(const std::vector<FormatToken>& tokens, char letter)
{
    for (const FormatToken& token : tokens)
        if (token.letter() == QLatin1Char(letter))
            return true;
    return false;
}

// The format without its time-zone fields and the blanks before them.
QString withoutTimeZone(const QString& format)
{
    std::vector<FormatToken> kept;
    for (const FormatToken& token : tokenize(format)) {
        if (token.letter() == QLatin1Char('t')) {
            if (!kept.empty() && !kept.back().isField) {
                QString& before = kept.back().text;
                while (!before.isEmpty() && before.back().isSpace())
                    before.chop(1);
            }
            continue;
        }
        kept.push_back(token);
    }
    return join(kept).trimmed();
}

} // namespace

QString numberText(double value)
{
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'G', 15);
}

QString sizeText(qint64 bytes) { return numberText(double(bytes) / 1000.0); }

QString longTimeFormat(const QLocale& locale)
{
    std::vector<FormatToken> tokens = tokenize(locale.timeFormat(QLocale::ShortFormat));
    if (hasField(tokens, 's'))
        return withoutTimeZone(join(tokens));
    // Seconds follow the minutes with the separator that sits between hours
    // and minutes; a worded separator (時, h) has no such pattern.
    for (std::size_t i = 2; i < tokens.size(); ++i) {
        const QChar hour = tokens[i - 2].letter();
        const FormatToken& separator = tokens[i - 1];
        if (tokens[i].letter() != QLatin1Char('m') || (hour != QLatin1Char('h') && hour != QLatin1Char('H')))
            continue;
        bool punctuation = !separator.isField && !separator.text.isEmpty();
        for (QChar c : separator.text)
            punctuation = punctuation && !c.isLetter() && c != QLatin1Char('\'');
        if (!punctuation)
            break;
        tokens.insert(tokens.begin() + qsizetype(i) + 1,
                      {FormatToken{separator.text, false}, FormatToken{QString(tokens[i].text.size(), QLatin1Char('s')), true}});
        return withoutTimeZone(join(tokens));
    }
    return withoutTimeZone(locale.timeFormat(QLocale::LongFormat));
}

QString dateText(const QDateTime& dateTime)
{
    const QLocale locale;
    const QString date = locale.toString(dateTime.date(), QLocale::ShortFormat);
    const QTime time = dateTime.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + locale.toString(time, longTimeFormat(locale));
}
