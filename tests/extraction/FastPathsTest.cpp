// The fast routines of the extraction against the plain ones they stand in for: the
// overflow guards against the conversion, and the table that keeps only the requested
// rows. (The extraction's own number conversion and word picking are compared with the
// plain reading in ExtractionEquivalenceTest.)
#include <gtest/gtest.h>

#include <random>

#include "common/Failure.h"
#include "extraction/ValueTable.h"
#include "extraction/ValueText.h"
#include "reader/TextRoutines.h"
#include "reader/VectorLevel.h"
#include "tests/support/Failures.h"
#include "tests/support/VectorLevels.h"

namespace vx {
namespace {

using test::AtEveryVectorLevel;
using test::FailureOf;

// Feeds `bytes` to a guard in random pieces and tells its verdict.
template <typename Guard>
bool GuardClear(const std::string& bytes, std::mt19937& random, Guard guard = Guard()) {
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t piece = std::min<std::size_t>(bytes.size() - at, random() % 150);
        guard.Feed(std::string_view(bytes).substr(at, piece));
        at += piece;
    }
    return guard.Clear();
}

// Words that fail (by an exponent of two or three digits after E, D, e or d, or by their
// digits with an exponent that alone would pass) after ordinary records, at every offset
// across the pieces fed and the blocks of 64 bytes; the records alone, with large numbers
// that fit, go the fast way.
TEST(NumberGuards, NeverClearBytesWhoseWordsCouldFailAndClearOrdinaryRecords) {
    const char* const failing[] = {"0.1E+45", "-1.5E+99", "-1d+45",
                                   "1E+100",  "1E+039",   "40000000000000000000E+19"};
    for (const char* word : failing)
        ASSERT_EQ(FailureOf([&] { RoundToSingle(NumericPrefix(word)); }), fail::Overflow) << word;
    const std::string record =
        "  12  0.71074E+01 -0.64848E-02\t0.1E+19  99E+19 1E-99 12345678901234.\r\n";
    AtEveryVectorLevel([&](int level) {
        std::mt19937 random(5);
        for (std::size_t pad = 0; pad < 130; ++pad) {
            const std::string before = record + std::string(pad, ' ');
            for (const char* word : failing)
                EXPECT_FALSE(GuardClear(before + word, random, WordNumberGuard(level)))
                    << pad << " " << word;
            EXPECT_TRUE(GuardClear(before + record, random, WordNumberGuard(level))) << pad;
        }
    });
    // Temperature fields: six characters, so only an exponent can make them fail.
    std::mt19937 random(6);
    EXPECT_TRUE(GuardClear<FieldNumberGuard>("    1  20.5    2 -13.0    3999999\r\n", random));
    for (const char* field : {"  1E+5", "  9e99", " 1 D45", "1.0d+1"})
        EXPECT_FALSE(GuardClear<FieldNumberGuard>(std::string("    1") + field + "\r\n", random))
            << field;
}

TEST(ValueTable, KeepsOnlyTheRequestedRowsYetAnswersForEveryRow) {
    ValueTable table;
    table.Resize(10, 3, {7, 2, 7, 0, 11, -3});  // repeats and rows outside the table left out
    EXPECT_EQ(table.KeptRows(), (std::vector<std::int32_t>{2, 7}));
    table.Set(7, 2, 1.5f);
    table.Set(5, 1, 9.0f);  // not kept: nothing happens
    EXPECT_EQ(table.At(5, 1), 0.0f);
    for (auto [row, column] : {std::pair{0, 1}, {11, 1}, {1, 0}, {1, 4}}) {
        EXPECT_EQ(FailureOf([&] { (void)table.At(row, column); }), fail::SubscriptOutOfRange);
        EXPECT_EQ(FailureOf([&] { table.Set(row, column, 1.0f); }), fail::SubscriptOutOfRange);
    }
    // Handed over column after column, the kept rows of each in order.
    EXPECT_EQ(table.TakeValues(), (std::vector<float>{0.0f, 0.0f, 0.0f, 1.5f, 0.0f, 0.0f}));
    table.Resize(4, 2);  // a new table keeps every row again
    EXPECT_TRUE(table.KeepsEveryRow());
}

}  // namespace
}  // namespace vx
