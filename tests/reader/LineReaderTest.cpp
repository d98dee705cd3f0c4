#include "reader/LineReader.h"

#include <gtest/gtest.h>

#include <random>

#include "common/Failure.h"
#include "reader/TextRoutines.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::TempDir;

struct Line {
    std::string Text;
    std::int64_t Next;  // position after the line and its terminator
};

// The reading rules written the slow, obvious way: the witness for the buffered reader.
std::vector<Line> SplitReference(const std::string& bytes) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t j = i;
        while (j < bytes.size() && bytes[j] != '\r' && bytes[j] != '\n') ++j;
        std::string text = bytes.substr(i, j - i);
        if (j < bytes.size()) {
            if (bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n') ++j;
            ++j;
        }
        lines.push_back({text, static_cast<std::int64_t>(j)});
        i = j;
    }
    return lines;
}

std::vector<Line> ReadAll(LineReader& in) {
    std::vector<Line> lines;
    while (!in.AtEnd()) {
        std::string text(in.ReadLine());
        lines.push_back({text, in.Position()});
    }
    return lines;
}

void ExpectSameLines(const std::vector<Line>& actual, const std::vector<Line>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(actual[i].Text, expected[i].Text) << "line " << i;
        EXPECT_EQ(actual[i].Next, expected[i].Next) << "line " << i;
    }
}

TEST(LineReader, EveryLineEndingAndALastLineWithoutOne) {
    TempDir dir;
    const std::string bytes = "crlf\r\ncr\rlf\n\r\n\rlast";
    auto file = dir.Write("mixed.out", bytes);
    LineReader in(file);
    EXPECT_EQ(in.Size(), static_cast<std::int64_t>(bytes.size()));
    auto lines = ReadAll(in);
    ExpectSameLines(lines, SplitReference(bytes));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3].Text, "");
    EXPECT_EQ(lines[5].Text, "last");
    EXPECT_EQ(lines[5].Next, in.Size());
    LineReader empty(dir.Write("empty.out", ""));
    EXPECT_TRUE(empty.AtEnd());
}

TEST(LineReader, ReadingPastTheEndFailsAndSeekGoesBothWays) {
    TempDir dir;
    auto file = dir.Write("a.out", "one\r\ntwo\r\nthree\r\n");
    LineReader in(file);
    EXPECT_EQ(in.ReadLine(), "one");
    std::int64_t afterOne = in.Position();
    EXPECT_EQ(in.ReadLine(), "two");
    EXPECT_EQ(in.ReadLine(), "three");
    EXPECT_TRUE(in.AtEnd());
    try {
        in.ReadLine();
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.Number(), fail::InputPastEndOfFile);
    }
    in.Seek(afterOne);
    EXPECT_FALSE(in.AtEnd());
    EXPECT_EQ(in.ReadLine(), "two");
    in.Seek(0);
    EXPECT_EQ(in.ReadLine(), "one");
    in.Seek(1000);  // beyond the end: nothing left to read
    EXPECT_TRUE(in.AtEnd());
}

TEST(LineReader, OpeningFailuresAreNumbered) {
    TempDir dir;
    auto numberOf = [](const std::filesystem::path& p) {
        try {
            LineReader in(p);
        } catch (const Failure& f) {
            return f.Number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf(dir.Path() / "missing.out"), fail::FileNotFound);
    EXPECT_EQ(numberOf(dir.Path()), fail::PathFileAccessError) << "a folder is no listing";
}

// A CR LF pair split across two buffer loads must stay one terminator, and a line
// longer than the buffer must come back whole.
TEST(LineReader, BufferBoundaries) {
    constexpr std::size_t kBuffer = LineReader::kReadSize;
    TempDir dir;
    for (std::size_t shift : {0u, 1u, 2u}) {
        std::string bytes(kBuffer - 1 - shift, 'x');
        bytes += "\r\nnext\r\n";
        bytes += std::string(3 * kBuffer + 17, 'y');
        bytes += "\rend";
        auto file = dir.Write("boundary.out", bytes);
        LineReader in(file);
        ExpectSameLines(ReadAll(in), SplitReference(bytes));
    }
}

std::string RandomListing(std::mt19937& rng, std::size_t lines, std::string_view marker) {
    static const char* const kEnds[] = {"\r\n", "\r", "\n"};
    std::string bytes;
    for (std::size_t i = 0; i < lines; ++i) {
        std::size_t length = rng() % 4 == 0 ? rng() % 3000 : rng() % 90;
        for (std::size_t c = 0; c < length; ++c) bytes += " TIME=0123456789"[rng() % 16];
        if (rng() % 7 == 0) bytes.insert(bytes.size() - length / 2, marker);
        bytes += kEnds[rng() % 3];
    }
    if (rng() % 2) bytes += "tail without terminator";
    return bytes;
}

// The marker search must behave exactly as reading line by line and testing each line,
// also when it pauses for progress reports.
TEST(LineReader, ReadLineContainingMatchesTheLineByLineLoop) {
    const std::string marker = "  TIME =";
    TempDir dir;
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        std::string bytes = RandomListing(rng, 1000 + rng() % 2000, marker);
        auto file = dir.Write("random.out", bytes);
        auto reference = SplitReference(bytes);
        std::vector<std::size_t> expectedHits;
        for (std::size_t i = 0; i < reference.size(); ++i)
            if (Contains(reference[i].Text, marker)) expectedHits.push_back(i);

        LineReader in(file);
        std::vector<std::int64_t> hits;
        std::int64_t budget = round % 2 ? 1 : INT64_MAX;
        std::string_view line;
        for (;;) {
            auto result = in.ReadLineContaining(marker, line, budget);
            if (result == LineReader::Search::Paused) continue;
            if (result == LineReader::Search::End) break;
            EXPECT_TRUE(Contains(line, marker));
            hits.push_back(in.Position());
        }
        EXPECT_TRUE(in.AtEnd());
        ASSERT_EQ(hits.size(), expectedHits.size()) << "round " << round;
        for (std::size_t h = 0; h < hits.size(); ++h)
            EXPECT_EQ(hits[h], reference[expectedHits[h]].Next);
    }
}

TEST(LineReader, MarkerSplitAcrossBufferLoadsIsFound) {
    constexpr std::size_t kBuffer = LineReader::kReadSize;
    TempDir dir;
    for (std::size_t cut = 1; cut < 8; ++cut) {
        std::string bytes(kBuffer - cut - 3, 'a');
        bytes += "\r\n ";
        bytes += "  TIME =   60\r\nafter\r\n";
        auto file = dir.Write("split.out", bytes);
        LineReader in(file);
        std::string_view line;
        ASSERT_EQ(in.ReadLineContaining("  TIME =", line), LineReader::Search::Found) << cut;
        EXPECT_EQ(line, "   TIME =   60");
        EXPECT_EQ(in.ReadLine(), "after");
    }
}

}  // namespace
}  // namespace vx
