#include "profile/ini_document.h"

#include <QSet>

#include "profile/ini_encoding.h"
#include "profile/ini_lines.h"

namespace profile::ini {

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

QString trimmedBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin);
}

QString asciiFolded(const QString& text)
{
    QString folded = text;
    for (QChar& c : folded)
        c = QChar(asciiLower(c.unicode()));
    return folded;
}

// A name asked for by a caller, ready to compare with the names in the file.
class Name {
public:
    explicit Name(const QString& name)
        : text_(trimmedBlanks(name))
        , folded_(asciiFolded(text_))
        , utf8_(folded_.toUtf8())
        // Decoded file text never holds a lone surrogate, so such a name matches nothing.
        , matchable_(!text_.isEmpty() && text_.isValidUtf16())
        // Comparing UTF-8 bytes is exact unless the name holds U+FFFD, which is
        // also what invalid bytes in a file read as.
        , bytewise_(!text_.contains(QChar::ReplacementCharacter))
    {
    }

    const QString& text() const { return text_; }
    bool isEmpty() const { return text_.isEmpty(); }

    bool matches(QByteArrayView bytes, TextEncoding encoding) const
    {
        if (!matchable_)
            return false;
        if (encoding == TextEncoding::Utf8 && bytewise_) {
            // In UTF-8 no byte of a multi-byte character is an ASCII letter.
            if (bytes.size() != utf8_.size())
                return false;
            for (qsizetype i = 0; i < bytes.size(); ++i)
                if (asciiLower(bytes[i]) != utf8_[i])
                    return false;
            return true;
        }
        return asciiFolded(decode(bytes, encoding)) == folded_;
    }

private:
    QString text_;
    QString folded_;
    QByteArray utf8_;
    bool matchable_;
    bool bytewise_;
};

bool holdsLineBreakOrZero(const QString& text)
{
    for (const QChar c : text)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    return false;
}

bool isWritableSectionName(const Name& section)
{
    return !section.isEmpty() && !holdsLineBreakOrZero(section.text())
           && !section.text().contains(u']');
}

bool isWritableKey(const Name& key)
{
    if (key.isEmpty() || holdsLineBreakOrZero(key.text()) || key.text().contains(u'='))
        return false;
    const QChar first = key.text().front();
    return first != u'[' && first != u';' && first != u'#';
}

// The stored form of a value (see the header for the rule).
QString storedValue(const QString& value)
{
    if (value.isEmpty())
        return value;
    const QChar first = value.front();
    const QChar last = value.back();
    const bool blankAtEnd = first == u' ' || first == u'\t' || last == u' ' || last == u'\t';
    const bool looksQuoted = value.size() >= 2 && (first == u'"' || first == u'\'') && last == first;
    if (blankAtEnd || looksQuoted)
        return u'"' + value + u'"';
    return value;
}

bool endsWithLineBreak(QByteArrayView file, qsizetype bodyStart)
{
    return file.size() > bodyStart && (file.back() == '\n' || file.back() == '\r');
}

Edit unchangedOr(QByteArrayView before, QByteArray after)
{
    if (QByteArrayView(after) == before)
        return {Edit::Result::Unchanged, {}};
    return {Edit::Result::Changed, std::move(after)};
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// An edited file must still be read the way it was. Removing lines can leave a
// Shift-JIS file whose bytes happen to be valid UTF-8, which is then converted
// to UTF-8 (when that loses nothing); and a line that begins with the bytes of a
// byte-order mark must not become the file's first line.
Edit settled(QByteArrayView before, FileEncoding was, QByteArray after)
{
    const FileEncoding now = detectEncoding(after);
    if (now.bodyStart != was.bodyStart)
        return {Edit::Result::Refused, {}};
    if (now.encoding != was.encoding && !isAscii(after)) {
        if (was.encoding != TextEncoding::ShiftJis)
            return {Edit::Result::Refused, {}};
        std::optional<QByteArray> converted = shiftJisToUtf8Exactly(after);
        if (!converted || detectEncoding(*converted).bodyStart != 0)
            return {Edit::Result::Refused, {}};
        after = std::move(*converted);
    }
    return unchangedOr(before, std::move(after));
}

// Copies the file without the given line ranges (sorted, not overlapping).
QByteArray without(QByteArrayView file, const QList<std::pair<qsizetype, qsizetype>>& ranges)
{
    QByteArray out;
    out.reserve(file.size());
    qsizetype kept = 0;
    for (const auto& [begin, end] : ranges) {
        out.append(file.sliced(kept, begin - kept));
        kept = end;
    }
    out.append(file.sliced(kept));
    return out;
}

} // namespace

std::optional<QString> findValue(QByteArrayView file, const QString& section, const QString& key)
{
    const Name sectionName(section);
    const Name keyName(key);
    if (sectionName.isEmpty() || keyName.isEmpty())
        return std::nullopt;
    LineReader reader(file);
    const TextEncoding encoding = reader.fileEncoding().encoding;
    bool inSection = false;
    Line line;
    while (reader.next(line)) {
        if (line.kind == Line::Kind::Header)
            inSection = sectionName.matches(line.name, encoding);
        else if (inSection && line.kind == Line::Kind::Entry && keyName.matches(line.name, encoding))
            return decode(entryValue(file, line), encoding);
    }
    return std::nullopt;
}

void forEachEntry(QByteArrayView file, const QString& section,
                  const std::function<bool(const QString&)>& visit)
{
    const Name sectionName(section);
    if (sectionName.isEmpty())
        return;
    LineReader reader(file);
    const TextEncoding encoding = reader.fileEncoding().encoding;
    bool inSection = false;
    Line line;
    while (reader.next(line)) {
        if (line.kind == Line::Kind::Header) {
            inSection = sectionName.matches(line.name, encoding);
        } else if (inSection && line.kind == Line::Kind::Entry) {
            QString entry = decode(line.name, encoding);
            if (line.equals >= 0)
                entry += u'=' + decode(entryValue(file, line), encoding);
            if (!visit(entry))
                return;
        }
    }
}

void forEachSectionName(QByteArrayView file, const std::function<bool(const QString&)>& visit)
{
    LineReader reader(file);
    const TextEncoding encoding = reader.fileEncoding().encoding;
    QSet<QString> seen;
    Line line;
    while (reader.next(line)) {
        if (line.kind != Line::Kind::Header || line.name.isEmpty())
            continue;
        const QString name = decode(line.name, encoding);
        const QString folded = asciiFolded(name);
        if (seen.contains(folded))
            continue;
        seen.insert(folded);
        if (!visit(name))
            return;
    }
}

Edit setValue(QByteArrayView file, const QString& section, const QString& key, const QString& value)
{
    const Name sectionName(section);
    const Name keyName(key);
    if (!isWritableSectionName(sectionName) || !isWritableKey(keyName) || holdsLineBreakOrZero(value))
        return {Edit::Result::Refused, {}};

    LineReader reader(file);
    const FileEncoding fileEncoding = reader.fileEncoding();
    const TextEncoding encoding = fileEncoding.encoding;
    const std::optional<QByteArray> sectionBytes = encodeExactly(sectionName.text(), encoding);
    const std::optional<QByteArray> keyBytes = encodeExactly(keyName.text(), encoding);
    const std::optional<QByteArray> valueBytes = encodeExactly(storedValue(value), encoding);
    if (!sectionBytes || !keyBytes || !valueBytes) {
        if (encoding != TextEncoding::ShiftJis)
            return {Edit::Result::Refused, {}};
        const std::optional<QByteArray> utf8 = shiftJisToUtf8Exactly(file);
        if (!utf8 || detectEncoding(*utf8).encoding != TextEncoding::Utf8)
            return {Edit::Result::Refused, {}};
        Edit edit = setValue(*utf8, section, key, value);
        if (edit.result == Edit::Result::Unchanged)
            edit = {Edit::Result::Changed, *utf8};
        return edit;
    }

    bool inSection = false;
    bool inFirstHeader = false;
    bool sectionFound = false;
    qsizetype insertAt = 0;        // after the first header's last entry (or the header)
    bool insertAfterBreak = true;  // the line before insertAt ends with a line break
    Line line;
    while (reader.next(line)) {
        if (line.kind == Line::Kind::Header) {
            inSection = sectionName.matches(line.name, encoding);
            inFirstHeader = inSection && !sectionFound;
            if (inFirstHeader) {
                sectionFound = true;
                insertAt = line.end;
                insertAfterBreak = line.hasBreak();
            }
            continue;
        }
        if (!inSection || line.kind != Line::Kind::Entry)
            continue;
        if (keyName.matches(line.name, encoding)) {
            QByteArray out;
            out.reserve(file.size() + valueBytes->size() + 1);
            if (line.equals >= 0) {
                qsizetype valueStart = line.equals + 1;
                if (!valueBytes->isEmpty())
                    while (valueStart < line.contentEnd && isBlank(file[valueStart]))
                        ++valueStart;
                out.append(file.first(valueStart));
            } else {
                out.append(file.first(line.nameEnd));
                out.append('=');
            }
            out.append(*valueBytes);
            out.append(file.sliced(line.contentEnd));
            return settled(file, fileEncoding, std::move(out));
        }
        if (inFirstHeader) {
            insertAt = line.end;
            insertAfterBreak = line.hasBreak();
        }
    }

    const QByteArrayView lineBreak = lineBreakOf(file);
    QByteArray out;
    out.reserve(file.size() + sectionBytes->size() + keyBytes->size() + valueBytes->size() + 8);
    if (sectionFound) {
        out.append(file.first(insertAt));
        if (!insertAfterBreak)
            out.append(lineBreak);
        out.append(*keyBytes).append('=').append(*valueBytes).append(lineBreak);
        out.append(file.sliced(insertAt));
    } else {
        out.append(file);
        if (file.size() > fileEncoding.bodyStart && !endsWithLineBreak(file, fileEncoding.bodyStart))
            out.append(lineBreak);
        out.append('[').append(*sectionBytes).append(']').append(lineBreak);
        out.append(*keyBytes).append('=').append(*valueBytes).append(lineBreak);
    }
    return settled(file, fileEncoding, std::move(out));
}

Edit removeKey(QByteArrayView file, const QString& section, const QString& key)
{
    const Name sectionName(section);
    const Name keyName(key);
    LineReader reader(file);
    const FileEncoding fileEncoding = reader.fileEncoding();
    QList<std::pair<qsizetype, qsizetype>> ranges;
    bool inSection = false;
    Line line;
    while (reader.next(line)) {
        if (line.kind == Line::Kind::Header)
            inSection = sectionName.matches(line.name, fileEncoding.encoding);
        else if (inSection && line.kind == Line::Kind::Entry
                 && keyName.matches(line.name, fileEncoding.encoding))
            ranges.append({line.start, line.end});
    }
    if (ranges.isEmpty())
        return {Edit::Result::Unchanged, {}};
    return settled(file, fileEncoding, without(file, ranges));
}

Edit removeSection(QByteArrayView file, const QString& section)
{
    const Name sectionName(section);
    LineReader reader(file);
    const FileEncoding fileEncoding = reader.fileEncoding();
    QList<std::pair<qsizetype, qsizetype>> ranges;
    bool inSection = false;
    Line line;
    while (reader.next(line)) {
        if (line.kind == Line::Kind::Header)
            inSection = sectionName.matches(line.name, fileEncoding.encoding);
        if (!inSection)
            continue;
        if (!ranges.isEmpty() && ranges.back().second == line.start)
            ranges.back().second = line.end;
        else
            ranges.append({line.start, line.end});
    }
    if (ranges.isEmpty())
        return {Edit::Result::Unchanged, {}};
    return settled(file, fileEncoding, without(file, ranges));
}

} // namespace profile::ini
