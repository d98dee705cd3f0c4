#include "reader/TextRoutines.h"

#include <charconv>
#include <cmath>
#include <limits>

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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Collects the characters of a number in the form std::from_chars takes (no '+',
// exponent letter 'e'). Short numbers, the usual case, stay on the stack.
class NumberText {
public:
    void Push(char c) {
        if (m_size < sizeof(m_small)) {
            m_small[m_size++] = c;
            return;
        }
        if (m_large.empty()) m_large.assign(m_small, m_size);
        m_large.push_back(c);
        ++m_size;
    }
    std::size_t Size() const { return m_size; }
    void Truncate(std::size_t size) {
        m_size = size;
        if (!m_large.empty()) m_large.resize(size);
    }
    // The value of the collected text; `expNegative` tells how to read a result that
    // from_chars finds out of range (tiny: zero, huge: overflow).
    double Value(bool expNegative) const {
        const char* first = m_large.empty() ? m_small : m_large.data();
        double value = 0;
        auto [ptr, ec] = std::from_chars(first, first + m_size, value);
        (void)ptr;
        if (ec == std::errc::result_out_of_range) {
            if (!expNegative) Raise(fail::Overflow);
            return first[0] == '-' ? -0.0 : 0.0;
        }
        return ec == std::errc() ? value : 0.0;
    }

private:
    char m_small[64];
    std::size_t m_size = 0;
    std::string m_large;
};

}  // namespace

namespace {

enum class NumberStatus { Ok, NotANumber, TooLarge };

NumberStatus ParseWholeNumber(std::string_view text, double& value) {
    std::string_view t = text;
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    NumberText number;
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-') number.Push('-');
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < t.size() && IsDigit(t[i])) number.Push(t[i++]), ++mantissaDigits;
    if (i < t.size() && t[i] == '.') {
        number.Push(t[i++]);
        while (i < t.size() && IsDigit(t[i])) number.Push(t[i++]), ++mantissaDigits;
    }
    if (mantissaDigits == 0) return NumberStatus::NotANumber;
    bool expNegative = false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        number.Push('e');
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
            expNegative = t[i] == '-';
            if (expNegative) number.Push('-');
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < t.size() && IsDigit(t[i])) number.Push(t[i++]), ++expDigits;
        if (expDigits == 0) return NumberStatus::NotANumber;
    }
    if (i != t.size()) return NumberStatus::NotANumber;
    try {
        value = number.Value(expNegative);
    } catch (const Failure&) {
        return NumberStatus::TooLarge;
    }
    return NumberStatus::Ok;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    double value = 0;
    if (ParseWholeNumber(text, value) != NumberStatus::Ok) return std::nullopt;
    return value;
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
    double value = 0;
    switch (ParseWholeNumber(word, value)) {
        case NumberStatus::Ok:
            return value;
        // A number too large for a double is still a number, only too large for any field.
        case NumberStatus::TooLarge:
            Raise(fail::Overflow);
        case NumberStatus::NotANumber:
            break;
    }
    Raise(fail::TypeMismatch);
}

std::int16_t WholeWordInt16(std::string_view word) {
    return RoundToInt16(WholeWordNumber(word));
}

std::int32_t WholeWordInt32(std::string_view word) {
    return RoundToInt32(WholeWordNumber(word));
}

double NumericPrefix(std::string_view text) {
    NumberText number;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
    };
    skipBlanks();
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') number.Push('-');
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    for (;;) {
        skipBlanks();
        if (i >= n) break;
        char c = text[i];
        if (IsDigit(c)) {
            number.Push(c);
            ++digits;
        } else if (c == '.' && !point) {
            number.Push(c);
            point = true;
        } else {
            break;
        }
        ++i;
    }
    if (digits == 0) return 0.0;
    bool expNegative = false;
    skipBlanks();
    if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        // The exponent counts only when digits follow; "1E" and "1E+" read as 1.
        std::size_t mark = number.Size();
        number.Push('e');
        ++i;
        skipBlanks();
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            if (expNegative) number.Push('-');
            ++i;
        }
        std::size_t expDigits = 0;
        for (;;) {
            skipBlanks();
            if (i >= n || !IsDigit(text[i])) break;
            number.Push(text[i++]);
            ++expDigits;
        }
        if (expDigits == 0) {
            number.Truncate(mark);
            expNegative = false;
        }
    }
    return number.Value(expNegative);
}

std::string ShortestText(float value) {
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
