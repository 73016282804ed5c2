#pragma once

#include <QByteArrayView>

#include "profile/ini_encoding.h"

// The line layout of a settings file.
//
// A line ends at CR LF, at a lone CR or at a lone LF; each line keeps its own
// break, so files with mixed endings are edited without touching the others.
// Blanks are spaces and tabs. After leading blanks a line is
// - blank: nothing else on it;
// - a comment: it starts with ";" or "#";
// - a section header: it starts with "[" and holds a "]"; the name is what lies
//   between "[" and the first "]", blanks trimmed; anything after "]" is ignored;
// - other: it starts with "[" but has no "]" (kept, never read);
// - an entry: anything else. The key is the text before the first "=", blanks
//   trimmed; a line without "=" is an entry with a key and no value.
// Lines before the first header belong to no section.
namespace profile::ini {

struct Line {
    enum class Kind { Blank, Comment, Header, Other, Entry };

    Kind kind = Kind::Blank;
    qsizetype start = 0;      // offsets into the whole file
    qsizetype contentEnd = 0; // where the line break starts
    qsizetype end = 0;        // after the line break
    QByteArrayView name;      // header: section name; entry: key
    qsizetype nameEnd = 0;    // entry: offset after the key's last byte
    qsizetype equals = -1;    // entry: offset of the first "=", or -1

    bool hasBreak() const { return end > contentEnd; }
};

class LineReader {
public:
    explicit LineReader(QByteArrayView file);

    FileEncoding fileEncoding() const { return encoding_; }
    // The next line, or false at the end of the file.
    bool next(Line& line);

private:
    QByteArrayView file_;
    FileEncoding encoding_;
    qsizetype pos_;
};

bool isBlank(char c);
QByteArrayView trimBlanks(QByteArrayView bytes);

// The value of an entry: the text after "=", blanks trimmed, then one pair of
// enclosing quotation marks (both " or both ') removed. Empty without "=".
QByteArrayView entryValue(QByteArrayView file, const Line& line);

// The break new lines get: the file's first one, or "\n".
QByteArrayView lineBreakOf(QByteArrayView file);

} // namespace profile::ini
