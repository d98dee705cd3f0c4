#include "reader/TextRoutines.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/Failure.h"

namespace vx {
namespace {

int FailureOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Failure& failure) {
        return failure.Number();
    }
    return 0;
}

TEST(SplitWords, TabsAreSpacesAndEmptyPiecesDrop) {
    auto words = SplitWords("  TIME =\t 120.0  ");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0], "TIME");
    EXPECT_EQ(words[1], "=");
    EXPECT_EQ(words[2], "120.0");
    EXPECT_TRUE(SplitWords("   \t ").empty());
    EXPECT_EQ(SplitWords("a\x0b" "b").size(), 1u) << "only spaces and tabs separate words";
    EXPECT_EQ(FailureOf([&] { WordAt(words, 3); }), fail::SubscriptOutOfRange);
}

TEST(MarkerTests, ContainsIsCaseSensitiveAndIsExactlyTrimsOnlySpaces) {
    EXPECT_TRUE(Contains("xx TOTAL DISPLACEMENTS. yy", "TOTAL DISPLACEMENTS."));
    EXPECT_FALSE(Contains("total displacements.", "TOTAL DISPLACEMENTS."));
    EXPECT_TRUE(IsExactly("   TOTAL DISPLACEMENTS.  ", "TOTAL DISPLACEMENTS."));
    EXPECT_FALSE(IsExactly("\tTOTAL DISPLACEMENTS.", "TOTAL DISPLACEMENTS."));
    EXPECT_FALSE(IsExactly("TOTAL DISPLACEMENTS. (CONT.)", "TOTAL DISPLACEMENTS."));
    EXPECT_EQ(TrimSpaces("    "), "");
}

TEST(WholeWordInteger, RoundsHalvesToEvenAndChecksTheField) {
    EXPECT_EQ(WholeWordInt16("12"), 12);
    EXPECT_EQ(WholeWordInt16("-7"), -7);
    EXPECT_EQ(WholeWordInt16("+7"), 7);
    EXPECT_EQ(WholeWordInt16("2.5"), 2);
    EXPECT_EQ(WholeWordInt16("3.5"), 4);
    EXPECT_EQ(WholeWordInt16("1.2E1"), 12);
    EXPECT_EQ(WholeWordInt16("1D2"), 100);
    EXPECT_EQ(WholeWordInt16(".5"), 0);
    EXPECT_EQ(WholeWordInt16("32767"), 32767);
    EXPECT_EQ(WholeWordInt16("-32768"), -32768);
    EXPECT_EQ(WholeWordInt32("40000"), 40000);

    EXPECT_EQ(FailureOf([] { WholeWordInt16("32768"); }), fail::Overflow);
    EXPECT_EQ(FailureOf([] { WholeWordInt16("32767.5"); }), fail::Overflow);
    EXPECT_EQ(FailureOf([] { WholeWordInt32("2147483648"); }), fail::Overflow);
    EXPECT_EQ(FailureOf([] { WholeWordInt32(std::string(400, '9')); }), fail::Overflow);
    for (const char* word : {"", "=", "12a", "1,000", "1E", "--1", "NODES."})
        EXPECT_EQ(FailureOf([&] { WholeWordInt16(word); }), fail::TypeMismatch) << word;
}

TEST(NumericPrefix, ReadsTheLeadingNumberAndIgnoresBlanksAnywhere) {
    EXPECT_DOUBLE_EQ(NumericPrefix("-0.1234E+02"), -12.34);
    EXPECT_DOUBLE_EQ(NumericPrefix("0.5D-01"), 0.05);
    EXPECT_DOUBLE_EQ(NumericPrefix("  -1.5"), -1.5);
    EXPECT_DOUBLE_EQ(NumericPrefix("1 2 3"), 123.0);
    EXPECT_DOUBLE_EQ(NumericPrefix("\t1\n2"), 12.0);
    EXPECT_DOUBLE_EQ(NumericPrefix("12 NODES"), 12.0);
    EXPECT_DOUBLE_EQ(NumericPrefix("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(NumericPrefix("1E"), 1.0);
    EXPECT_DOUBLE_EQ(NumericPrefix("1E+"), 1.0);
    EXPECT_DOUBLE_EQ(NumericPrefix("2E 3"), 2000.0);
    EXPECT_DOUBLE_EQ(NumericPrefix("1e-400"), 0.0);
    for (const char* text : {"", "      ", "abc 12", "-", ".", "EACH SECTION HAS 12"})
        EXPECT_EQ(NumericPrefix(text), 0.0) << text;
    EXPECT_EQ(FailureOf([] { NumericPrefix("1E999"); }), fail::Overflow);
}

TEST(Narrowing, SinglesAndSixteenBitFields) {
    EXPECT_EQ(RoundToInt16(-32768.4), -32768);
    EXPECT_EQ(FailureOf([] { RoundToInt16(-32768.6); }), fail::Overflow);
    EXPECT_EQ(RoundToSingle(0.1), 0.1f);
    EXPECT_EQ(FailureOf([] { RoundToSingle(1e39); }), fail::Overflow);
}

TEST(TimeText, ShortestFormsAsTheTimeListShowsThem) {
    EXPECT_EQ(TimeText(60.0f), "60");
    EXPECT_EQ(TimeText(120.5f), "120.5");
    EXPECT_EQ(TimeText(0.1f), "0.1");
    EXPECT_EQ(TimeText(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(TimeText(1e-7f), "1e-07");
    EXPECT_EQ(ShortestText(0.1f), "0.1");
    EXPECT_EQ(ShortestText(16777216.0f), "16777216");
}

TEST(IsNumeric, AcceptsTheStatedFormsOnly) {
    for (const char* text : {"1", " 1 ", "-2.5", "+3", "1.", ".5", "1e3", "2.5E-2", "1D2"})
        EXPECT_TRUE(IsNumeric(text)) << text;
    for (const char* text : {"", " ", "abc", "1a", "1 2", "e3", ".", "-", "1e"})
        EXPECT_FALSE(IsNumeric(text)) << text;
}

}  // namespace
}  // namespace vx
