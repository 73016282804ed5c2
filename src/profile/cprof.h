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
// GetString, the default for GetValue, false for the writing operations, 0 for
// the counts, an empty text for GetKey and GetSection.
//
// Choices where the classic class was loose:
// - WriteString, WriteValue and Flush return true on success, like DeleteKey
//   and DeleteSection (the classic class had the first three inverted).
// - GetKey and GetSection return one-byte items (the classic class lost them).
// - GetKey and GetSection return an empty text when not ready (the classic
//   class returned "0").
// - Text crosses the services as UTF-8 bytes, so the 32,767-byte buffer holds
//   UTF-8 and a value reads back as at most 32,766 bytes, never cut inside a
//   character.
// The class reports through results and raises no errors of its own; only the
// conversion of a default can raise (see Default).
class cProf {
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

    QString strFileName() const { return fileName_; }
    void setStrFileName(const QString& New_FileName) { fileName_ = New_FileName; }
    QString strSection() const { return section_; }
    void setStrSection(const QString& New_Section) { section_ = New_Section; }

    // The key's value; the default, blanks trimmed, when the file, the section
    // or the key is missing or the value is empty.
    QString GetString(const QString& strKey, const Default& varDefault) const;
    // The key's value as a decimal integer, or the default.
    std::int32_t GetValue(const QString& strKey, const Default& varDefault) const;
    // Sets the key, creating file, section and key as needed; an empty text
    // stores an empty value, it does not remove the key.
    bool WriteString(const QString& strKey, const QString& strWriteString);
    // Stores the number as decimal text ("-5").
    bool WriteValue(const QString& strKey, std::int32_t lngWriteValue);
    bool DeleteKey(const QString& strKey);
    // Removes the section with all its keys.
    bool DeleteSection();
    // The number of entries of the section (entries without "=" count too).
    std::int32_t GetKeyCount() const;
    // The key of entry lngIndex (0 to GetKeyCount() - 1), exactly as the entry
    // holds it; an empty text outside that range or for an entry without "=".
    QString GetKey(std::int32_t lngIndex) const;
    // The number of sections minus one, the highest index GetSection accepts:
    // 0 for one section, -1 for a file without sections or a missing file.
    std::int32_t GetSectionCount() const;
    // The name of section lngIndex (0 to GetSectionCount()), else an empty text.
    QString GetSection(std::int32_t lngIndex) const;
    // Nothing is held in memory, so there is nothing to write out.
    bool Flush();

private:
    bool NotReady(bool varFileOnly) const;

    QString fileName_;
    QString section_;
};
