#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

// File names as the operating system stores them.
//
// On Linux a name is a string of bytes that need not be valid UTF-8. Qt drops
// such entries from its folder listings and maps their bytes to U+FFFD, so a
// name read through Qt cannot reach the file again. These functions use a
// lossless mapping instead: valid UTF-8 decodes as usual, and every byte of an
// invalid sequence becomes the lone surrogate U+DC00 + byte (U+DC80..U+DCFF),
// which encodes back to that byte. Every byte string survives the round trip.
// A lone surrogate typed by the user encodes as that byte too; real names never
// hold one, since UTF-8 cannot encode surrogates.
namespace native_names {

QString decode(const QByteArray& name);
QByteArray encode(const QString& name);

// The process's current folder, decoded as above; empty when it cannot be read.
QString currentFolder();

enum class EntryKind { Files, Folders };

// What `path` names (a symbolic link counts as what it points to), or nothing.
std::optional<EntryKind> kindOf(const QString& path);

// The names in a folder (without "." and ".."), decoded as above and unsorted.
// Files are everything that is not a folder; a symbolic link counts as what it
// points to. An unreadable folder lists nothing.
QStringList entries(const QString& folder, EntryKind kind);

} // namespace native_names
