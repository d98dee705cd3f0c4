#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

// The one reading of a decimal number from text, whoever holds the text: a listing's
// words and fields, the window's boxes and time lists, a cell given as text. Each of them
// states its syntax once; the digits are turned into the nearest double the same way for
// all, so that a time read from a listing sorts and prints as the same time everywhere.
namespace vx {

inline bool IsDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// What a number text may hold beyond what every one may: spaces and tabs before it, a
// sign, digits with one decimal point (".5" and "5." are numbers, "." is not), and an
// exponent of E or e, an optional sign and digits. An exponent letter that no digit
// follows is not part of the number, which ends before it.
struct DecimalSyntax {
    // D and d introduce the exponent as well, as a Fortran program prints it.
    bool ExponentD = false;
    // Spaces, tabs and line feeds are passed over wherever they stand, inside the number
    // too: "- 1 2.5 E 3" is -12500. Otherwise the number is one unbroken word.
    bool BlanksAnywhere = false;
    // The number is the whole text but for blanks around it; anything else after it is
    // TrailingText.
    bool WholeText = false;
};

enum class DecimalError : std::uint8_t {
    None,
    NoDigits,      // no digit where the number should be; Ptr is where the text starts
    TrailingText,  // (WholeText) something other than blanks follows the number
    TooLarge,      // a number, but beyond the largest double; Value is the infinity of its sign
};

// As from_chars gives it: Ptr is just past the number's last character (blanks after it
// are not part of it); Value is 0 when Error is NoDigits or TrailingText.
struct DecimalResult {
    double Value = 0.0;
    const char* Ptr = nullptr;
    DecimalError Error = DecimalError::None;
};

namespace decimal_detail {

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kMaxExactPower = 22;
inline constexpr std::uint64_t kMaxExactMantissa = std::uint64_t{1} << 53;
// Exponent digits beyond this change nothing: the number is zero or too large either way.
inline constexpr std::int64_t kExponentLimit = std::int64_t{1} << 56;

// The digits and the point in [first, last) (blanks among them are passed over) times
// ten to `exponent`, rounded to the nearest double by from_chars; false when that is
// beyond the largest double. Numbers of any length take no memory: past the 800th
// significant digit, only whether any other digit is not zero can still change the
// rounding.
bool ConvertDecimal(const char* first, const char* last, std::int64_t exponent, double& value);

}  // namespace decimal_detail

// Reads the number at the start of [first, last) with syntax `kSyntax`. Never throws and
// never allocates; a number of up to 19 significant digits with a small exponent (every
// number a listing prints) is converted on the spot, exactly.
template <DecimalSyntax kSyntax>
inline DecimalResult ScanDecimal(const char* first, const char* last) noexcept {
    using namespace decimal_detail;
    auto isBlank = [](char c) {
        // One comparison for the usual byte, which is no blank.
        return static_cast<unsigned char>(c) <= ' ' &&
               (c == ' ' || c == '\t' || (kSyntax.BlanksAnywhere && c == '\n'));
    };
    // Past the blanks at p when what follows them may go on with the number; p otherwise.
    // Blanks inside a number are rare, so they are looked for only where it would end.
    auto goesOn = [&](const char* p, auto&& continues) {
        if constexpr (kSyntax.BlanksAnywhere) {
            if (p < last && isBlank(*p)) {
                const char* q = p + 1;
                while (q < last && isBlank(*q)) ++q;
                if (q < last && continues(*q)) return q;
            }
        }
        return p;
    };

    const char* p = first;
    while (p < last && isBlank(*p)) ++p;
    bool negative = false;
    if (p < last && (*p == '+' || *p == '-')) negative = *p++ == '-';

    // The first 19 significant digits as an integer, and the power of ten of its last one.
    // Leading zeros add nothing to the integer and are not counted.
    const char* const mantissa = p;
    std::uint64_t digits = 0;
    int significant = 0;
    std::int64_t scale = 0;
    bool anyDigit = false, point = false, exact = true;
    auto inMantissa = [&](char c) { return IsDigit(c) || (c == '.' && !point); };
    for (;;) {
        const char* const run = p;
        for (; p < last && IsDigit(*p); ++p) {
            const auto digit = static_cast<unsigned>(*p - '0');
            if (significant < 19) {
                digits = digits * 10 + digit;
                significant += digits != 0;
                scale -= point;
            } else {
                scale += !point;
                exact &= digit == 0;
            }
        }
        anyDigit |= p > run;
        if (p < last && *p == '.' && !point) {
            point = true;
            ++p;
            continue;
        }
        const char* const next = goesOn(p, inMantissa);
        if (next == p) break;
        p = next;
    }
    if (!anyDigit) return {0.0, first, DecimalError::NoDigits};
    // Past the last digit or point taken.
    const char* end = p;
    const char* const mantissaEnd = end;

    auto isExponentLetter = [](char c) {
        return c == 'e' || c == 'E' || (kSyntax.ExponentD && (c == 'd' || c == 'D'));
    };
    std::int64_t exponent = 0;
    p = goesOn(p, isExponentLetter);
    if (p < last && isExponentLetter(*p)) {
        const char* q = goesOn(p + 1, [](char c) { return IsDigit(c) || c == '+' || c == '-'; });
        bool exponentNegative = false;
        if (q < last && (*q == '+' || *q == '-')) {
            exponentNegative = *q++ == '-';
            q = goesOn(q, IsDigit);
        }
        for (;;) {
            for (; q < last && IsDigit(*q); end = ++q)
                if (exponent < kExponentLimit) exponent = exponent * 10 + (*q - '0');
            const char* const next = goesOn(q, IsDigit);
            if (next == q) break;
            q = next;
        }
        if (exponentNegative) exponent = -exponent;
    }

    if constexpr (kSyntax.WholeText) {
        const char* q = end;
        while (q < last && isBlank(*q)) ++q;
        if (q != last) return {0.0, end, DecimalError::TrailingText};
    }

    if (digits == 0) return {negative ? -0.0 : 0.0, end, DecimalError::None};
    const std::int64_t power = scale + exponent;
    double value = 0.0;
    if (exact && digits <= kMaxExactMantissa && power >= -kMaxExactPower &&
        power <= kMaxExactPower) {
        // Both operands are exact, so the one rounding of the product or quotient gives
        // the nearest double, as from_chars would.
        value = static_cast<double>(digits);
        value = power < 0 ? value / kExactPowers[-power] : value * kExactPowers[power];
    } else if (!ConvertDecimal(mantissa, mantissaEnd, exponent, value)) {
        const double infinity = std::numeric_limits<double>::infinity();
        return {negative ? -infinity : infinity, end, DecimalError::TooLarge};
    }
    return {negative ? -value : value, end, DecimalError::None};
}

template <DecimalSyntax kSyntax>
inline DecimalResult ScanDecimal(std::string_view text) noexcept {
    return ScanDecimal<kSyntax>(text.data(), text.data() + text.size());
}

}  // namespace vx
