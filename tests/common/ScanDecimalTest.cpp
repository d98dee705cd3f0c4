#include "common/ScanDecimal.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <string>

namespace vx {
namespace {

// The syntaxes the program reads numbers with, each named after the texts it is for.
enum class Syntax { Word, Prefix, Sheet, Time };

DecimalResult Scan(Syntax syntax, const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    switch (syntax) {
        case Syntax::Word:  // a listing's header word, a box of the window
            return ScanDecimal<DecimalSyntax{.ExponentD = true, .WholeText = true}>(first, last);
        case Syntax::Prefix:  // the numeric prefix of a listing's values
            return ScanDecimal<DecimalSyntax{.ExponentD = true, .BlanksAnywhere = true}>(first,
                                                                                         last);
        case Syntax::Sheet:  // a number given to the writer as text
            return ScanDecimal<DecimalSyntax{.WholeText = true}>(first, last);
        case Syntax::Time:  // a time text of the time lists
            return ScanDecimal<DecimalSyntax{}>(first, last);
    }
    return {};
}

const char* Name(Syntax syntax) {
    constexpr const char* kNames[] = {"word", "prefix", "sheet", "time"};
    return kNames[static_cast<int>(syntax)];
}

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
        {Time, "12.5", 12.5, 4},
        {Time, " \t-0.5 x", -0.5, 6},
        {Sheet, "+.5", 0.5, 3},
        {Word, "5.", 5.0, 2},
        {Time, "-0", -0.0, 2},
        {Prefix, "-0.0E+5", -0.0, 7},
        {Time, "0E+99999", 0.0, 8},
        {Time, "2.5E-2", 0.025, 6},
        {Time, "1e5x", 1e5, 3},
        {Time, "1.2.3", 1.2, 3},
        {Time, "", 0.0, 0, kNoDigits},
        {Prefix, ".", 0.0, 0, kNoDigits},
        {Prefix, "-", 0.0, 0, kNoDigits},
        {Time, "+-5", 0.0, 0, kNoDigits},
        {Time, "e5", 0.0, 0, kNoDigits},
        // An exponent letter that no digit follows is not the number's.
        {Time, "1E", 1.0, 1},
        {Prefix, "1E+", 1.0, 1},
        {Time, "1e-x", 1.0, 1},
        // The D exponent of the listing's syntaxes.
        {Prefix, "1D2", 100.0, 3},
        {Prefix, "1d-3", 0.001, 4},
        {Word, "0.5D-01", 0.05, 7},
        {Time, "1D2", 1.0, 1},
        {Sheet, "1D2", 0.0, 1, kTrailing},
        // Blanks anywhere in the numeric prefix, and line feeds among them.
        {Prefix, "- 1 2.5 E 3 x", -12500.0, 11},
        {Prefix, "\t1\n2", 12.0, 4},
        {Prefix, "\n7", 7.0, 2},
        {Prefix, "1E5 1", 1e51, 5},
        {Prefix, "1 E", 1.0, 1},
        {Prefix, "12 NODES", 12.0, 2},
        {Time, "- 5", 0.0, 0, kNoDigits},
        {Time, "\n7", 0.0, 0, kNoDigits},
        {Time, "1 2", 1.0, 1},
        // The whole text, blanks around it.
        {Word, " 12 \t", 12.0, 3},
        {Sheet, "  -1.5e3 ", -1500.0, 8},
        {Word, "1 2", 0.0, 1, kTrailing},
        {Word, "1\n", 0.0, 1, kTrailing},
        {Word, "1E", 0.0, 1, kTrailing},
        {Sheet, "1.2.3", 0.0, 3, kTrailing},
        {Word, "1,000", 0.0, 1, kTrailing},
        {Word, "  ", 0.0, 0, kNoDigits},
        // The nearest double, halves to even, however the digits come.
        {Time, "0.1", 0.1, 3},
        {Time, "9007199254740993", 9007199254740992.0, 16},
        {Time, "9007199254740995", 9007199254740996.0, 16},
        {Time, "1234567890123456789012345", 1234567890123456789012345.0, 25},
        {Prefix, "12345678 90123456789012345", 1234567890123456789012345.0, 26},
        {Time, "0.000000000000000000000001", 1e-24, 26},
        {Time, "1" + Zeros(400) + "e-390", 1e10, 406},
        {Time, "1.7976931348623157E308", 1.7976931348623157e308, 22},
        {Time, "3E-324", 4.9406564584124654e-324, 6},
        // Past the 800 digits that are kept, a digit that is not 0 still breaks a tie.
        {Time, "9007199254740993" + Zeros(1000) + "E-1000", 9007199254740992.0, 1022},
        {Time, "9007199254740993" + Zeros(1000) + "1E-1001", 9007199254740994.0, 1023},
        // Too large for a double, and too small for one (zero of the number's sign).
        {Time, "1E309", kInfinity, 5, kTooLarge},
        {Prefix, "-1 E 309", -kInfinity, 8, kTooLarge},
        {Time, "1.7976931348623159E308", kInfinity, 22, kTooLarge},
        {Time, "1" + Zeros(400) + "e-10", kInfinity, 405, kTooLarge},
        {Time, "1E+" + std::string(30, '9'), kInfinity, 33, kTooLarge},
        {Time, "1e-400", 0.0, 6},
        {Sheet, "-1e-400", -0.0, 7},
        {Time, "0." + Zeros(400) + "1", 0.0, 403},
        {Time, "1E-" + std::string(30, '9'), 0.0, 33},
        // Beyond a double, but followed by text: the whole text is wrong first.
        {Word, "1E999x", 0.0, 5, kTrailing},
    };
    for (const Case& c : cases) {
        const DecimalResult r = Scan(c.Form, c.Text);
        const std::string shown = c.Text.size() > 40 ? c.Text.substr(0, 40) + "..." : c.Text;
        SCOPED_TRACE(std::string(Name(c.Form)) + " \"" + shown + "\"");
        EXPECT_EQ(r.Error, c.Error);
        EXPECT_EQ(r.Ptr - c.Text.data(), c.Stop);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(r.Value), std::bit_cast<std::uint64_t>(c.Value))
            << r.Value << " instead of " << c.Value;
    }
}

}  // namespace
}  // namespace vx
