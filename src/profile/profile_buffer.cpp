#include "profile/profile_buffer.h"

#include <cstring>

#include <QByteArray>

namespace profile {

int copyToBuffer(const QString& text, std::span<char> buffer)
{
    if (buffer.empty())
        return 0;
    const QByteArray bytes = text.toUtf8();
    size_t count = static_cast<size_t>(bytes.size());
    if (count > buffer.size() - 1) {
        count = buffer.size() - 1;
        // Back up to the first byte of the character that would be split.
        while (count > 0 && (static_cast<unsigned char>(bytes[count]) & 0xC0) == 0x80)
            --count;
    }
    std::memcpy(buffer.data(), bytes.constData(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

BufferList::BufferList(std::span<char> buffer)
    : buffer_(buffer)
{
}

bool BufferList::add(const QString& item)
{
    if (full_)
        return false;
    if (item.isEmpty())
        return true;
    const QByteArray bytes = item.toUtf8();
    const size_t needed = static_cast<size_t>(bytes.size()) + 2; // its 0 and the closing 0
    if (buffer_.size() < used_ || buffer_.size() - used_ < needed) {
        full_ = true;
        return false;
    }
    std::memcpy(buffer_.data() + used_, bytes.constData(), static_cast<size_t>(bytes.size()));
    used_ += static_cast<size_t>(bytes.size());
    buffer_[used_++] = '\0';
    return true;
}

int BufferList::finish()
{
    if (used_ < buffer_.size())
        buffer_[used_] = '\0';
    // An empty list is "\0\0" where there is room for it.
    if (used_ == 0 && buffer_.size() > 1)
        buffer_[1] = '\0';
    return static_cast<int>(used_);
}

} // namespace profile
