// The buffered line reader against the reading rules written the slow, obvious way:
// every line and position, the marker search (paused and resumed), seeks back to
// recorded positions and past the end, and the first line start from any byte. The fuzzed bytes are
// put behind a filler of a fuzzed length close to 64 KiB, 256 KiB or 1 MiB, as many lines or as one
// unfinished line, so that they fall across the reader's refills and its buffer growth.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Failure.h"
#include "fuzz/FuzzSupport.h"
#include "reader/LineReader.h"

namespace {

struct Line {
    std::string_view Text;
    std::int64_t Start;
    std::int64_t Next;  // after the line and its terminator
};

std::vector<Line> SplitReference(std::string_view bytes) {
    std::vector<Line> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t j = i;
        while (j < bytes.size() && bytes[j] != '\r' && bytes[j] != '\n') ++j;
        Line line{bytes.substr(i, j - i), static_cast<std::int64_t>(i), 0};
        if (j < bytes.size()) {
            if (bytes[j] == '\r' && j + 1 < bytes.size() && bytes[j + 1] == '\n') ++j;
            ++j;
        }
        line.Next = static_cast<std::int64_t>(j);
        lines.push_back(line);
        i = j;
    }
    return lines;
}

// Index of the line that starts at `position` (lines.size() at the end of the file). A
// search that pauses after every few bytes asks this for each pause: a binary search, so
// that a megabyte of short lines stays quick.
std::size_t LineAt(const std::vector<Line>& lines, std::int64_t position) {
    const auto at =
        std::lower_bound(lines.begin(), lines.end(), position,
                         [](const Line& line, std::int64_t p) { return line.Start < p; });
    if (at != lines.end() && at->Start == position)
        return static_cast<std::size_t>(at - lines.begin());
    VX_FUZZ_CHECK(lines.empty() ? position == 0 : position == lines.back().Next);
    return lines.size();
}

bool PastEndFails(vx::LineReader& in) {
    try {
        in.ReadLine();
    } catch (const vx::Failure& failure) {
        return failure.Number() == vx::fail::InputPastEndOfFile;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx;
    static fuzz::MemoryFile file("lines.out");

    FuzzedDataProvider in(data, size);
    const std::size_t base = in.PickValueInArray<std::size_t>({0, 64 << 10, 256 << 10, 1 << 20});
    const std::size_t back = in.ConsumeIntegralInRange<std::size_t>(0, 300);
    const bool oneLongLine = in.ConsumeBool();
    const auto budget = in.ConsumeIntegralInRange<std::int64_t>(1, std::int64_t{3} << 20);
    std::vector<std::uint16_t> seekPicks;
    for (int i = in.ConsumeIntegralInRange<int>(0, 6); i > 0; --i)
        seekPicks.push_back(in.ConsumeIntegral<std::uint16_t>());
    std::string marker = in.ConsumeRandomLengthString(12);
    std::erase_if(marker, [](char c) { return c == '\r' || c == '\n'; });
    if (marker.empty()) marker = "  TIME =";
    const std::string content = in.ConsumeRemainingBytesAsString();

    std::string bytes;
    const std::size_t filler = base > back ? base - back : 0;
    if (oneLongLine) {
        bytes.assign(filler, '.');
    } else {
        while (bytes.size() + 40 < filler) bytes += "   0.10000E+01  -0.20000E+02  filler\r\n";
        bytes.append(filler - bytes.size(), ' ');
    }
    bytes += content;
    // The reading of lines from a file's own bytes: bytes that open as a compressed file
    // would be read as the listing they hold (the reader and extraction targets fuzz that).
    if (CompressionOf(bytes) != Compression::None) bytes.insert(0, " ");
    const auto lines = SplitReference(bytes);
    const auto end = static_cast<std::int64_t>(bytes.size());
    const std::string& path = file.Set(bytes);

    {  // Every line with the position after it.
        LineReader reader(path);
        VX_FUZZ_CHECK(reader.Size() == end);
        for (const auto& line : lines) {
            VX_FUZZ_CHECK(!reader.AtEnd());
            VX_FUZZ_CHECK(reader.ReadLine() == line.Text);
            VX_FUZZ_CHECK(reader.Position() == line.Next);
        }
        VX_FUZZ_CHECK(reader.AtEnd());
        VX_FUZZ_CHECK(PastEndFails(reader));
    }

    {  // The marker search is the line-by-line loop, however often it pauses.
        LineReader reader(path);
        std::size_t next = 0;  // the reference's next unread line
        std::string_view line = "unchanged";
        for (;;) {
            const std::int64_t from = reader.Position();
            VX_FUZZ_CHECK(LineAt(lines, from) == next);
            std::size_t hit = next;
            while (hit < lines.size() && lines[hit].Text.find(marker) == std::string_view::npos)
                ++hit;
            const std::string_view before = line;
            const auto result = reader.ReadLineContaining(marker, line, budget);
            if (result == LineReader::Search::Paused) {
                const std::size_t at = LineAt(lines, reader.Position());
                VX_FUZZ_CHECK(at >= next && at <= hit);
                next = at;
                continue;
            }
            if (result == LineReader::Search::Found) {
                VX_FUZZ_CHECK(hit < lines.size());
                VX_FUZZ_CHECK(line == lines[hit].Text);
                VX_FUZZ_CHECK(reader.Position() == lines[hit].Next);
                next = hit + 1;
                continue;
            }
            VX_FUZZ_CHECK(hit == lines.size());
            VX_FUZZ_CHECK(reader.AtEnd() && reader.Position() == end);
            // As documented: the last line read, or left as it was; never one with the marker.
            VX_FUZZ_CHECK(line == before || (from < end && line == lines.back().Text));
            VX_FUZZ_CHECK(line.find(marker) == std::string_view::npos || line == before);
            break;
        }
    }

    {  // Seeks to recorded positions, backwards and forwards, and past the end.
        LineReader reader(path);
        for (auto pick : seekPicks) {
            const std::size_t i = lines.empty() ? 0 : pick % (lines.size() + 2);
            if (i < lines.size()) {
                reader.Seek(lines[i].Start);
                VX_FUZZ_CHECK(reader.ReadLine() == lines[i].Text);
                VX_FUZZ_CHECK(reader.Position() == lines[i].Next);
            } else {
                // A position beyond the end, as a listing that shrank since its scan gives.
                reader.Seek(end + static_cast<std::int64_t>(i - lines.size()));
                VX_FUZZ_CHECK(reader.AtEnd());
                VX_FUZZ_CHECK(PastEndFails(reader));
            }
        }
    }

    {  // From any byte, the first line start up to a limit, as a piece of the index looks for it.
        LineReader reader(path);
        for (auto pick : seekPicks) {
            const std::int64_t position = pick % (end + 2);
            const std::int64_t before = position + budget % (end + 2);
            const auto first = std::find_if(lines.begin(), lines.end(), [&](const Line& line) {
                return line.Start >= position;
            });
            const bool expected = first != lines.end() && first->Start < before;
            VX_FUZZ_CHECK(reader.SeekToLineStart(position, before) == expected);
            if (expected) {
                VX_FUZZ_CHECK(reader.Position() == first->Start);
                VX_FUZZ_CHECK(reader.ReadLine() == first->Text);
            }
        }
    }
    return 0;
}
