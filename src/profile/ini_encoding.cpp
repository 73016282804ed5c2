#include "profile/ini_encoding.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace profile::ini {

namespace {

constexpr char shiftJisName[] = "Shift_JIS";

bool isShiftJisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isShiftJisTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// Opening an ICU converter costs far more than a short conversion, so each
// thread keeps one of each. Only whole characters are converted, so no state
// carries over; the error flag does (resetState keeps it), so a converter that
// reported an error is replaced.
QStringDecoder& shiftJisDecoder()
{
    thread_local QStringDecoder decoder(shiftJisName, QStringConverter::Flag::Stateless);
    return decoder;
}

QStringEncoder& shiftJisEncoder()
{
    thread_local QStringEncoder encoder(shiftJisName, QStringConverter::Flag::Stateless);
    return encoder;
}

// Shift-JIS as Windows code page 932 reads it. ASCII bytes are taken as they
// are: ICU's converter swaps the control codes 0x1A, 0x1C and 0x7F, which would
// make ASCII text read differently from UTF-8. Runs of well-formed characters go
// to the converter; a byte that starts no character, or a lead byte without a
// trail byte, reads as U+FFFD and sets the error flag.
QString decodeShiftJis(QByteArrayView bytes, bool& error)
{
    QString text;
    text.reserve(bytes.size());
    const auto byteAt = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const auto convert = [&](qsizetype begin, qsizetype end) {
        if (begin == end)
            return;
        if (!shiftJisAvailable()) {
            text.append(QString(end - begin, QChar::ReplacementCharacter));
            error = true;
            return;
        }
        QStringDecoder& decoder = shiftJisDecoder();
        QString part = decoder.decode(bytes.sliced(begin, end - begin));
        if (decoder.hasError()) {
            decoder = QStringDecoder(shiftJisName, QStringConverter::Flag::Stateless);
            error = true;
            part.replace(QChar(0x1A), QChar::ReplacementCharacter);
        }
        text.append(part);
    };
    qsizetype run = 0; // start of the pending run of well-formed characters
    qsizetype i = 0;
    while (i < bytes.size()) {
        const unsigned char b = byteAt(i);
        if (isShiftJisLeadByte(b) && i + 1 < bytes.size() && isShiftJisTrailByte(byteAt(i + 1))) {
            i += 2;
            continue;
        }
        if (b >= 0xA1 && b <= 0xDF) { // half-width katakana
            ++i;
            continue;
        }
        convert(run, i);
        if (b < 0x80) {
            text.append(QChar(b));
        } else {
            text.append(QChar::ReplacementCharacter);
            error = true;
        }
        run = ++i;
    }
    convert(run, i);
    return text;
}

} // namespace

FileEncoding detectEncoding(QByteArrayView file)
{
    if (file.startsWith(QByteArrayView("\xEF\xBB\xBF")))
        return {TextEncoding::Utf8, 3};
    return {file.isValidUtf8() ? TextEncoding::Utf8 : TextEncoding::ShiftJis, 0};
}

bool shiftJisAvailable()
{
    static const bool available = QStringDecoder(shiftJisName).isValid();
    return available;
}

QString decode(QByteArrayView bytes, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8) {
        // A byte order mark inside a line is part of the name or value: QString::fromUtf8
        // would drop one that starts it, and the line would read as another name than it matches.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
        return decoder(bytes);
    }
    bool error = false;
    return decodeShiftJis(bytes, error);
}

std::optional<QByteArray> encodeExactly(const QString& text, TextEncoding encoding)
{
    QByteArray bytes;
    if (encoding == TextEncoding::Utf8) {
        bytes = text.toUtf8();
    } else {
        // ASCII goes byte for byte (see decodeShiftJis); the converter gets the rest.
        bytes.reserve(text.size() * 2);
        qsizetype i = 0;
        while (i < text.size()) {
            if (text[i].unicode() < 0x80) {
                bytes.append(static_cast<char>(text[i].unicode()));
                ++i;
                continue;
            }
            if (!shiftJisAvailable())
                return std::nullopt;
            qsizetype end = i;
            while (end < text.size() && text[end].unicode() >= 0x80)
                ++end;
            QStringEncoder& encoder = shiftJisEncoder();
            bytes.append(encoder.encode(QStringView(text).sliced(i, end - i)));
            if (encoder.hasError()) {
                encoder = QStringEncoder(shiftJisName, QStringConverter::Flag::Stateless);
                return std::nullopt;
            }
            i = end;
        }
    }
    if (decode(bytes, encoding) != text)
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> shiftJisToUtf8Exactly(QByteArrayView bytes)
{
    bool error = false;
    const QString text = decodeShiftJis(bytes, error);
    if (error)
        return std::nullopt;
    return text.toUtf8();
}

qsizetype findInLine(QByteArrayView line, char c, TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf8)
        return line.indexOf(c);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b == static_cast<unsigned char>(c))
            return i;
        if (isShiftJisLeadByte(b) && i + 1 < line.size()
            && isShiftJisTrailByte(static_cast<unsigned char>(line[i + 1])))
            ++i;
    }
    return -1;
}

} // namespace profile::ini
