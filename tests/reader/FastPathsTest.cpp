// The fast routines of the scan against the plain ones they stand in for: the line reader
// against the obvious split, the time index made by several threads against one reading.
// (The extraction's are in tests/extraction.)
#include <gtest/gtest.h>

#include <random>

#include "common/Failure.h"
#include "reader/LineReader.h"
#include "reader/TextRoutines.h"
#include "reader/TimeIndex.h"
#include "reader/VectorLevel.h"
#include "tests/support/Failures.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorLevels.h"

namespace vx {
namespace {

using test::AtEveryVectorLevel;
using test::FailureOf;
using test::PlainLine;
using test::TempDir;

// Skips `count` lines from line `at` of `expected` and checks where the reader ends and
// what it hands over; returns the line it ends at.
std::size_t ExpectSkip(LineReader& in, const std::string& bytes,
                       const std::vector<PlainLine>& expected, std::size_t at, std::int64_t count) {
    const std::size_t lines = std::min(static_cast<std::size_t>(count), expected.size() - at);
    const std::size_t start = at < expected.size() ? expected[at].Start : bytes.size();
    const std::size_t end = at + lines == 0 ? 0 : expected[at + lines - 1].Next;
    std::string handed;
    EXPECT_EQ(in.SkipLines(count, [&](std::string_view b) { handed += b; }),
              static_cast<std::int64_t>(lines));
    EXPECT_EQ(in.Position(), static_cast<std::int64_t>(end)) << count << " skipped from " << at;
    EXPECT_TRUE(handed == bytes.substr(start, end - start));
    return at + lines;
}

// Every line ending, a last line with or without one, an empty file, a CR LF split between
// two reads of the file or between two blocks of the vector search, a marker split between
// two reads or ending the file, a line longer than the buffer: read line by line, searched
// for a marker (also pausing for progress reports) and skipped any number of lines at once,
// at every width of vector instructions.
TEST(LineReader, ReadsSkipsAndSearchesAsTheObviousSplitDoes) {
    constexpr std::size_t kBuffer = LineReader::kReadSize;
    const std::string marker = "  TIME =";
    std::vector<std::string> texts = {"crlf\r\ncr\rlf\n\r\n\rlast", "", "\n",
                                      "a\r\n  TIME =", std::string(63, 'a') + "\r\nb\n"};
    for (std::size_t shift : {0u, 1u, 2u})
        texts.push_back(std::string(kBuffer - 1 - shift, 'x') + "\r\n\nnext\r\n" +
                        std::string(3 * kBuffer + 17, 'y') + "\rend");
    for (std::size_t cut = 1; cut < 8; ++cut)
        texts.push_back(std::string(kBuffer - cut - 3, 'a') + "\r\n   TIME =   60\r\nafter\r\n");
    TempDir dir;
    std::mt19937 random(9);
    for (std::size_t n = 0; n < texts.size(); ++n) {
        SCOPED_TRACE("text " + std::to_string(n));
        const std::string& bytes = texts[n];
        const auto file = dir.Write("lines.out", bytes);
        const auto expected = test::SplitPlainly(bytes);
        LineReader in(file);
        EXPECT_EQ(in.Size(), static_cast<std::int64_t>(bytes.size()));
        for (const auto& line : expected) {
            ASSERT_EQ(in.ReadLine(), line.Text);
            ASSERT_EQ(in.Position(), static_cast<std::int64_t>(line.Next));
        }
        EXPECT_TRUE(in.AtEnd());

        LineReader search(file);
        std::string_view found;
        std::size_t at = 0;
        const std::int64_t budget = n % 2 ? 1 : INT64_MAX;
        for (LineReader::Search s;
             (s = search.ReadLineContaining(marker, found, budget)) != LineReader::Search::End;) {
            if (s == LineReader::Search::Paused) continue;
            while (at < expected.size() && !Contains(expected[at].Text, marker)) ++at;
            ASSERT_LT(at, expected.size());
            EXPECT_EQ(found, expected[at].Text);
            EXPECT_EQ(search.Position(), static_cast<std::int64_t>(expected[at++].Next));
        }
        for (; at < expected.size(); ++at) EXPECT_FALSE(Contains(expected[at].Text, marker)) << at;

        for (std::size_t count = 0; count <= expected.size() + 1; ++count) {
            LineReader skip(file);
            ExpectSkip(skip, bytes, expected, 0, static_cast<std::int64_t>(count));
        }
        AtEveryVectorLevel([&](int level) {
            LineReader skip(file, level);
            for (std::size_t line = 0; line < expected.size();) {
                line = ExpectSkip(skip, bytes, expected, line,
                                  random() % 4 ? random() % 60 : random() % 5000);
                if (line < expected.size()) {
                    ASSERT_EQ(skip.ReadLine(), expected[line++].Text);
                }
            }
            EXPECT_TRUE(skip.AtEnd());
        });
    }
}

// The steps of the index of a file as `threads` threads make it with pieces of
// `pieceBytes` (time, position), or the number of the failure that ends it.
using Indexed = std::pair<std::vector<std::pair<float, std::int64_t>>, int>;

Indexed IndexWith(const std::filesystem::path& file, int threads, std::int64_t pieceBytes) {
    test::FakeServices host;
    OutputFileModel model;
    model.FilePath = file.string();
    Indexed out;
    try {
        LineReader in(file);
        ScanProgress progress(host, in.Size());
        IndexTimeSteps(in, model, progress,
                       {.Threads = threads, .TimeIndexPieceBytes = pieceBytes});
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(model.TimeCount, static_cast<int>(model.Times.size()));
        for (const auto& step : model.Times) out.first.emplace_back(step.Time, step.Position);
    } catch (const Failure& f) {
        out.second = f.Number();
        EXPECT_TRUE(model.Times.empty());
    }
    return out;
}

// Time lines with every line ending, next to each other, after empty and long lines, cut
// into pieces of every size up to longer than those lines, so that cuts fall on, just
// before and just after each of them; then a time line that fails, a line longer than the
// read buffer, and as many steps as the step counter takes and one more.
TEST(TimeIndex, PiecesReadByThreadsGiveWhatOneReadingGives) {
    TempDir dir;
    const std::string lines = "x\r\n  TIME =   1.5\r\n\n  TIME = 2\r  TIME =  3E1\n\r" +
                              std::string(150, 'x') + "  TIME = 7\r\n\r\nab  TIME = 8\n";
    std::string crowd;
    for (int i = 0; i < 32766; ++i) crowd += "  TIME = 1\n";
    const struct {
        std::string Bytes;
        bool Short;  // cut into pieces of every size up to 200 bytes, else of 4 and 64 KiB
        std::size_t Steps;
        int Failure;
    } cases[] = {
        {lines + lines + "  TIME = 9", true, 11, 0},
        {lines + "\n  TIME =   1.0E+99\n" + lines, true, 0, fail::Overflow},
        {lines + "\r\n  TIME =\r\n" + lines, true, 0, fail::SubscriptOutOfRange},
        {lines + std::string(3 << 20, 'x') + "  TIME = 9\r" + lines, false, 11, 0},
        {crowd, false, 32766, 0},
        {crowd + "  TIME = 1\n", false, 0, fail::Overflow},
    };
    for (const auto& c : cases) {
        const auto file = dir.Write("times.out", c.Bytes);
        const Indexed expected = IndexWith(file, 1, 0);
        EXPECT_EQ(expected.first.size(), c.Steps);
        EXPECT_EQ(expected.second, c.Failure);
        std::vector<std::int64_t> pieces = {4096, 65536};
        for (std::int64_t piece = 1; c.Short && piece <= 200; ++piece) pieces.push_back(piece);
        for (int threads : {2, 3})
            for (std::int64_t piece : pieces)
                EXPECT_EQ(IndexWith(file, threads, piece), expected)
                    << c.Steps << " steps, " << threads << " threads, pieces of " << piece;
    }
}

}  // namespace
}  // namespace vx
