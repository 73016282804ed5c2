#pragma once

#include <span>

#include <QString>

// The byte buffers through which the profile services hand back text, in the
// layout of the classic profile functions. Text in a buffer is UTF-8.
namespace profile {

// Copies the text: at most size - 1 bytes, cut before the first character that
// does not fit whole (never inside a character), then a 0 byte. Returns the
// number of bytes copied without the 0 byte; nothing is written to a buffer of
// size 0.
int copyToBuffer(const QString& text, std::span<char> buffer);

// A list of texts, each followed by a 0 byte, with one more 0 byte after the
// last ("a=1\0b=2\0\0"). Items are stored whole or not at all: the list ends
// before the first item that does not fit with its 0 byte and the closing one.
class BufferList {
public:
    explicit BufferList(std::span<char> buffer);

    // False when the item did not fit; the list is then full and takes no more.
    // Empty items are skipped, since they would end the list.
    bool add(const QString& item);
    // Writes the closing 0 byte(s) and returns the number of bytes stored
    // without the closing 0.
    int finish();

private:
    std::span<char> buffer_;
    size_t used_ = 0;
    bool full_ = false;
};

} // namespace profile
