#include "extraction/StepReading.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "common/Failure.h"

namespace vx {

namespace {

void Report(Services& services, std::int32_t t, std::int32_t columns, std::string_view caption) {
    services.Progress.UpdateProgress(
        static_cast<float>(static_cast<double>(t) / static_cast<double>(columns)), caption);
}

// Every column on the calling thread.
void ReadInLine(LineReader& in, std::int32_t columns, std::string_view caption, Services& services,
                const std::function<void(ColumnReading&, std::int32_t)>& readColumn) {
    ColumnReading reading(in);
    for (std::int32_t t = 1; t <= columns; ++t) {
        if (services.AbortRequested) return;
        reading.Reported = false;
        try {
            readColumn(reading, t);
        } catch (...) {
            if (reading.Reported) Report(services, t, columns, caption);
            throw;
        }
        Report(services, t, columns, caption);
    }
}

struct ColumnOutcome {
    bool Done = false;
    bool Reported = false;
    std::exception_ptr Failure;
};

// The threads that read columns and what they share: the calling thread and helpers,
// each taking runs of columns in increasing order and stopping after the last column
// wanted, which drops to the first column that failed, or to 0 when the reading ends.
class Crew {
public:
    Crew(std::int32_t columns, const std::function<void(ColumnReading&, std::int32_t)>& readColumn)
        : m_outcomes(static_cast<std::size_t>(columns) + 1),
          m_last(columns),
          m_readColumn(readColumn) {}

    ~Crew() { Stop(); }

    // Starts up to `count` helpers, each with a line reader of its own on `path`.
    void Start(int count, const std::string& path, int vectorLevel) {
        // Runs of neighbouring columns, so that a thread reading steps in file order finds
        // the next step in the block it has just read; short enough to share the work.
        m_batch = std::clamp<std::int32_t>(m_last.load() / (8 * (count + 1)), 1, 16);
        try {
            for (int i = 0; i < count; ++i) {
                m_threads.emplace_back([this, &path, vectorLevel] {
                    std::optional<LineReader> in;
                    try {
                        in.emplace(path, vectorLevel);
                    } catch (...) {
                        return;  // the others read this helper's share
                    }
                    ColumnReading reading(*in);
                    Cursor cursor;
                    while (ReadNext(reading, cursor)) {
                    }
                });
            }
        } catch (const std::system_error&) {
            // As many helpers as the system gives.
        }
    }

    // Where a thread stands in its run of columns.
    struct Cursor {
        std::int32_t Next = 1;
        std::int32_t End = 1;  // one past the run
    };

    // Reads the next column of the thread's run, taking a new run when it is done.
    // False when no column is left to read.
    bool ReadNext(ColumnReading& reading, Cursor& cursor) {
        if (cursor.Next == cursor.End) {
            cursor.Next = m_next.fetch_add(m_batch);
            cursor.End = cursor.Next + m_batch;
        }
        const std::int32_t t = cursor.Next++;
        if (t > m_last.load()) return false;
        reading.Reported = false;
        std::exception_ptr failure;
        try {
            m_readColumn(reading, t);
        } catch (...) {
            failure = std::current_exception();
            std::int32_t last = m_last.load();
            while (t < last && !m_last.compare_exchange_weak(last, t)) {
            }
        }
        {
            std::lock_guard lock(m_mutex);
            m_outcomes[static_cast<std::size_t>(t)] =
                ColumnOutcome{true, reading.Reported, failure};
            if (!m_waiting) return true;
        }
        m_changed.notify_all();
        return true;
    }

    // The outcome of column t: waits for it when `wait` is set, else is empty while the
    // column is still being read.
    std::optional<ColumnOutcome> Get(std::int32_t t, bool wait) {
        std::unique_lock lock(m_mutex);
        auto& outcome = m_outcomes[static_cast<std::size_t>(t)];
        if (!outcome.Done && !wait) return std::nullopt;
        m_waiting = true;
        m_changed.wait(lock, [&] { return outcome.Done; });
        m_waiting = false;
        return outcome;
    }

    void Stop() {
        m_last.store(0);
        for (auto& thread : m_threads)
            if (thread.joinable()) thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<ColumnOutcome> m_outcomes;  // by column
    bool m_waiting = false;                 // the calling thread waits for an outcome
    std::atomic<std::int32_t> m_next{1};
    std::atomic<std::int32_t> m_last;
    std::int32_t m_batch = 1;
    const std::function<void(ColumnReading&, std::int32_t)>& m_readColumn;
    std::vector<std::thread> m_threads;
};

}  // namespace

void ReadColumns(LineReader& first, const std::string& path, std::int32_t columns,
                 std::string_view caption, Services& services, ValueTable& table,
                 const std::function<void(ColumnReading&, std::int32_t)>& readColumn) {
    ReadColumns(first, path, columns, caption, services, readColumn,
                [&table](std::int32_t column) { table.ClearColumn(column); });
}

void ReadColumns(LineReader& first, const std::string& path, std::int32_t columns,
                 std::string_view caption, Services& services,
                 const std::function<void(ColumnReading&, std::int32_t)>& readColumn,
                 const std::function<void(std::int32_t)>& clearColumn) {
    // A listing that may have to be decompressed from its start for each seek is read by
    // one thread: others would each decompress it again.
    const int threads =
        first.CanSeek() ? std::min<std::int32_t>(ReadingThreads(services.Reading), columns) : 1;
    if (threads <= 1) {
        ReadInLine(first, columns, caption, services, readColumn);
        return;
    }
    Crew crew(columns, readColumn);
    crew.Start(threads - 1, path, first.VectorLevel());
    ColumnReading reading(first);
    Crew::Cursor cursor;
    bool ownColumns = true;          // the calling thread still has columns to read
    std::int32_t end = columns + 1;  // the first column the reading does not keep
    std::int32_t t = 1;
    std::exception_ptr failure;
    try {
        // Between its own columns the calling thread hands over, in column order, every
        // outcome there is; once it has none left to read it waits for the rest.
        while (t <= columns && !failure && end > columns) {
            if (ownColumns) ownColumns = crew.ReadNext(reading, cursor);
            for (; t <= columns; ++t) {
                if (services.AbortRequested) {
                    end = t;
                    break;
                }
                const std::optional<ColumnOutcome> outcome = crew.Get(t, !ownColumns);
                if (!outcome) break;
                if (outcome->Reported) Report(services, t, columns, caption);
                if (outcome->Failure) {
                    failure = outcome->Failure;
                    end = t + 1;
                    break;
                }
            }
        }
    } catch (...) {
        // The host's own failure, from a progress report: the column under way is complete.
        failure = std::current_exception();
        end = t + 1;
    }
    crew.Stop();
    for (std::int32_t column = end; column <= columns; ++column) clearColumn(column);
    if (failure) std::rethrow_exception(failure);
}

void SeekToColumnStep(LineReader& in, const OutputFileModel& model,
                      const ExtractionRequest& request, std::int32_t t) {
    const std::int16_t step = request.SelectedTimes[static_cast<std::size_t>(t - 1)];
    if (step < 1 || step > static_cast<std::int32_t>(model.Times.size()))
        Raise(fail::SubscriptOutOfRange);
    in.Seek(model.Times[static_cast<std::size_t>(step - 1)].Position);
}

std::int32_t PrepareTable(ValueTable& table, std::int32_t records,
                          const ExtractionRequest& request) {
    if (request.SelectedTimes.size() > static_cast<std::size_t>(INT16_MAX)) Raise(fail::Overflow);
    const auto timeCount = static_cast<std::int32_t>(request.SelectedTimes.size());
    if (records < 1 || timeCount < 1) Raise(fail::SubscriptOutOfRange);
    const std::int32_t rows = std::min<std::int32_t>(records, INT16_MAX);
    if (request.Vectors.empty())
        table.Resize(rows, timeCount);
    else
        table.Resize(rows, timeCount, request.Vectors);
    return timeCount;
}

Notice ReadingNotice(const Failure& failure) {
    return {ReadingFailureKind(failure, FailureKind::MissingBlock), failure.Number(),
            FailureText(failure.Number(), failure.Description()), MsgIcon::None};
}

std::optional<Notice> ReadingNotice(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const Failure& f) {
        return ReadingNotice(f);
    } catch (const std::bad_alloc&) {
        return ReadingNotice(Failure(fail::OutOfMemory));
    } catch (...) {
        return std::nullopt;
    }
}

Outcome ReportingFailures(Services& services, const std::function<void()>& read) {
    Outcome outcome;
    try {
        read();
    } catch (const Failure& failure) {
        services.Report(outcome, ReadingNotice(failure));
    } catch (const std::bad_alloc&) {
        services.Report(outcome, ReadingNotice(Failure(fail::OutOfMemory)));
    }
    outcome.Stopped = services.AbortRequested;
    return outcome;
}

}  // namespace vx
