#pragma once

#include <concepts>
#include <cstdint>
#include <variant>

#include <QString>

// Access to one INI file: single keys of one current section, the whole
// section, and the lists of the section's entries and of the file's sections.
// The instance holds only the file's path and the section's name; every
// operation is one call of the profile services (profile/profile_file.h) on
// that file, which read the file afresh and replace it atomically on change.
//
// Operations that need a file, a section or a key do nothing when it is empty
// and give their "not ready" result: the default unchanged (not trimmed) for
// getString, the default for getValue, false for the writing operations, 0 for
// the counts, an empty text for keyAt and sectionAt.
//
// Choices where the classic class was loose:
// - writeString, writeValue and flush return true on success, like deleteKey
//   and deleteSection (the classic class had the first three inverted).
// - keyAt and sectionAt return one-byte items (the classic class lost them).
// - keyAt and sectionAt return an empty text when not ready (the classic
//   class returned "0").
// - Text crosses the services as UTF-8 bytes, so the 32,767-byte buffer holds
//   UTF-8 and a value reads back as at most 32,766 bytes, never cut inside a
//   character.
// The class reports through results and raises no errors of its own; only the
// conversion of a default can raise (see Default).
class Profile {
public:
    // A default argument: a text or a number.
    class Default {
    public:
        Default(const QString& text) : value_(text) {}
        Default(const char* text) : value_(QString::fromUtf8(text)) {}
        Default(double number) : value_(number) {}
        template <std::integral Integer>
            requires(!std::same_as<Integer, bool>)
        Default(Integer number) : value_(static_cast<double>(number))
        {
        }

        // A number in the general number format (at most 15 significant digits).
        QString toText() const;
        // A number rounded to the nearest integer, halves to the even one. A text
        // must hold a number (blanks around it, an optional sign, digits with one
        // decimal point and an exponent, or "&H"/"&O" digits), else the conversion
        // raises RunTimeError(TypeMismatch); a number outside the 32-bit range
        // raises RunTimeError(Overflow).
        std::int32_t toInt32() const;

    private:
        std::variant<QString, double> value_;
    };

    static constexpr int BufferSize = 32767;

    QString fileName() const { return fileName_; }
    void setFileName(const QString& newFileName) { fileName_ = newFileName; }
    QString section() const { return section_; }
    void setSection(const QString& newSection) { section_ = newSection; }

    // The key's value; the default, blanks trimmed, when the file, the section
    // or the key is missing or the value is empty.
    QString getString(const QString& key, const Default& fallback) const;
    // The key's value as a decimal integer, or the default.
    std::int32_t getValue(const QString& key, const Default& fallback) const;
    // Sets the key, creating file, section and key as needed; an empty text
    // stores an empty value, it does not remove the key.
    bool writeString(const QString& key, const QString& value);
    // Stores the number as decimal text ("-5").
    bool writeValue(const QString& key, std::int32_t value);
    bool deleteKey(const QString& key);
    // Removes the section with all its keys.
    bool deleteSection();
    // The number of entries of the section (entries without "=" count too).
    std::int32_t keyCount() const;
    // The key of entry index (0 to keyCount() - 1), exactly as the entry
    // holds it; an empty text outside that range or for an entry without "=".
    QString keyAt(std::int32_t index) const;
    // The number of sections minus one, the highest index sectionAt accepts:
    // 0 for one section, -1 for a file without sections or a missing file.
    std::int32_t lastSectionIndex() const;
    // The name of section index (0 to lastSectionIndex()), else an empty text.
    QString sectionAt(std::int32_t index) const;
    // Nothing is held in memory, so there is nothing to write out.
    bool flush();

private:
    bool notReady(bool fileOnly) const;

    QString fileName_;
    QString section_;
};
