// The text routines' own rules; the number syntaxes beneath them are ScanDecimalTest's.
#include "reader/TextRoutines.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "tests/support/Failures.h"

namespace vx {
namespace {

using test::FailureOf;

TEST(SplitWords, TabsAreSpacesAndEmptyPiecesDrop) {
    auto words = SplitWords("  TIME =\t 120.0  ");
    EXPECT_EQ(words, (WordList{"TIME", "=", "120.0"}));
    EXPECT_TRUE(SplitWords("   \t ").empty());
    EXPECT_EQ(SplitWords("a\vb").size(), 1u) << "only spaces and tabs separate words";
    EXPECT_EQ(FailureOf([&] { WordAt(words, 3); }), fail::SubscriptOutOfRange);
    // Whole-line markers are equal once spaces, and only spaces, are trimmed.
    EXPECT_FALSE(IsExactly("\tTOTAL DISPLACEMENTS.", "TOTAL DISPLACEMENTS."));
    EXPECT_EQ(TrimSpaces("    "), "");
}

TEST(Numbers, FieldsRoundHalvesToEvenAndOverflowPastTheirRange) {
    const std::pair<const char*, int> values[] = {
        {"-7", -7}, {"2.5", 2}, {"3.5", 4}, {"1D2", 100}, {"32767", 32767}, {"-32768", -32768}};
    for (auto [word, value] : values) EXPECT_EQ(WholeWordInt16(word), value) << word;
    EXPECT_EQ(WholeWordInt32("40000"), 40000);
    EXPECT_EQ(FailureOf([] { WholeWordInt16("32768"); }), fail::Overflow);
    EXPECT_EQ(FailureOf([] { WholeWordInt16("32767.5"); }), fail::Overflow);
    EXPECT_EQ(FailureOf([] { WholeWordInt32("2147483648"); }), fail::Overflow);
    EXPECT_EQ(FailureOf([] { WholeWordInt32(std::string(400, '9')); }), fail::Overflow);
    for (const char* word : {"", "12a"})
        EXPECT_EQ(FailureOf([&] { WholeWordInt16(word); }), fail::TypeMismatch) << word;
    // A box of the window is a number as a whole, or none.
    for (auto [text, numeric] : {std::pair{" -2.5E-2 ", true}, {"1D2", true}, {"1 2", false}})
        EXPECT_EQ(IsNumeric(text), numeric) << text;

    // A value's numeric prefix: blanks anywhere, the D exponent, no number in front is 0.
    EXPECT_EQ(NumericPrefix("- 1 2.5 D 3 x"), -12500.0);
    EXPECT_EQ(NumericPrefix("abc 12"), 0.0);
    EXPECT_EQ(FailureOf([] { NumericPrefix("1E999"); }), fail::Overflow);
    EXPECT_EQ(RoundToInt16(-32768.4), -32768);
    EXPECT_EQ(FailureOf([] { RoundToInt16(-32768.6); }), fail::Overflow);
    EXPECT_EQ(RoundToSingle(0.1), 0.1f);
    EXPECT_EQ(FailureOf([] { RoundToSingle(1e39); }), fail::Overflow);
}

TEST(TimeText, ShortestFormsAsTheTimeListShowsThem) {
    for (auto [value, text] : {std::pair{60.0f, "60"},
                               {120.5f, "120.5"},
                               {0.1f, "0.1"},
                               {1.0f / 3.0f, "0.3333333"},
                               {1e-7f, "1e-07"}})
        EXPECT_EQ(TimeText(value), text);
    EXPECT_EQ(ShortestText(0.1f), "0.1");
    EXPECT_EQ(ShortestText(16777216.0f), "16777216");
}

}  // namespace
}  // namespace vx
