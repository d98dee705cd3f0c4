#include "reader/TextRoutines.h"

#include <charconv>
#include <cmath>

#include "common/Failure.h"

namespace vx {

void SplitWords(std::string_view text, WordList& words, std::size_t maxWords) {
    words.clear();
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end && words.size() < maxWords) {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        const char* start = p;
        while (p < end && *p != ' ' && *p != '\t') ++p;
        if (p > start) words.emplace_back(start, static_cast<std::size_t>(p - start));
    }
}

WordList SplitWords(std::string_view text, std::size_t maxWords) {
    WordList words;
    SplitWords(text, words, maxWords);
    return words;
}

std::string_view WordAt(const WordList& words, std::size_t n) {
    if (n >= words.size()) Raise(fail::SubscriptOutOfRange);
    return words[n];
}

std::string_view TrimSpaces(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos || from.empty()) break;
        out.append(text, pos, hit - pos);
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text, pos);
    return out;
}

namespace {

// A word as a whole: the header's counts, the window's boxes.
constexpr DecimalSyntax kWordSyntax{.ExponentD = true, .WholeText = true};

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    const DecimalResult number = ScanDecimal<kWordSyntax>(text);
    if (number.Error != DecimalError::None) return std::nullopt;
    return number.Value;
}

std::int16_t RoundToInt16(double value) {
    double r = std::nearbyint(value);
    if (!(r >= -32768.0 && r <= 32767.0)) Raise(fail::Overflow);
    return static_cast<std::int16_t>(r);
}

std::int32_t RoundToInt32(double value) {
    double r = std::nearbyint(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) Raise(fail::Overflow);
    return static_cast<std::int32_t>(r);
}

float RoundToSingle(double value) {
    float f = static_cast<float>(value);
    if (std::isinf(f) && !std::isinf(value)) Raise(fail::Overflow);
    return f;
}

static double WholeWordNumber(std::string_view word) {
    const DecimalResult number = ScanDecimal<kWordSyntax>(word);
    // A number too large for a double is still a number, only too large for any field.
    if (number.Error == DecimalError::TooLarge) Raise(fail::Overflow);
    if (number.Error != DecimalError::None) Raise(fail::TypeMismatch);
    return number.Value;
}

std::int16_t WholeWordInt16(std::string_view word) {
    return RoundToInt16(WholeWordNumber(word));
}

std::int32_t WholeWordInt32(std::string_view word) {
    return RoundToInt32(WholeWordNumber(word));
}

double NumericPrefix(std::string_view text) {
    const DecimalResult number = ScanDecimal<kNumericPrefix>(text);
    if (number.Error == DecimalError::TooLarge) Raise(fail::Overflow);
    return number.Value;
}

std::string ShortestText(float value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    return std::string(buf, ptr);
}

std::string ShortestText(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    return std::string(buf, ptr);
}

std::string TimeText(float value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 7);
    (void)ec;
    return std::string(buf, ptr);
}

}  // namespace vx
