#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How the bytes of a settings file map to text.
//
// Files are UTF-8. A file that starts with the UTF-8 byte-order mark is UTF-8
// whatever follows (invalid sequences read as U+FFFD). A file without the mark
// that is not valid UTF-8 is a legacy Shift-JIS file (the Windows code page 932
// flavour, where 0x5C is the backslash). Every byte that matters to the INI
// layout ("[", "]", "=", ";", "#", blanks, CR, LF, quotes) is ASCII and can never
// be the second byte of a Shift-JIS character except "]", which is searched for
// with the character boundaries in mind (see findInLine).
//
// Shift-JIS conversion goes through QStringConverter's ICU backend. Where Qt was
// built without ICU, shiftJisAvailable() is false: such files are then read with
// U+FFFD for every non-ASCII byte, and edits keep the other lines' bytes as they
// are and add new text only when it is ASCII.
namespace profile::ini {

enum class TextEncoding { Utf8, ShiftJis };

struct FileEncoding {
    TextEncoding encoding = TextEncoding::Utf8;
    qsizetype bodyStart = 0; // 3 after a byte-order mark, else 0
};

FileEncoding detectEncoding(QByteArrayView file);
bool shiftJisAvailable();

// Lossy: undecodable bytes become replacement characters.
QString decode(QByteArrayView bytes, TextEncoding encoding);

// The bytes of the text, only when they decode back to exactly the same text
// (no unmappable characters, no lone surrogates).
std::optional<QByteArray> encodeExactly(const QString& text, TextEncoding encoding);

// The whole of a Shift-JIS file as UTF-8, only when every byte decodes cleanly.
std::optional<QByteArray> shiftJisToUtf8Exactly(QByteArrayView bytes);

// Position of the first byte c in the line that is a character of its own (not
// the second byte of a Shift-JIS pair), or -1.
qsizetype findInLine(QByteArrayView line, char c, TextEncoding encoding);

} // namespace profile::ini
