// The fast routines of the extraction against the plain ones they stand in for: the
// overflow guards against the conversion, the numbers read in columns against the
// conversion of each word, and the table that keeps only the requested rows. (The extraction's own
// number conversion and word picking are compared with the plain reading in
// ExtractionEquivalenceTest.)
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "common/Failure.h"
#include "extraction/NumberColumns.h"
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

// Record lines in blocks of one layout (a right-aligned node number, then fields of one
// width each with random digits, signs and exponents), some lines disturbed: a word of
// another shape, a word too many or too few, a tab, any byte changed, another width, a
// power past 10^22,
// a line past the longest read. Whenever the columns read a line (with AVX-512, with
// AVX2), each value is the very single the word's own conversion gives; and undisturbed
// lines are read that way.
TEST(NumberColumns, ReadExactlyWhatEachWordConvertsTo) {
    for (const int level : {kAvx512Vectors, kAvx2Vectors}) {
        SCOPED_TRACE(level);
        std::mt19937 random(11);
        auto pick = [&](int from, int to) {
            return from + static_cast<int>(random() % (to - from + 1));
        };
        const char* const odd[] = {
            "12.5E+01",        "0.5",          "-0.12345E+100", "0.1234-101",
            "1.0E+5",          "+0.12345E+01", "0.12345E+01x",  "NaN",
            "1.2.3",           "-0.00000E+00", "0.12345E+30",   "0.12345E-20",
            "0.123456789E+01", "-.5E+01",      "5.E+01",        "0.1E+1"};
        std::size_t read = 0, plain = 0;
        for (int block = 0; block < 300; ++block) {
            const int fields = pick(1, 10), nodeWidth = pick(3, 8);
            std::vector<int> fraction(static_cast<std::size_t>(fields));
            for (int& f : fraction) f = pick(0, 9) ? pick(1, 7) : 8;
            const char letter = "EeDd"[pick(0, 3)];
            std::vector<std::size_t> words;
            // Fields, now and then the node number or a word past the last.
            for (std::size_t w = 0; w <= static_cast<std::size_t>(fields) + 1; ++w)
                if (pick(0, 2) > 0 && words.size() < NumberColumns::kMostWords &&
                    ((w > 0 && w <= static_cast<std::size_t>(fields)) || pick(0, 9) == 0))
                    words.push_back(w);
            if (words.empty()) words.push_back(1);
            NumberColumns columns(words, level);
            for (int l = 0; l < 40; ++l) {
                std::string line = std::string(static_cast<std::size_t>(nodeWidth), ' ');
                const std::string node = std::to_string(pick(1, 99999));
                line.replace(line.size() - std::min(line.size(), node.size()), node.size(), node);
                const bool disturbed = pick(0, 9) == 0;
                for (int f = 0; f < fields; ++f) {
                    std::string word = pick(0, 1) ? "-" : pick(0, 5) ? " " : "+";
                    word += std::to_string(pick(0, 4) ? 0 : pick(1, 9)) + ".";
                    for (int d = 0; d < fraction[static_cast<std::size_t>(f)]; ++d)
                        word += static_cast<char>('0' + pick(0, 9));
                    const int exponent = pick(0, 50) ? pick(0, 20) : pick(0, 99);
                    word += std::string(1, letter) + (pick(0, 1) ? "-" : "+") +
                            (exponent < 10 ? "0" : "") + std::to_string(exponent);
                    line += " " + word;
                }
                if (disturbed) {
                    std::vector<std::size_t> starts;
                    for (std::size_t i = 1; i < line.size(); ++i)
                        if (line[i - 1] == ' ' && line[i] != ' ') starts.push_back(i);
                    const std::size_t at = starts[random() % starts.size()];
                    switch (pick(0, 7)) {
                        case 7:
                            line[at - 1] = "x7"[pick(0, 1)];
                            break;  // no blank before a word
                        case 5:
                            line[0] = '7';
                            break;  // a word more before the fields, if blank
                        case 6:
                            line[random() % line.size()] = " \t-+.09EeDdx"[pick(0, 12)];
                            break;
                        case 0:
                            line.insert(at, std::string(odd[random() % std::size(odd)]) + " ");
                            break;
                        case 1:
                            line.erase(at, line.find(' ', at) == std::string::npos
                                               ? std::string::npos
                                               : line.find(' ', at) - at);
                            break;
                        case 2:
                            line[at - 1] = '\t';
                            break;
                        case 3:
                            line.insert(at, " ");
                            break;
                        default:  // more after the last word, or the last word longer
                            line +=
                                pick(0, 1)
                                    ? std::string(static_cast<std::size_t>(pick(1, 60)), ' ') + "1"
                                    : std::string("5");
                            break;
                    }
                }
                float got[NumberColumns::kMostWords];
                if (!columns.Read(line, got)) continue;
                ++read;
                plain += !disturbed;
                // The words as the general reading splits them.
                std::vector<std::string_view> split;
                for (std::size_t i = 0; i < line.size();) {
                    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
                    const std::size_t start = i;
                    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
                    if (i > start) split.push_back(std::string_view(line).substr(start, i - start));
                }
                for (std::size_t k = 0; k < words.size(); ++k) {
                    ASSERT_LT(words[k], split.size()) << line;
                    const float want = SingleValue(split[words[k]]);
                    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[k]),
                              std::bit_cast<std::uint32_t>(want))
                        << line << " word " << words[k] << ": " << got[k] << " for " << want;
                }
            }
        }
        // Blocks whose wanted words are all fields of the shape are read in columns, bar the
        // disturbed lines and the first one learned from after each (where the processor has
        // the instructions).
        if (NumberColumns(std::vector<std::size_t>{1}, level).Usable()) {
            EXPECT_GT(plain, 300u * 40 / 4) << read;
        }
    }
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
