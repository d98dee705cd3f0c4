// The fast routines of the scan and the extraction against the plain ones they stand in
// for: the number conversion, word picking, the overflow guards, the line reader against
// the obvious split, the time index made by several threads and the table that keeps
// only the requested rows.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "common/Failure.h"
#include "reader/LineReader.h"
#include "reader/StepReading.h"
#include "reader/TextRoutines.h"
#include "reader/TimeIndex.h"
#include "reader/ValueTable.h"
#include "reader/ValueText.h"
#include "reader/VectorLevel.h"
#include "tests/support/Failures.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::FailureOf;
using test::PlainLine;
using test::TempDir;

// Runs `check(level)` with each width of vector instructions the processor has.
template <typename F>
void AtEveryVectorLevel(F&& check) {
    for (int level = kPortableVectors; level <= DetectedVectorLevel(); ++level) {
        SCOPED_TRACE("vector level " + std::to_string(level));
        check(level);
    }
}

// The value bits of a conversion, or the number of the failure it ends in.
struct Outcome {
    std::uint32_t Bits = 0;
    int Failure = 0;
    bool operator==(const Outcome&) const = default;
};

template <typename F>
Outcome Convert(F&& convert) {
    try {
        return {std::bit_cast<std::uint32_t>(convert()), 0};
    } catch (const Failure& f) {
        return {0, f.Number()};
    }
}

Outcome Plain(std::string_view text) {
    return Convert([&] { return RoundToSingle(NumericPrefix(text)); });
}
Outcome Fast(std::string_view text) {
    return Convert([&] { return SingleValue(text); });
}

std::string RandomText(std::mt19937& random, std::string_view alphabet, std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
}

TEST(SingleValue, GivesThePlainConversionsValueAndFailure) {
    const std::vector<std::string> texts = {"0.71074E+01",
                                            "-0.64848E-02",
                                            "  12.5",
                                            "1.5E1",
                                            "-0",
                                            "-0.0E+5",
                                            "+.5",
                                            "5.",
                                            ".",
                                            "-",
                                            "",
                                            "-.E5",
                                            "1.2.3",
                                            "1E",
                                            "1E+",
                                            "1E-",
                                            "1e5x",
                                            "1d-3",
                                            "1D+02",
                                            "1 5",
                                            "- 5",
                                            "1. 5",
                                            "1 E5",
                                            "1E 5",
                                            "1E+ 5",
                                            "1E5 1",
                                            "1E5  x",
                                            "1.5   ",
                                            "\t-2.25\t",
                                            "\n7",
                                            "007.0100",
                                            "0.000000000000000000000001",
                                            "1234567890123456789",
                                            "12345678901234567890",
                                            "9007199254740993",
                                            "9007199254740992E-3",
                                            "1E22",
                                            "1E23",
                                            "1E-22",
                                            "1E-23",
                                            "123456789E-30",
                                            "3.4028234E38",
                                            "3.4028236E38",
                                            "1E38",
                                            "1E39",
                                            "-1E39",
                                            "1E+0039",
                                            "1E308",
                                            "1E309",
                                            "1E-400",
                                            "1E+99999",
                                            "0E+99999",
                                            "0.1E+00001",
                                            "9.99999999999999999999E+37",
                                            "0." + std::string(400, '0') + "1",
                                            std::string(320, '9'),
                                            "1" + std::string(38, '0'),
                                            "1" + std::string(39, '0')};
    for (const std::string& text : texts) EXPECT_EQ(Fast(text), Plain(text)) << '"' << text << '"';

    // Random number-like texts, with blanks, signs and exponent letters anywhere.
    std::mt19937 random(11);
    for (int i = 0; i < 200000; ++i) {
        const std::string text =
            RandomText(random, i % 2 ? "0123456789.+-eEdD \t" : "0123456789.E+-", 24);
        ASSERT_EQ(Fast(text), Plain(text)) << '"' << text << '"';
    }
    // Printed numbers of every size: the conversion must be exact, not merely close.
    char text[64];
    for (int i = 0; i < 200000; ++i) {
        const double value = std::ldexp(static_cast<double>(random()) / 4294967296.0,
                                        static_cast<int>(random() % 260) - 130);
        std::snprintf(text, sizeof text, i % 3 ? "%.*E" : "%.*f", static_cast<int>(random() % 18),
                      value);
        ASSERT_EQ(Fast(text), Plain(text)) << text;
    }
}

TEST(NthWord, PicksTheWordSplitWordsGives) {
    std::mt19937 random(3);
    for (int i = 0; i < 20000; ++i) {
        const std::string line = RandomText(random, "ab1 \t", 40);
        const WordList words = SplitWords(line);
        for (std::size_t n = 0; n <= words.size() + 1; ++n) {
            std::string_view word;
            const bool found = NthWord(line, n, word);
            ASSERT_EQ(found, n < words.size()) << '"' << line << "\" word " << n;
            if (found) {
                EXPECT_EQ(word, words[n]);
                EXPECT_EQ(word.data(), words[n].data());
            }
        }
    }
}

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

// A record line as a listing prints it, with some words that the guard must look into.
std::string RecordLine(std::mt19937& random, bool risky) {
    static const char* const kRisky[] = {"1.0E+45",
                                         "0.1E+39",
                                         "2E45",
                                         "1E+100",
                                         "1E+020",
                                         "-3.5D+40",
                                         "12345678901234567890",
                                         "1.000000000000000001E+30",
                                         "0.00000000000000000000000000001E+50",
                                         "1E+19",
                                         "99E+19"};
    std::string line = std::to_string(random() % 100000);
    for (int w = 0; w < 7; ++w) {
        char word[40];
        std::snprintf(word, sizeof word, "%.5E", (random() % 2 ? -1.0 : 1.0) * random() / 1e4);
        const bool look = risky && random() % 6 == 0;
        line += std::string(1 + random() % 3, random() % 5 ? ' ' : '\t') +
                (look ? kRisky[random() % std::size(kRisky)] : word);
    }
    return line;
}

TEST(NumberGuards, NeverClearBytesWhoseWordsCouldFailAndClearOrdinaryRecords) {
    AtEveryVectorLevel([](int level) {
        const WordNumberGuard atLevel(level);
        std::mt19937 random(5);
        for (int round = 0; round < 3000; ++round) {
            const bool risky = round % 2 == 0;
            std::string bytes;
            bool anyFails = false;
            for (int l = 0; l < 1 + static_cast<int>(random() % 12); ++l) {
                const std::string line = RecordLine(random, risky);
                for (std::string_view word : SplitWords(line))
                    if (Plain(word).Failure != 0) anyFails = true;
                bytes += line + (random() % 3 ? "\r\n" : "\n");
            }
            const bool clear = GuardClear(bytes, random, atLevel);
            EXPECT_FALSE(anyFails && clear) << bytes;
            EXPECT_TRUE(risky || clear) << "ordinary records go the fast way\n" << bytes;
        }
        EXPECT_TRUE(
            GuardClear("  1E+19  99E+19 -0.5E+19 1E-99 12345678901234.\r\n", random, atLevel))
            << "numbers that are large but fit need no closer look";

        // Across the pieces and the blocks of 64 bytes alike.
        for (std::size_t pad = 0; pad < 130; ++pad) {
            const std::string bytes = std::string(pad, ' ') + "0.1E+45";
            EXPECT_FALSE(GuardClear(bytes, random, atLevel)) << pad;
            // Too large through its digits, with an exponent that alone would pass.
            const std::string digits = std::string(pad, ' ') + "40000000000000000000E+19";
            ASSERT_EQ(Plain(digits).Failure, fail::Overflow);
            EXPECT_FALSE(GuardClear(digits, random, atLevel)) << pad;
            EXPECT_TRUE(GuardClear(std::string(pad, ' ') + "0.1E+19 1E-45", random, atLevel))
                << pad;
        }

        // Temperature fields: six characters, so only an exponent can make them fail.
        EXPECT_TRUE(GuardClear<FieldNumberGuard>("    1  20.5    2 -13.0    3999999\r\n", random));
        for (const char* field : {"  1E+5", "  9e99", " 1 D45", "1.0d+1"})
            EXPECT_FALSE(
                GuardClear<FieldNumberGuard>(std::string("    1") + field + "\r\n", random))
                << field;
    });
}

// Reads `file` line by line, then searches it for `marker` pausing every `budget` bytes,
// and checks both against the obvious split of its bytes.
void ExpectReadsAndSearchesAsSplit(const std::filesystem::path& file,
                                   const std::vector<PlainLine>& expected, std::string_view marker,
                                   std::int64_t budget) {
    LineReader in(file);
    for (const auto& line : expected) {
        ASSERT_FALSE(in.AtEnd());
        ASSERT_EQ(in.ReadLine(), line.Text);
        ASSERT_EQ(in.Position(), static_cast<std::int64_t>(line.Next));
    }
    EXPECT_TRUE(in.AtEnd());

    LineReader search(file);
    std::string_view found;
    std::size_t at = 0;
    for (LineReader::Search s;
         (s = search.ReadLineContaining(marker, found, budget)) != LineReader::Search::End;) {
        if (s == LineReader::Search::Paused) continue;
        while (at < expected.size() && !Contains(expected[at].Text, marker)) ++at;
        ASSERT_LT(at, expected.size());
        EXPECT_EQ(found, expected[at].Text);
        EXPECT_EQ(search.Position(), static_cast<std::int64_t>(expected[at++].Next));
    }
    for (; at < expected.size(); ++at)
        EXPECT_FALSE(Contains(expected[at].Text, marker)) << "line " << at;
    EXPECT_TRUE(search.AtEnd());
}

// Skips `count` lines from line `at` of `expected` and checks where the reader ends and
// what it hands over; returns the line it ends at.
std::size_t ExpectSkip(LineReader& in, const std::string& bytes,
                       const std::vector<PlainLine>& expected, std::size_t at, std::int64_t count) {
    const std::int64_t start = in.Position();
    const std::size_t lines = std::min(static_cast<std::size_t>(count), expected.size() - at);
    std::string handed;
    EXPECT_EQ(in.SkipLines(count, [&](std::string_view b) { handed += b; }),
              static_cast<std::int64_t>(lines));
    const auto end = static_cast<std::int64_t>(at + lines == 0 ? 0 : expected[at + lines - 1].Next);
    EXPECT_EQ(in.Position(), end) << count << " lines skipped from line " << at;
    EXPECT_TRUE(handed == bytes.substr(static_cast<std::size_t>(start),
                                       static_cast<std::size_t>(end - start)));
    return at + lines;
}

// Lines with every kind of ending, some long enough to cross the reader's blocks, markers
// and near misses of them, and a last line with or without an ending.
std::string RandomLines(std::mt19937& random, std::size_t count, std::string_view marker) {
    static const char* const kEnds[] = {"\r\n", "\r", "\n"};
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        std::string line;
        if (random() % 50 == 0)
            line.assign(random() % (3 * LineReader::kReadSize), "x T"[random() % 3]);
        for (std::size_t c = line.empty() ? random() % 120 : 0; c > 0; --c)
            line += " TIME=01"[random() % 8];
        if (random() % 7 == 0) line.insert(line.size() / 2, marker);
        bytes += line + kEnds[random() % 3];
    }
    if (random() % 2) bytes += "last";
    return bytes;
}

// Hand-picked texts (every line ending, a last line with or without one, an empty file, a
// CR LF or a marker split between two reads of the file, a line longer than the buffer),
// then random ones: read line by line, searched for a marker (also pausing for progress
// reports) and skipped any number of lines at once, at every width of vector instructions.
TEST(LineReader, ReadsSkipsAndSearchesAsTheObviousSplitDoes) {
    constexpr std::size_t kBuffer = LineReader::kReadSize;
    const std::string marker = "  TIME =";
    std::vector<std::string> texts = {"crlf\r\ncr\rlf\n\r\n\rlast", "", "\n"};
    for (std::size_t shift : {0u, 1u, 2u})
        texts.push_back(std::string(kBuffer - 1 - shift, 'x') + "\r\n\nnext\r\n" +
                        std::string(3 * kBuffer + 17, 'y') + "\rend");
    for (std::size_t cut = 1; cut < 8; ++cut)
        texts.push_back(std::string(kBuffer - cut - 3, 'a') + "\r\n   TIME =   60\r\nafter\r\n");
    TempDir dir;
    std::mt19937 random(9);
    for (std::size_t n = 0; n < texts.size() + 12; ++n) {
        SCOPED_TRACE("text " + std::to_string(n));
        const bool handPicked = n < texts.size();
        const std::string bytes =
            handPicked ? texts[n] : RandomLines(random, 400 + random() % 400, marker);
        const auto file = dir.Write("lines.out", bytes);
        const auto expected = test::SplitPlainly(bytes);
        EXPECT_EQ(LineReader(file).Size(), static_cast<std::int64_t>(bytes.size()));
        ExpectReadsAndSearchesAsSplit(file, expected, marker, !handPicked && n % 2 ? 1 : INT64_MAX);
        for (std::size_t count = 0; handPicked && count <= expected.size() + 1; ++count) {
            LineReader skip(file);
            ExpectSkip(skip, bytes, expected, 0, static_cast<std::int64_t>(count));
        }
        AtEveryVectorLevel([&](int level) {
            LineReader skip(file, level);
            for (std::size_t at = 0; at < expected.size();) {
                at = ExpectSkip(skip, bytes, expected, at,
                                random() % 4 ? random() % 60 : random() % 5000);
                if (at < expected.size()) {
                    ASSERT_EQ(skip.ReadLine(), expected[at++].Text);
                }
            }
            EXPECT_TRUE(skip.AtEnd());
        });
    }
}

// The index of a file as `threads` threads make it with pieces of `pieceBytes`: the
// steps, or the number of the failure that ends it.
struct Indexed {
    std::vector<std::pair<float, std::int64_t>> Steps;
    int Failure = 0;
    bool operator==(const Indexed&) const = default;
};

Indexed IndexWith(const std::filesystem::path& file, int threads, std::int64_t pieceBytes) {
    const ReadingOptions options{.Threads = threads, .TimeIndexPieceBytes = pieceBytes};
    test::FakeServices host;
    OutputFileModel model;
    model.FilePath = file.string();
    Indexed out;
    try {
        LineReader in(file);
        ScanProgress progress(host, in.Size());
        IndexTimeSteps(in, model, progress, options);
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(model.TimeCount, static_cast<int>(model.Times.size()));
        for (const auto& step : model.Times) out.Steps.emplace_back(step.Time, step.Position);
    } catch (const Failure& f) {
        out.Failure = f.Number();
        EXPECT_TRUE(model.Times.empty());
    }
    return out;
}

// Time lines among other lines, with every line ending and lines long enough to span
// pieces, so that time lines fall on, just before and just after every kind of cut;
// some listings hold a time line that fails, or more steps than the counter takes.
TEST(TimeIndex, PiecesReadByThreadsGiveWhatOneReadingGives) {
    TempDir dir;
    std::mt19937 random(17);
    static const char* const kEnds[] = {"\r\n", "\r", "\n"};
    for (int round = 0; round < 24; ++round) {
        const bool crowded = round == 23;  // 40000 steps overflow the counter
        std::string bytes;
        const int lines = crowded ? 40000 : 300 + static_cast<int>(random() % 300);
        for (int i = 0; i < lines; ++i) {
            const auto kind = crowded ? 0 : random() % 6;
            bytes += kind == 0   ? "  TIME =   " + std::to_string(i) + ".5E+01"
                     : kind == 1 ? std::string(random() % 3000, 'x') +
                                       "  TIME =  7"  // long, crossing pieces
                                 : std::string(random() % 90, "ab 1.="[random() % 6]);
            bytes += kEnds[random() % 3];
        }
        if (round % 8 == 5) bytes.insert(bytes.size() / 2, "\n  TIME =   1.0E+99\n");  // overflows
        if (round % 8 == 6) bytes.insert(bytes.size() * 3 / 4, "\r\n  TIME =\r\n");    // no value
        if (round == 7)
            bytes.insert(bytes.size() / 3,
                         std::string(3 << 20, 'x') + "  TIME = 9\r");  // beyond a buffer
        if (random() % 2) bytes += "  TIME = 3";
        const auto file = dir.Write("times.out", bytes);
        const Indexed expected = IndexWith(file, 1, 0);
        if (crowded) {
            EXPECT_EQ(expected.Failure, fail::Overflow);
        }
        for (int threads : {2, 3}) {
            for (std::int64_t piece : {64, 1000, 4096, 65536}) {
                if (crowded && piece < 4096) continue;
                EXPECT_EQ(IndexWith(file, threads, piece), expected)
                    << "round " << round << ", " << threads << " threads, pieces of " << piece;
            }
        }
    }
}

TEST(ValueTable, KeepsOnlyTheRequestedRowsYetAnswersForEveryRow) {
    ValueTable table;
    table.Resize(10, 3, {7, 2, 7, 0, 11, -3});
    EXPECT_EQ(table.KeptRows(), (std::vector<std::int32_t>{2, 7}));
    table.Set(7, 2, 1.5f);
    table.Set(2, 3, -2.0f);
    table.Set(5, 1, 9.0f);  // not kept: nothing happens
    EXPECT_EQ(table.At(7, 2), 1.5f);
    EXPECT_EQ(table.At(2, 3), -2.0f);
    EXPECT_EQ(table.At(5, 1), 0.0f);
    for (auto [row, column] : {std::pair{0, 1}, {11, 1}, {1, 0}, {1, 4}}) {
        EXPECT_EQ(FailureOf([&] { (void)table.At(row, column); }), fail::SubscriptOutOfRange);
        EXPECT_EQ(FailureOf([&] { table.Set(row, column, 1.0f); }), fail::SubscriptOutOfRange);
    }
    EXPECT_EQ(FailureOf([&] { table.ClearColumn(4); }), fail::SubscriptOutOfRange);
    table.ClearColumn(2);
    EXPECT_EQ(table.At(7, 2), 0.0f);
    EXPECT_EQ(table.At(2, 3), -2.0f);
    // Handed over column after column, the kept rows of each in order.
    table.Set(7, 1, 3.0f);
    EXPECT_EQ(table.TakeValues(), (std::vector<float>{0.0f, 3.0f, 0.0f, 0.0f, -2.0f, 0.0f}));
    EXPECT_EQ(table.Rows(), 0);

    table.Resize(4, 2);  // a new table keeps every row again
    EXPECT_TRUE(table.KeepsEveryRow());
    table.Set(3, 2, 4.0f);
    EXPECT_EQ(table.At(3, 2), 4.0f);
}

}  // namespace
}  // namespace vx
