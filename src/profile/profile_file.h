#pragma once

#include <optional>
#include <span>

#include <QString>

// The profile services: keys, sections and lists of one INI file, addressed by
// its path. The last file read is kept while its size, times and inode stay
// the same, so a run of calls reads it once; every change replaces the file
// atomically. A file over 1 MiB is not a settings file: it is treated as an
// unreadable one (a warning says so once). The text layout, name
// matching and value rules are those of ini_document.h; text in buffers is UTF-8
// and buffers are laid out as profile_buffer.h describes.
//
// A path that names something other than a regular file (a folder, a device, a
// pipe) or a file that cannot be read is never written over: reads see it as a
// missing file, changes fail. A symbolic link to a file is followed: the file
// it points to is replaced and the link stays. A path without a folder part is
// relative to the current working folder.
namespace profile {

// The key's value, or the default when the file, the section or the key is
// missing (a key with an empty value yields the empty text, not the default).
// Returns the number of bytes copied (see copyToBuffer).
int readString(const QString& section, const QString& key, const QString& defaultText,
               std::span<char> buffer, const QString& fileName);

// The key's value as a decimal integer: an optional sign and the digits that
// follow it, clamped to the 32-bit range, 0 when no digit follows. The default
// when the file, the section or the key is missing or the value is empty.
int readInt(const QString& section, const QString& key, int defaultValue, const QString& fileName);

// With section, key and text: sets the key, creating the file, the section and
// the key as needed. With a null text: removes the key. With a null key (and
// text): removes the section with all its keys. With all three null: writes out
// what is held in memory, which is nothing, so it only succeeds. Returns true on
// success; a removal that finds nothing to remove succeeds without writing.
bool writeString(const std::optional<QString>& section, const std::optional<QString>& key,
                 const std::optional<QString>& text, const QString& fileName);

// The section's entries as a list ("key=value\0...\0\0"); returns the bytes
// stored without the closing 0 byte, 0 for a missing or empty section.
int readSection(const QString& section, std::span<char> buffer, const QString& fileName);

// The file's section names in file order, in the same layout.
int readSectionNames(std::span<char> buffer, const QString& fileName);

// How many times a file's contents were read, for tests.
int fileReadsForTesting();

} // namespace profile
