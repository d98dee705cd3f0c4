#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ScanDecimal.h"

// Text routines shared by every reader of a listing. Lines are byte strings in
// Latin-1 / Windows-1252, one character per byte; nothing here allocates per call
// except where a caller asks for owned strings.
namespace vx {

using WordList = std::vector<std::string_view>;

// Tabs count as spaces; the text is cut at every space and the empty pieces are
// dropped. The views point into `text`. `words` is cleared first, so one list can be
// reused line after line without allocating. Only the first `maxWords` words are kept:
// a reader that wants word n asks for n + 1, so that a line of millions of words (a
// damaged listing, a file of another program) costs no more than its first few.
void SplitWords(std::string_view text, WordList& words, std::size_t maxWords = SIZE_MAX);
WordList SplitWords(std::string_view text, std::size_t maxWords = SIZE_MAX);

// Word n of a split line; a line with too few words is a read failure (9).
std::string_view WordAt(const WordList& words, std::size_t n);

// Removes leading and trailing spaces (0x20) only; tabs stay.
std::string_view TrimSpaces(std::string_view text);

// The two marker tests: anywhere in the line, case-sensitive, no trimming...
inline bool Contains(std::string_view line, std::string_view marker) {
    return line.find(marker) != std::string_view::npos;
}
// ...and the whole line, spaces trimmed, equal to the marker.
inline bool IsExactly(std::string_view line, std::string_view marker) {
    return TrimSpaces(line) == marker;
}

// Replaces every occurrence of `from` (non-empty) by `to`, left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// A text that is a number as a whole: optional surrounding blanks, optional sign,
// digits with an optional decimal point and fraction (or a point and digits), and an
// optional exponent (E or D, optional sign, digits). Anything else gives nothing.
std::optional<double> ParseNumber(std::string_view text);
inline bool IsNumeric(std::string_view text) {
    return ParseNumber(text).has_value();
}

// The whole-word integer conversions: the word must be a number (else type mismatch,
// 13); a fraction rounds to the nearest integer, halves to even; the result must fit
// the field (else overflow, 6).
std::int16_t WholeWordInt16(std::string_view word);
std::int32_t WholeWordInt32(std::string_view word);

// The numeric prefix of a text: blanks, tabs and line feeds are ignored wherever they
// stand; a sign, digits, a decimal point with digits and an exponent (E or D) are taken
// up to the first character that cannot continue the number. No number in front gives
// 0. Only a magnitude beyond a double is a failure (overflow).
double NumericPrefix(std::string_view text);
inline constexpr DecimalSyntax kNumericPrefix{.ExponentD = true, .BlanksAnywhere = true};

// Narrowing with the runtime's rules: to the nearest, halves to even; out of range is
// an overflow failure.
std::int16_t RoundToInt16(double value);
std::int32_t RoundToInt32(double value);
// To the nearest single; a magnitude beyond the single range is an overflow failure.
float RoundToSingle(double value);

// The shortest decimal text that reads back as the same single: 60, 120.5, 1e-07; and the
// same for a double.
std::string ShortestText(float value);
std::string ShortestText(double value);
// A time as the time lists show it: at most 7 significant digits, no trailing zeros and
// no trailing point (60, 120.5, 0.3333333), exponent form for very large or small values.
std::string TimeText(float value);

}  // namespace vx
