#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Reading and editing the text of a settings file held in memory.
//
// Names: section and key names are compared with blanks (spaces, tabs) around
// them trimmed and without regard to the case of ASCII letters ("OKINI" and
// "okini" are one section; "Ä" and "ä" are not). An empty name addresses nothing.
//
// Duplicates: all headers with the same name form one section whose entries are
// theirs in file order. A key reads as its first entry; setting a key changes
// that first entry; removing a key removes all its entries; removing a section
// removes every one of its headers with the lines up to the next header.
//
// Values read back exactly as written. A value is stored after "=" as it is,
// except that it is written inside one pair of double quotation marks when it
// begins or ends with a blank, or when it begins and ends with the same
// quotation mark (" or '). Reading trims blanks around the stored text and then
// removes one pair of enclosing quotation marks, so any value comes back
// unchanged: " C:\a b ", "\"x\"", "a=b;c#d[e]&f" and Japanese text alike.
// Comments are not recognised after a value, so ";" and "#" are plain text there.
//
// Edits change only the lines they must; everything else (other sections and
// keys, comments, blank lines, order, byte-order mark and each line's own line
// ending) keeps its bytes. A new key goes after the last entry of the section's
// first header; a new section goes at the end of the file. New lines use the
// file's first line ending.
//
// Refused edits: names or values holding CR, LF or a 0 byte (they would break
// the line layout), an empty section or key name, a section name with "]", a
// key with "=" or beginning with "[", ";" or "#", and text that the file's
// encoding cannot hold exactly. A Shift-JIS file stays Shift-JIS; when the new
// text has no Shift-JIS form, the whole file is converted to UTF-8 if that loses
// nothing, and the edit is refused otherwise. Likewise, when removing lines
// leaves a Shift-JIS file whose bytes would pass for UTF-8, it is converted so
// that its text stays the same, or the removal is refused if that would lose
// bytes that have no meaning in Shift-JIS.
namespace profile::ini {

std::optional<QString> findValue(QByteArrayView file, const QString& section, const QString& key);

// Each entry of the section in file order as "key=value" (or the key alone for
// an entry without "="); the visitor returns false to stop.
void forEachEntry(QByteArrayView file, const QString& section,
                  const std::function<bool(const QString&)>& visit);

// The names of the sections, each once, in the order of their first header;
// headers with an empty name are not listed. The visitor returns false to stop.
void forEachSectionName(QByteArrayView file, const std::function<bool(const QString&)>& visit);

struct Edit {
    enum class Result { Unchanged, Changed, Refused };
    Result result = Result::Unchanged;
    QByteArray file; // the new text when Changed
};

Edit setValue(QByteArrayView file, const QString& section, const QString& key, const QString& value);
Edit removeKey(QByteArrayView file, const QString& section, const QString& key);
Edit removeSection(QByteArrayView file, const QString& section);

} // namespace profile::ini
