#include "runtime/val.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

// The characters Val reads, folded to ASCII; blanks are dropped. Characters that
// can never be part of a number end the text (reading would stop there anyway).
std::string foldedAscii(const QString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (const QChar qc : text) {
        char16_t c = qc.unicode();
        if (c >= 0xFF01 && c <= 0xFF5E)
            c = static_cast<char16_t>(c - 0xFEE0);
        else if (c == 0x3000)
            c = u' ';
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if (c >= 0x80)
            break;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int digitValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

double radixValue(const std::string& s, size_t pos, int radix)
{
    double value = 0;
    for (; pos < s.size(); ++pos) {
        const int d = digitValue(s[pos]);
        if (d >= radix)
            break;
        value = value * radix + d;
    }
    return value;
}

// The decimal exponent of the leading significant digit, clamped, to tell an
// overflow from an underflow when the conversion reports a range error.
long long magnitude(const std::string& digits, size_t pointPos, long long exponent)
{
    for (size_t i = 0; i < digits.size(); ++i)
        if (digits[i] != '0' && digits[i] != '.')
            return static_cast<long long>(pointPos) - static_cast<long long>(i) + exponent
                   + (i > pointPos ? 1 : 0);
    return 0;
}

} // namespace

double Val(const QString& text)
{
    const std::string s = foldedAscii(text);
    size_t pos = 0;

    if (s.size() >= 2 && s[0] == '&') {
        const char kind = s[1];
        if (kind == 'H' || kind == 'h')
            return radixValue(s, 2, 16);
        if (kind == 'O' || kind == 'o')
            return radixValue(s, 2, 8);
        return 0;
    }

    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-'))
        negative = s[pos++] == '-';

    // Mantissa: digits with at most one decimal point.
    std::string mantissa;
    bool seenPoint = false;
    bool seenDigit = false;
    size_t pointPos = std::string::npos;
    for (; pos < s.size(); ++pos) {
        const char c = s[pos];
        if (isDigit(c)) {
            mantissa.push_back(c);
            seenDigit = true;
        } else if (c == '.' && !seenPoint) {
            seenPoint = true;
            pointPos = mantissa.size();
            mantissa.push_back('.');
        } else {
            break;
        }
    }
    if (!seenDigit)
        return 0;
    if (pointPos == std::string::npos)
        pointPos = mantissa.size();

    // Exponent: only when at least one digit follows the letter and sign.
    long long exponent = 0;
    if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e' || s[pos] == 'D' || s[pos] == 'd')) {
        size_t p = pos + 1;
        bool expNegative = false;
        if (p < s.size() && (s[p] == '+' || s[p] == '-'))
            expNegative = s[p++] == '-';
        if (p < s.size() && isDigit(s[p])) {
            constexpr long long clamp = 1'000'000'000LL;
            for (; p < s.size() && isDigit(s[p]); ++p)
                exponent = std::min(clamp, exponent * 10 + (s[p] - '0'));
            if (expNegative)
                exponent = -exponent;
        }
    }

    const std::string number = mantissa + "e" + std::to_string(exponent);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                              std::chars_format::scientific);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        value = magnitude(mantissa, pointPos, exponent) > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    } else if (error != std::errc()) {
        value = 0;
    }
    if (value == 0)
        return 0;
    return negative ? -value : value;
}
