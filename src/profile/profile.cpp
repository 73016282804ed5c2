#include "profile/profile.h"

#include <vector>

#include <QByteArray>

#include "runtime/rounding.h"
#include "runtime/run_time_error.h"
#include "runtime/texts.h"
#include "runtime/val.h"
#include "profile/profile_file.h"

namespace {

// A fresh work buffer per read, discarded on return.
using WorkBuffer = std::vector<char>;

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int digitValue(QChar c)
{
    if (isDigit(c))
        return c.unicode() - u'0';
    const char16_t upper = c.toUpper().unicode();
    if (upper >= u'A' && upper <= u'F')
        return upper - u'A' + 10;
    return 99;
}

// True when the whole text, blanks around it aside, is one number.
bool holdsNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    qsizetype i = 0;
    if (t.size() >= 2 && t[0] == u'&') {
        const QChar kind = t[1].toUpper();
        const int radix = kind == u'H' ? 16 : kind == u'O' ? 8 : 0;
        if (radix == 0 || t.size() == 2)
            return false;
        for (i = 2; i < t.size(); ++i)
            if (digitValue(t[i]) >= radix)
                return false;
        return true;
    }
    if (t[i] == u'+' || t[i] == u'-')
        ++i;
    bool digits = false;
    for (; i < t.size() && isDigit(t[i]); ++i)
        digits = true;
    if (i < t.size() && t[i] == u'.')
        for (++i; i < t.size() && isDigit(t[i]); ++i)
            digits = true;
    if (!digits)
        return false;
    if (i < t.size() && (t[i].toUpper() == u'E' || t[i].toUpper() == u'D')) {
        ++i;
        if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
            ++i;
        bool exponentDigits = false;
        for (; i < t.size() && isDigit(t[i]); ++i)
            exponentDigits = true;
        if (!exponentDigits)
            return false;
    }
    return i == t.size();
}

QString trimmedSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin);
}

// The item of a 0-separated list at the index (the first item is 0), or an
// empty text; the list lies in the first n bytes of the buffer.
QString listItem(const WorkBuffer& buffer, int n, std::int32_t index)
{
    if (index < 0 || n <= 0)
        return {};
    std::int32_t separators = 0;
    int start = index == 0 ? 0 : -1;
    for (int p = 0; p < n; ++p) {
        if (buffer[p] != '\0')
            continue;
        if (start >= 0)
            return QString::fromUtf8(buffer.data() + start, p - start);
        if (++separators == index)
            start = p + 1;
    }
    return {}; // the selected item has no 0 byte after it within the list
}

int zeroBytes(const WorkBuffer& buffer, int n)
{
    int count = 0;
    for (int p = 0; p < n; ++p)
        if (buffer[p] == '\0')
            ++count;
    return count;
}

} // namespace

QString Profile::Default::toText() const
{
    if (const auto* text = std::get_if<QString>(&value_))
        return *text;
    return numberText(std::get<double>(value_));
}

std::int32_t Profile::Default::toInt32() const
{
    if (const auto* text = std::get_if<QString>(&value_)) {
        if (!holdsNumber(*text))
            throw RunTimeError(RunTimeError::TypeMismatch);
        return roundToInt32(Val(*text));
    }
    return roundToInt32(std::get<double>(value_));
}

bool Profile::notReady(bool fileOnly) const
{
    if (!fileOnly)
        return section_.isEmpty() || fileName_.isEmpty();
    return fileName_.isEmpty();
}

QString Profile::getString(const QString& key, const Default& fallback) const
{
    if (key.isEmpty() || notReady(false))
        return fallback.toText();
    const QString defaultText = trimmedSpaces(fallback.toText());
    WorkBuffer buffer(BufferSize);
    const int n = profile::readString(section_, key, defaultText, buffer, fileName_);
    if (n < 1)
        return defaultText;
    return QString::fromUtf8(buffer.data(), n);
}

std::int32_t Profile::getValue(const QString& key, const Default& fallback) const
{
    const std::int32_t defaultValue = fallback.toInt32();
    if (key.isEmpty() || notReady(false))
        return defaultValue;
    return profile::readInt(section_, key, defaultValue, fileName_);
}

bool Profile::writeString(const QString& key, const QString& value)
{
    if (key.isEmpty() || notReady(false))
        return false;
    return profile::writeString(section_, key, value, fileName_);
}

bool Profile::writeValue(const QString& key, std::int32_t value)
{
    return writeString(key, QString::number(value));
}

bool Profile::deleteKey(const QString& key)
{
    if (key.isEmpty() || notReady(false))
        return false;
    return profile::writeString(section_, key, std::nullopt, fileName_);
}

bool Profile::deleteSection()
{
    if (notReady(false))
        return false;
    return profile::writeString(section_, std::nullopt, std::nullopt, fileName_);
}

std::int32_t Profile::keyCount() const
{
    if (notReady(false))
        return 0;
    WorkBuffer buffer(BufferSize);
    const int n = profile::readSection(section_, buffer, fileName_);
    return zeroBytes(buffer, n);
}

QString Profile::keyAt(std::int32_t index) const
{
    if (notReady(false))
        return {};
    WorkBuffer buffer(BufferSize);
    const int n = profile::readSection(section_, buffer, fileName_);
    const QString item = listItem(buffer, n, index);
    const qsizetype equals = item.indexOf(u'=');
    return equals < 0 ? QString() : item.first(equals);
}

std::int32_t Profile::lastSectionIndex() const
{
    if (notReady(true))
        return 0;
    WorkBuffer buffer(BufferSize);
    const int n = profile::readSectionNames(buffer, fileName_);
    return zeroBytes(buffer, n) - 1;
}

QString Profile::sectionAt(std::int32_t index) const
{
    if (notReady(true))
        return {};
    WorkBuffer buffer(BufferSize);
    const int n = profile::readSectionNames(buffer, fileName_);
    return listItem(buffer, n, index);
}

bool Profile::flush()
{
    if (notReady(true))
        return false;
    return profile::writeString(std::nullopt, std::nullopt, std::nullopt, fileName_);
}
