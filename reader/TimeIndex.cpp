#include "reader/TimeIndex.h"

#include <atomic>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "common/Failure.h"
#include "reader/Markers.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

constexpr std::string_view kReadingTimes = "Reading times...";

TimeStep StepOf(std::string_view line, std::int64_t position, WordList& words) {
    SplitWords(line, words, 3);
    TimeStep step;
    step.Position = position;
    step.Time = RoundToSingle(NumericPrefix(WordAt(words, 2)));
    return step;
}

// Appends `step`, counting it with the 16-bit step counter that starts at 1.
void Append(std::vector<TimeStep>& times, const TimeStep& step) {
    times.push_back(step);
    if (times.size() + 1 > static_cast<std::size_t>(INT16_MAX)) Raise(fail::Overflow);
}

void IndexInOrder(LineReader& in, std::vector<TimeStep>& times, ScanProgress& progress,
                  const StepsFound& found) {
    WordList words;
    std::string_view line;
    while (!in.AtEnd()) {
        LineReader::Search search;
        while ((search = in.ReadLineContaining(marker::TimeLine, line, kSearchBudget)) ==
               LineReader::Search::Paused)
            progress.Pause(in.Position(), kReadingTimes);
        if (search == LineReader::Search::Found) {
            Append(times, StepOf(line, in.Position(), words));
            if (found) found(times);
        }
        progress.Tick(in.Position(), kReadingTimes);
    }
}

// One stretch of the file: the steps of the time lines that start in it, in file order,
// and the failure that ended its reading.
struct Piece {
    bool Read = false;
    std::vector<TimeStep> Steps;
    std::exception_ptr Failure;
};

// The time lines that start before `end`, from the reader's position (a line start).
// With `progress`, the search pauses every kSearchBudget bytes to report; a failure of
// the report itself (the host's) is passed on as it is, with `reporting` set.
void IndexPiece(LineReader& in, std::int64_t end, std::vector<TimeStep>& steps, WordList& words,
                ScanProgress* progress, bool& reporting) {
    std::string_view line;
    while (in.Position() < end) {
        std::int64_t budget = end - in.Position();
        if (progress) budget = std::min(budget, kSearchBudget);
        const LineReader::Search found = in.ReadLineContaining(marker::TimeLine, line, budget);
        if (found == LineReader::Search::End) return;
        if (found == LineReader::Search::Paused && progress) {
            reporting = true;
            progress->Pause(in.Position(), kReadingTimes);
            reporting = false;
        }
        if (found == LineReader::Search::Found) {
            if (in.LineStart() >= end) return;  // the next piece's line
            steps.push_back(StepOf(line, in.Position(), words));
        }
    }
}

// The same index, the file cut into pieces that the calling thread and `threads` - 1
// others take in file order (so that a disk still sees one reading from front to back).
// Each line belongs to the piece it starts in. The pieces are put together in order, so
// the steps, the step counter and the failure that ends the scan are those of reading
// the file from front to back; the calling thread reports progress as its pieces end.
void IndexInPieces(LineReader& in, const std::string& path, int threads, std::int64_t pieceBytes,
                   std::vector<TimeStep>& times, ScanProgress& progress) {
    const std::int64_t start = in.Position();
    const std::int64_t size = in.Size();
    const std::int64_t count = (size - start + pieceBytes - 1) / pieceBytes;
    std::vector<Piece> pieces(static_cast<std::size_t>(count));
    std::atomic<std::int64_t> next{0};
    // Pieces from `wanted` on are not read: one before them failed, or the steps found
    // so far overflow the step counter whatever the rest holds. (A piece passed over
    // that the outcome turns out to need is read when the pieces are put together.)
    std::atomic<std::int64_t> wanted{count};
    std::atomic<std::int64_t> found{0};
    auto bounds = [&](std::int64_t i) {
        const std::int64_t begin = start + i * pieceBytes;
        return std::pair{begin, std::min(size, begin + pieceBytes)};
    };

    // Reads piece i; a failure is kept with the steps found before it.
    auto readPiece = [&](LineReader& reader, std::int64_t i, WordList& words,
                         ScanProgress* reports) {
        Piece& piece = pieces[static_cast<std::size_t>(i)];
        const auto [begin, end] = bounds(i);
        piece.Read = true;
        bool reporting = false;
        try {
            if (reader.SeekToLineStart(begin, end))
                IndexPiece(reader, end, piece.Steps, words, reports, reporting);
        } catch (...) {
            if (reporting) throw;
            piece.Failure = std::current_exception();
        }
        return end;
    };
    auto read = [&](LineReader& reader, bool reports) {
        WordList words;
        for (;;) {
            const std::int64_t i = next.fetch_add(1);
            if (i >= wanted.load()) return;
            const std::int64_t end = readPiece(reader, i, words, reports ? &progress : nullptr);
            const Piece& piece = pieces[static_cast<std::size_t>(i)];
            const auto steps = static_cast<std::int64_t>(piece.Steps.size());
            if (piece.Failure) {
                std::int64_t last = wanted.load();
                while (i + 1 < last && !wanted.compare_exchange_weak(last, i + 1)) {
                }
            } else if (found.fetch_add(steps) + steps >= INT16_MAX) {
                wanted.store(0);
            }
            if (reports) progress.Tick(end, kReadingTimes);
        }
    };

    std::vector<std::thread> helpers;
    try {
        for (int t = 1; t < threads; ++t) {
            helpers.emplace_back([&] {
                std::optional<LineReader> reader;
                try {
                    reader.emplace(path, in.VectorLevel());
                } catch (...) {
                    return;  // the others read this thread's share
                }
                read(*reader, false);
            });
        }
    } catch (const std::system_error&) {
        // As many helpers as the system gives.
    }
    try {
        read(in, true);
    } catch (...) {
        // The host's own failure, from a progress report.
        wanted.store(0);
        for (auto& helper : helpers) helper.join();
        throw;
    }
    for (auto& helper : helpers) helper.join();

    WordList words;
    for (std::int64_t i = 0; i < count; ++i) {
        const Piece& piece = pieces[static_cast<std::size_t>(i)];
        if (!piece.Read) readPiece(in, i, words, nullptr);
        for (const TimeStep& step : piece.Steps) Append(times, step);
        if (piece.Failure) std::rethrow_exception(piece.Failure);
    }
    in.Seek(size);
}

}  // namespace

void IndexTimeSteps(LineReader& in, OutputFileModel& model, ScanProgress& progress,
                    const ReadingOptions& options, const StepsFound& found) {
    std::vector<TimeStep> times;
    const int threads = ReadingThreads(options);
    const std::int64_t pieceBytes = options.TimeIndexPieceBytes > 0
                                        ? options.TimeIndexPieceBytes
                                        : ReadingOptions{}.TimeIndexPieceBytes;
    // Pieces only of a file read as it is: a compressed one is decompressed in order.
    if (!found && threads > 1 && in.Compressed() == Compression::None &&
        in.Size() - in.Position() > 2 * pieceBytes)
        IndexInPieces(in, model.FilePath, threads, pieceBytes, times, progress);
    else
        IndexInOrder(in, times, progress, found);
    progress.Tick(in.Position(), kReadingTimes);
    model.TimeCount = static_cast<std::int16_t>(times.size());
    model.Times = std::move(times);
    model.Mark.Size = in.Position();
}

void ResumeTimeIndex(LineReader& in, OutputFileModel& model, ScanProgress& progress) {
    std::vector<TimeStep> times = std::move(model.Times);
    const std::int64_t from = in.Position();
    // The steps whose time line starts where the reading goes on are found again.
    while (!times.empty() && times.back().Position > from) times.pop_back();
    IndexInOrder(in, times, progress, {});
    progress.Tick(in.Position(), kReadingTimes);
    model.TimeCount = static_cast<std::int16_t>(times.size());
    model.Times = std::move(times);
    model.Mark.Size = in.Position();
}

}  // namespace vx
