#include "profile/ini_lines.h"

namespace profile::ini {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.sliced(begin, end - begin);
}

LineReader::LineReader(QByteArrayView file)
    : file_(file)
    , encoding_(detectEncoding(file))
    , pos_(encoding_.bodyStart)
{
}

bool LineReader::next(Line& line)
{
    const qsizetype size = file_.size();
    if (pos_ >= size)
        return false;

    line = Line{};
    line.start = pos_;
    const char* data = file_.data();
    qsizetype p = pos_;
    while (p < size && data[p] != '\r' && data[p] != '\n')
        ++p;
    line.contentEnd = p;
    if (p < size) {
        if (data[p] == '\r' && p + 1 < size && data[p + 1] == '\n')
            p += 2;
        else
            p += 1;
    }
    line.end = p;
    pos_ = p;

    const QByteArrayView content = file_.sliced(line.start, line.contentEnd - line.start);
    qsizetype first = 0;
    while (first < content.size() && isBlank(content[first]))
        ++first;
    if (first == content.size()) {
        line.kind = Line::Kind::Blank;
        return true;
    }
    const char lead = content[first];
    if (lead == ';' || lead == '#') {
        line.kind = Line::Kind::Comment;
        return true;
    }
    if (lead == '[') {
        const QByteArrayView rest = content.sliced(first + 1);
        const qsizetype close = findInLine(rest, ']', encoding_.encoding);
        if (close < 0) {
            line.kind = Line::Kind::Other;
        } else {
            line.kind = Line::Kind::Header;
            line.name = trimBlanks(rest.first(close));
        }
        return true;
    }

    line.kind = Line::Kind::Entry;
    const qsizetype equals = findInLine(content, '=', encoding_.encoding);
    const qsizetype keyEnd = equals < 0 ? content.size() : equals;
    line.equals = equals < 0 ? -1 : line.start + equals;
    line.name = trimBlanks(content.sliced(first, keyEnd - first));
    line.nameEnd = line.start + first + line.name.size();
    return true;
}

QByteArrayView entryValue(QByteArrayView file, const Line& line)
{
    if (line.kind != Line::Kind::Entry || line.equals < 0)
        return {};
    QByteArrayView value = trimBlanks(file.sliced(line.equals + 1, line.contentEnd - line.equals - 1));
    if (value.size() >= 2) {
        const char open = value.front();
        if ((open == '"' || open == '\'') && value.back() == open)
            value = value.sliced(1, value.size() - 2);
    }
    return value;
}

QByteArrayView lineBreakOf(QByteArrayView file)
{
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (file[i] == '\n')
            return "\n";
        if (file[i] == '\r')
            return i + 1 < file.size() && file[i + 1] == '\n' ? QByteArrayView("\r\n")
                                                               : QByteArrayView("\r");
    }
    return "\n";
}

} // namespace profile::ini
