#pragma once

#include <cstdint>
#include <string_view>

#include "common/ScanDecimal.h"
#include "reader/VectorLevel.h"

// The routines the extractions use on every record line, written for speed. Each gives
// exactly what its counterpart in TextRoutines gives (same value, same failure); they
// only take shortcuts where the outcome is certain.
namespace vx {

// Word n (0-based) of a line as SplitWords cuts it (blanks and tabs separate words).
// False when the line has no word n.
bool NthWord(std::string_view line, std::size_t n, std::string_view& word);

// The shape of nearly every number a listing prints, such as "-0.71074E+01": a sign, at
// most 19 digits with one point, an exponent letter (E, e, D or d) with a sign and one to
// three digits, at `p`. When the general reading would convert such a number on the spot
// (an exact mantissa and a small power), reads it into the very single SingleValue gives,
// moves `p` past it and returns true; otherwise returns false, and the general reading
// must read it. (No such number is too large for a single: at most 2^53 times 10^22.)
inline bool ReadPlainNumber(const char*& at, const char* end, float& value) {
    using namespace decimal_detail;
    auto digitOf = [](char c) {
        return static_cast<unsigned>(static_cast<unsigned char>(c) - '0');
    };
    const char* p = at;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    std::uint64_t digits = 0;
    const char* const first = p;
    for (unsigned d; p < end && (d = digitOf(*p)) < 10; ++p) digits = digits * 10 + d;
    auto count = p - first;
    int fraction = 0;
    if (p < end && *p == '.') {
        const char* const fractionStart = ++p;
        for (unsigned d; p < end && (d = digitOf(*p)) < 10; ++p) digits = digits * 10 + d;
        fraction = static_cast<int>(p - fractionStart);
        count += fraction;
    }
    if (count == 0 || count > 19) return false;
    int exponent = 0;
    if (p < end && (*p == 'E' || *p == 'e' || *p == 'D' || *p == 'd')) {
        bool exponentNegative = false;
        if (++p < end && (*p == '+' || *p == '-')) exponentNegative = *p++ == '-';
        const char* const exponentStart = p;
        for (unsigned d; p < end && p - exponentStart < 3 && (d = digitOf(*p)) < 10; ++p)
            exponent = exponent * 10 + static_cast<int>(d);
        if (p == exponentStart || (p < end && digitOf(*p) < 10)) return false;
        if (exponentNegative) exponent = -exponent;
    }
    const int power = exponent - fraction;
    if (digits > kMaxExactMantissa || power < -kMaxExactPower || power > kMaxExactPower)
        return false;
    double v = static_cast<double>(digits);
    v = power < 0 ? v / kExactPowers[-power] : v * kExactPowers[power];
    value = static_cast<float>(negative ? -v : v);
    at = p;
    return true;
}

// RoundToSingle(NumericPrefix(text)): the same single and the same overflow failure,
// with the number's reading compiled into the extraction's loops.
float SingleValue(std::string_view text);

// Watches the record lines an extraction passes over without keeping their values: it
// says whether a word of those lines could hold a number that RoundToSingle(NumericPrefix)
// refuses (too large for a single or a double). It looks at bytes, not at words, and errs
// only on the safe side: Clear() is true only when no word of the bytes fed can fail;
// when it is false, the caller reads the lines one by one to find out.
//
// A word that fails needs an exponent of 20 or more (E+45, D45, E+100, E+020) or a run
// of 16 or more digits and points; each is seen wherever it stands, across pieces too.
class WordNumberGuard {
public:
    // `vectorLevel`: the widest vector instructions it may use (VectorLevel.h).
    explicit WordNumberGuard(int vectorLevel = kAvx512Vectors)
        : m_vectorLevel(UsableVectorLevel(vectorLevel)) {}

    void Feed(std::string_view bytes);
    // Feeds what is still held back and tells the verdict; feeding ends here.
    bool Clear();
    void Reset() { *this = WordNumberGuard{m_vectorLevel}; }

    // What one block of 64 bytes passes on to the next: its byte classes and runs.
    struct Carry {
        std::uint64_t digit = 0, digitOrPoint = 0, high = 0, lead = 0;
        std::uint64_t run1 = 0, run2 = 0, run4 = 0;
    };

private:
    int m_vectorLevel;
    Carry m_last;
    bool m_suspect = false;
    unsigned m_held = 0;
    char m_pending[64];
};

// The same for fixed-width fields read with NumericPrefix (temperatures): a field of a
// few characters without an exponent letter cannot overflow, so any E, e, D or d in the
// bytes makes the caller read the lines one by one.
class FieldNumberGuard {
public:
    void Feed(std::string_view bytes);
    bool Clear() const { return !m_suspect; }
    void Reset() { m_suspect = false; }

private:
    bool m_suspect = false;
};

}  // namespace vx
