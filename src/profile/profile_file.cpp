#include "profile/profile_file.h"

#include <algorithm>
#include <limits>
#include <new>

#include <QStringList>

#include <sys/stat.h>

#include "files/native_file.h"
#include "files/native_names.h"
#include "profile/atomic_file.h"
#include "profile/ini_document.h"
#include "profile/profile_buffer.h"
#include "runtime/run_time_error.h"

namespace profile {

namespace {

struct LoadedFile {
    enum class State { Loaded, Missing, Unusable };
    State state = State::Missing;
    QByteArray bytes;
};

// A settings file is a few lines; anything this large is not one, and reading
// it for every key would stall the program.
constexpr qint64 maxFileSize = qint64(1) << 20;

int fileReads = 0;

// The file's identity and version: a change (the atomic replace makes a new
// inode) shows in one of these.
struct Version {
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = -1;
    qint64 modified = 0, changed = 0;
    bool operator==(const Version&) const = default;
};

// The last file read, kept until it changes: the program reads many keys in a row.
struct Cache {
    QString fileName;
    Version version;
    QByteArray bytes;
};
Cache cache;

void warnTooLargeOnce(const QString& fileName)
{
    static QStringList warned;
    if (warned.contains(fileName))
        return;
    warned.append(fileName);
    qWarning("%s: larger than 1 MiB, not read as a settings file", qPrintable(fileName));
}

LoadedFile load(const QString& fileName)
{
    if (fileName.isEmpty())
        return {LoadedFile::State::Unusable, {}};
    struct stat status {};
    // Missing, or behind a folder that cannot be searched; a dangling link is not missing.
    if (::lstat(native_names::encode(fileName).constData(), &status) != 0)
        return {LoadedFile::State::Missing, {}};
    try {
        const ReadOnlyFile file(fileName);
        if (::fstat(file.descriptor(), &status) != 0)
            return {LoadedFile::State::Unusable, {}};
        if (status.st_size > maxFileSize) {
            warnTooLargeOnce(fileName);
            return {LoadedFile::State::Unusable, {}};
        }
        const Version version{status.st_dev, status.st_ino, qint64(status.st_size),
                              qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec,
                              qint64(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec};
        if (cache.fileName == fileName && cache.version == version)
            return {LoadedFile::State::Loaded, cache.bytes};
        ++fileReads;
        // A file that grows while it is read stops at the limit all the same.
        QByteArray bytes = file.peek(0, maxFileSize + 1);
        if (bytes.size() > maxFileSize)
            return {LoadedFile::State::Unusable, {}};
        bytes.squeeze();
        cache = {fileName, version, bytes};
        return {LoadedFile::State::Loaded, std::move(bytes)};
    } catch (const RunTimeError&) {
        return {LoadedFile::State::Unusable, {}};
    } catch (const std::bad_alloc&) {
        return {LoadedFile::State::Unusable, {}};
    }
}

int parseDecimal(const QString& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long long value = 0;
    constexpr long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min(limit, value * 10 + (text[i].unicode() - u'0'));
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(),
                                                  std::numeric_limits<int>::max()));
}

} // namespace

int fileReadsForTesting() { return fileReads; }

int readString(const QString& section, const QString& key, const QString& defaultText,
               std::span<char> buffer, const QString& fileName)
{
    const LoadedFile file = load(fileName);
    std::optional<QString> value;
    if (file.state == LoadedFile::State::Loaded)
        value = ini::findValue(file.bytes, section, key);
    return copyToBuffer(value ? *value : defaultText, buffer);
}

int readInt(const QString& section, const QString& key, int defaultValue, const QString& fileName)
{
    const LoadedFile file = load(fileName);
    if (file.state != LoadedFile::State::Loaded)
        return defaultValue;
    const std::optional<QString> value = ini::findValue(file.bytes, section, key);
    if (!value || value->isEmpty())
        return defaultValue;
    return parseDecimal(*value);
}

bool writeString(const std::optional<QString>& section, const std::optional<QString>& key,
                 const std::optional<QString>& text, const QString& fileName)
{
    if (fileName.isEmpty())
        return false;
    if (!section)
        return !key && !text;
    const LoadedFile file = load(fileName);
    if (file.state == LoadedFile::State::Unusable)
        return false;
    try {
        ini::Edit edit;
        if (!key)
            edit = ini::removeSection(file.bytes, *section);
        else if (!text)
            edit = ini::removeKey(file.bytes, *section, *key);
        else
            edit = ini::setValue(file.bytes, *section, *key, *text);
        switch (edit.result) {
        case ini::Edit::Result::Unchanged:
            return true;
        case ini::Edit::Result::Refused:
            return false;
        case ini::Edit::Result::Changed:
            return replaceFileAtomically(fileName, edit.file);
        }
    } catch (const std::bad_alloc&) {
    }
    return false;
}

int readSection(const QString& section, std::span<char> buffer, const QString& fileName)
{
    BufferList list(buffer);
    const LoadedFile file = load(fileName);
    if (file.state == LoadedFile::State::Loaded)
        ini::forEachEntry(file.bytes, section, [&](const QString& entry) { return list.add(entry); });
    return list.finish();
}

int readSectionNames(std::span<char> buffer, const QString& fileName)
{
    BufferList list(buffer);
    const LoadedFile file = load(fileName);
    if (file.state == LoadedFile::State::Loaded)
        ini::forEachSectionName(file.bytes, [&](const QString& name) { return list.add(name); });
    return list.finish();
}

} // namespace profile
