#include "common/ScanDecimal.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace vx {
namespace {

// The syntaxes the program reads numbers with, each named after the texts it is for.
enum class Syntax { Word, Prefix, Sheet, Time };
constexpr const char* kNames[] = {"word", "prefix", "sheet", "time"};
using Scanner = DecimalResult (*)(const char*, const char*) noexcept;
constexpr Scanner kScanners[] = {
    ScanDecimal<DecimalSyntax{.ExponentD = true, .WholeText = true}>,       // a header word, a box
    ScanDecimal<DecimalSyntax{.ExponentD = true, .BlanksAnywhere = true}>,  // a listing's values
    ScanDecimal<DecimalSyntax{.WholeText = true}>,  // a number given to the writer as text
    ScanDecimal<DecimalSyntax{}>};                  // a time text of the time lists

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Case {
    Syntax Form;
    std::string Text;
    double Value;         // compared bit for bit: -0 is not 0
    std::ptrdiff_t Stop;  // where the scan stopped, from the text's start
    DecimalError Error = DecimalError::None;
};

std::string Zeros(std::size_t count) {
    return std::string(count, '0');
}

TEST(ScanDecimal, ValueStopPointAndFailureOfEachSyntax) {
    using enum Syntax;
    constexpr DecimalError kNoDigits = DecimalError::NoDigits,
                           kTrailing = DecimalError::TrailingText,
                           kTooLarge = DecimalError::TooLarge;
    const Case cases[] = {
        // What every syntax takes: blanks in front, a sign, a point with digits on one side.
        {Time, " \t-0.5 x", -0.5, 6},
        {Sheet, "+.5", 0.5, 3},
        {Word, "5.", 5.0, 2},
        {Prefix, "-0.0E+5", -0.0, 7},
        {Time, "0E+99999", 0.0, 8},
        {Time, "1.2.3", 1.2, 3},
        {Time, "", 0.0, 0, kNoDigits},
        {Time, "+-5", 0.0, 0, kNoDigits},
        // An exponent letter that no digit follows is not the number's.
        {Time, "1e-x", 1.0, 1},
        // The D exponent of the listing's syntaxes.
        {Prefix, "1d-3", 0.001, 4},
        {Time, "1D2", 1.0, 1},
        // Blanks anywhere in the numeric prefix, and line feeds among them.
        {Prefix, "- 1 2.5 E 3 x", -12500.0, 11},
        {Prefix, "\t1\n2", 12.0, 4},
        {Prefix, "1E5 1", 1e51, 5},
        {Prefix, "1 E", 1.0, 1},
        {Prefix, "12 NODES", 12.0, 2},
        {Time, "- 5", 0.0, 0, kNoDigits},
        {Time, "1 2", 1.0, 1},
        // The whole text, blanks around it.
        {Word, " 12 \t", 12.0, 3},
        {Word, "1 2", 0.0, 1, kTrailing},
        {Word, "1\n", 0.0, 1, kTrailing},
        {Word, "  ", 0.0, 0, kNoDigits},
        // Digits past those an integer holds, blanks among them, and past the 800 that are
        // kept, where a digit that is not 0 still breaks a tie.
        {Prefix, "12345678 90123456789012345", 1234567890123456789012345.0, 26},
        {Time, "1" + Zeros(400) + "e-390", 1e10, 406},
        {Time, "9007199254740993" + Zeros(1000) + "E-1000", 9007199254740992.0, 1022},
        {Time, "9007199254740993" + Zeros(1000) + "1E-1001", 9007199254740994.0, 1023},
        // Too large for a double, and too small for one (zero of the number's sign).
        {Prefix, "-1 E 309", -kInfinity, 8, kTooLarge},
        {Time, "1.7976931348623159E308", kInfinity, 22, kTooLarge},
        {Time, "1" + Zeros(400) + "e-10", kInfinity, 405, kTooLarge},
        {Time, "1E+" + std::string(30, '9'), kInfinity, 33, kTooLarge},
        {Sheet, "-1e-400", -0.0, 7},
        {Time, "0." + Zeros(400) + "1", 0.0, 403},
        {Time, "1E-" + std::string(30, '9'), 0.0, 33},
        // Beyond a double, but followed by text: the whole text is wrong first.
        {Word, "1E999x", 0.0, 5, kTrailing},
    };
    for (const Case& c : cases) {
        const DecimalResult r =
            kScanners[static_cast<int>(c.Form)](c.Text.data(), c.Text.data() + c.Text.size());
        const std::string shown = c.Text.size() > 40 ? c.Text.substr(0, 40) + "..." : c.Text;
        SCOPED_TRACE(std::string(kNames[static_cast<int>(c.Form)]) + " \"" + shown + "\"");
        EXPECT_EQ(r.Error, c.Error);
        EXPECT_EQ(r.Ptr - c.Text.data(), c.Stop);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(r.Value), std::bit_cast<std::uint64_t>(c.Value))
            << r.Value << " instead of " << c.Value;
    }
}

// Printed numbers of every size and length, subnormal and beyond the largest double
// included: the nearest double (halves to even), as the C library reads them.
TEST(ScanDecimal, PrintedNumbersReadAsTheCLibraryReadsThem) {
    std::mt19937_64 random(7);
    char text[64];
    for (int i = 0; i < 200000; ++i) {
        const double value = std::ldexp(static_cast<double>(random() >> 11),
                                        static_cast<int>(random() % 2100) - 1130);
        std::snprintf(text, sizeof text, i % 2 ? "%.*E" : "%.*g", static_cast<int>(random() % 26),
                      value);
        char* end = nullptr;
        const double expected = std::strtod(text, &end);
        const DecimalResult r = ScanDecimal<DecimalSyntax{}>(text, text + std::strlen(text));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(r.Value), std::bit_cast<std::uint64_t>(expected))
            << text;
        ASSERT_EQ(r.Ptr, end) << text;
    }
}

}  // namespace
}  // namespace vx
