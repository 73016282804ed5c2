#include "profile/profile_file.h"

#include <algorithm>
#include <limits>
#include <new>

#include <QFile>
#include <QFileInfo>

#include "profile/atomic_file.h"
#include "profile/ini_document.h"
#include "profile/profile_buffer.h"

namespace profile {

namespace {

struct LoadedFile {
    enum class State { Loaded, Missing, Unusable };
    State state = State::Missing;
    QByteArray bytes;
};

LoadedFile load(const QString& fileName)
{
    if (fileName.isEmpty())
        return {LoadedFile::State::Unusable, {}};
    const QFileInfo info(fileName);
    if (!info.exists() && !info.isSymLink())
        return {LoadedFile::State::Missing, {}};
    if (!info.isFile())
        return {LoadedFile::State::Unusable, {}};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {LoadedFile::State::Unusable, {}};
    try {
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return {LoadedFile::State::Unusable, {}};
        return {LoadedFile::State::Loaded, std::move(bytes)};
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
