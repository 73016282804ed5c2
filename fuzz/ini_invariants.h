#pragma once

// What every input must satisfy, shared by the fuzz target and the unit test
// that replays the inputs the fuzzer kept.
//
// Input layout: one byte selecting the edit (set, remove key, remove section),
// one byte with the buffer size for the read checks (0 to 63), then the
// section name, the key and the value, each ended by a 0 byte, and the rest is
// the file. Missing parts are empty. Names and value are UTF-8 (invalid bytes
// read as U+FFFD).

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "profile/ini_document.h"
#include "profile/ini_encoding.h"
#include "profile/profile_buffer.h"

namespace ini_invariants {

using Check = std::function<void(bool condition, const char* what)>;

inline QString asciiFolded(QString text)
{
    for (QChar& c : text)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return text;
}

inline QString trimmedBlanks(const QString& text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == u' ' || text[b] == u'\t'))
        ++b;
    while (e > b && (text[e - 1] == u' ' || text[e - 1] == u'\t'))
        --e;
    return text.sliced(b, e - b);
}

inline QStringList sectionNames(QByteArrayView file)
{
    QStringList names;
    profile::ini::forEachSectionName(file, [&](const QString& name) {
        names.append(name);
        return true;
    });
    return names;
}

inline QStringList entries(QByteArrayView file, const QString& section)
{
    QStringList list;
    profile::ini::forEachEntry(file, section, [&](const QString& entry) {
        list.append(entry);
        return true;
    });
    return list;
}

inline bool isTarget(const QString& name, const QString& section)
{
    return asciiFolded(name) == asciiFolded(trimmedBlanks(section));
}

// Other sections keep their names, their order and their entries.
inline void checkOthersKept(QByteArrayView before, QByteArrayView after, const QString& section,
                            const Check& check)
{
    QStringList othersBefore, othersAfter;
    for (const QString& n : sectionNames(before))
        if (!isTarget(n, section))
            othersBefore.append(n);
    for (const QString& n : sectionNames(after))
        if (!isTarget(n, section))
            othersAfter.append(n);
    check(othersBefore == othersAfter, "other section names kept in order");
    for (const QString& n : othersBefore)
        check(entries(before, n) == entries(after, n), "other sections' entries kept");
}

inline void checkBuffers(QByteArrayView file, const QString& section, const QString& key, size_t size,
                         const Check& check)
{
    std::vector<char> buffer(size + 1, '\x7f');
    const std::span<char> span(buffer.data(), size);
    const std::optional<QString> value = profile::ini::findValue(file, section, key);
    const int n = profile::copyToBuffer(value ? *value : QStringLiteral("default"), span);
    check(size == 0 ? n == 0 : static_cast<size_t>(n) < size && buffer[n] == '\0', "string fits");
    check(buffer[size] == '\x7f', "no write past the buffer");

    profile::BufferList list(span);
    profile::ini::forEachEntry(file, section, [&](const QString& entry) { return list.add(entry); });
    const int m = list.finish();
    check(size < 2 ? m == 0 : static_cast<size_t>(m) < size && buffer[m] == '\0', "list fits");
    check(buffer[size] == '\x7f', "no list write past the buffer");

    profile::BufferList names(span);
    profile::ini::forEachSectionName(file, [&](const QString& n) { return names.add(n); });
    names.finish();
    check(buffer[size] == '\x7f', "no names write past the buffer");
}

struct Input {
    int operation = 0;
    size_t bufferSize = 0;
    QString section, key, value;
    QByteArrayView file;
};

inline Input split(QByteArrayView data)
{
    Input input;
    if (!data.isEmpty()) {
        input.operation = static_cast<unsigned char>(data[0]) % 3;
        data = data.sliced(1);
    }
    if (!data.isEmpty()) {
        input.bufferSize = static_cast<unsigned char>(data[0]) % 64;
        data = data.sliced(1);
    }
    for (QString* part : {&input.section, &input.key, &input.value}) {
        const qsizetype end = data.indexOf('\0');
        const QByteArrayView bytes = end < 0 ? data : data.first(end);
        *part = QString::fromUtf8(bytes);
        data = end < 0 ? QByteArrayView() : data.sliced(end + 1);
    }
    input.file = data;
    return input;
}

inline void checkInput(QByteArrayView data, const Check& check)
{
    using profile::ini::Edit;
    const Input in = split(data);
    const QByteArrayView file = in.file;
    checkBuffers(file, in.section, in.key, in.bufferSize, check);

    // A plain name and value can always be written, unless the file is neither UTF-8
    // nor clean Shift-JIS: the edit could then change how the rest of it reads, so the
    // engine may refuse it.
    const bool clean = profile::ini::detectEncoding(file).encoding == profile::ini::TextEncoding::Utf8
        || profile::ini::shiftJisToUtf8Exactly(file).has_value();
    bool plain = clean && !in.section.isEmpty() && !in.key.isEmpty();
    for (const QString& text : {in.section, in.key, in.value})
        for (const QChar c : text)
            if (!((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')))
                plain = false;

    if (in.operation == 0) {
        const Edit edit = profile::ini::setValue(file, in.section, in.key, in.value);
        check(!(plain && edit.result == Edit::Result::Refused), "plain write accepted");
        if (edit.result == Edit::Result::Unchanged)
            check(profile::ini::findValue(file, in.section, in.key) == in.value, "unchanged means already set");
        if (edit.result != Edit::Result::Changed)
            return;
        check(profile::ini::findValue(edit.file, in.section, in.key) == in.value, "value reads back");
        checkOthersKept(file, edit.file, in.section, check);
        check(profile::ini::setValue(edit.file, in.section, in.key, in.value).result == Edit::Result::Unchanged,
              "second write changes nothing");
        bool listed = false;
        for (const QString& n : sectionNames(edit.file))
            listed = listed || isTarget(n, in.section);
        check(listed, "section listed after write");
    } else if (in.operation == 1) {
        const Edit edit = profile::ini::removeKey(file, in.section, in.key);
        if (edit.result != Edit::Result::Changed)
            return;
        check(!profile::ini::findValue(edit.file, in.section, in.key), "key gone");
        checkOthersKept(file, edit.file, in.section, check);
        check(sectionNames(file) == sectionNames(edit.file), "sections kept after key removal");
    } else {
        const Edit edit = profile::ini::removeSection(file, in.section);
        if (edit.result != Edit::Result::Changed)
            return;
        check(entries(edit.file, in.section).isEmpty(), "section empty");
        for (const QString& n : sectionNames(edit.file))
            check(!isTarget(n, in.section), "section gone");
        checkOthersKept(file, edit.file, in.section, check);
    }
}

} // namespace ini_invariants
