#include "files/native_names.h"

#include <cerrno>

#include <QtGlobal>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace native_names {

namespace {

constexpr char16_t escapeBase = 0xDC00;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence starting at bytes[i], or 0 when invalid
// (overlong forms, surrogates and values above U+10FFFF are invalid).
int validSequenceLength(const unsigned char* bytes, qsizetype size, qsizetype i)
{
    const unsigned char lead = bytes[i];
    if (lead < 0x80)
        return 1;
    int length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        if (!isContinuation(bytes[i + k]))
            return 0;
        value = (value << 6) | (bytes[i + k] & 0x3F);
    }
    const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < minimum[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString decode(const QByteArray& name)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.constData());
    const qsizetype size = name.size();
    QString result;
    result.reserve(size);
    qsizetype i = 0;
    while (i < size) {
        const int length = validSequenceLength(bytes, size, i);
        if (length == 0) {
            result += QChar(char16_t(escapeBase + bytes[i]));
            ++i;
        } else {
            result += QString::fromUtf8(name.constData() + i, length);
            i += length;
        }
    }
    return result;
}

QByteArray encode(const QString& name)
{
    QByteArray result;
    result.reserve(name.size() * 3);
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            result += QStringView(name).mid(runStart, end - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        const bool escaped = unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF;
        if (!escaped)
            continue;
        // A low surrogate that follows a high one is half of a real character.
        if (i > 0 && name.at(i - 1).isHighSurrogate())
            continue;
        flushRun(i);
        result += char(unit - escapeBase);
        runStart = i + 1;
    }
    flushRun(name.size());
    return result;
}

QStringList entries(const QString& folder, EntryKind kind)
{
    QStringList result;
    const int folderFd = ::open(encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return result;
    DIR* dir = ::fdopendir(folderFd);
    if (!dir) {
        ::close(folderFd);
        return result;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            isFolder = ::fstatat(folderFd, entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        if (isFolder == (kind == EntryKind::Folders))
            result << decode(name);
    }
    ::closedir(dir);
    return result;
}

QString currentFolder()
{
    QByteArray buffer(256, Qt::Uninitialized);
    while (!::getcwd(buffer.data(), size_t(buffer.size()))) {
        if (errno != ERANGE || buffer.size() > (1 << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return decode(QByteArray(buffer.constData()));
}

std::optional<EntryKind> kindOf(const QString& path)
{
    struct stat info {};
    if (::stat(encode(path).constData(), &info) != 0)
        return std::nullopt;
    return S_ISDIR(info.st_mode) ? EntryKind::Folders : EntryKind::Files;
}

} // namespace native_names
