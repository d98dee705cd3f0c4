#include "reader/StepReading.h"

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
#include "reader/Reader.h"

namespace vx {

namespace {

std::atomic<int> g_threads{0};

int ThreadCount(std::int32_t columns) {
    int count = g_threads.load();
    if (count <= 0) {
        const unsigned processors = std::thread::hardware_concurrency();
        count = static_cast<int>(std::clamp(processors, 1u, 4u));
    }
    return std::min<std::int32_t>(count, columns);
}

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

struct Outcome {
    bool Done = false;
    bool Reported = false;
    std::exception_ptr Failure;
};

// The worker threads and what they share. Workers take runs of columns in increasing
// order and stop after the last column wanted, which drops to the first column that
// failed, or to 0 when the reading ends.
class Crew {
public:
    Crew(std::int32_t columns, const std::function<void(ColumnReading&, std::int32_t)>& readColumn)
        : m_outcomes(static_cast<std::size_t>(columns) + 1), m_last(columns), m_readColumn(readColumn) {}

    ~Crew() { Stop(); }

    // Starts up to `count` workers; false when not even one could be started.
    bool Start(int count, LineReader& first, const std::string& path) {
        // Runs of neighbouring columns, so that a worker reading steps in file order finds
        // the next step in the block it has just read; short enough to share the work.
        m_batch = std::clamp<std::int32_t>(m_last.load() / (8 * count), 1, 16);
        try {
            m_threads.emplace_back([this, &first] { Work(first); });
            for (int i = 1; i < count; ++i) {
                m_threads.emplace_back([this, &path] {
                    std::optional<LineReader> in;
                    try {
                        in.emplace(path);
                    } catch (...) {
                        return;  // the others read this worker's share
                    }
                    Work(*in);
                });
            }
        } catch (const std::system_error&) {
            // As many workers as the system gives.
        }
        return !m_threads.empty();
    }

    Outcome Wait(std::int32_t t) {
        std::unique_lock lock(m_mutex);
        auto& outcome = m_outcomes[static_cast<std::size_t>(t)];
        m_changed.wait(lock, [&] { return outcome.Done; });
        return outcome;
    }

    void Stop() {
        m_last.store(0);
        for (auto& thread : m_threads)
            if (thread.joinable()) thread.join();
    }

private:
    void Work(LineReader& in) {
        ColumnReading reading(in);
        for (;;) {
            const std::int32_t first = m_next.fetch_add(m_batch);
            for (std::int32_t t = first; t < first + m_batch; ++t) {
                if (t > m_last.load()) return;
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
                    m_outcomes[static_cast<std::size_t>(t)] = Outcome{true, reading.Reported, failure};
                }
                m_changed.notify_all();
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Outcome> m_outcomes;  // by column
    std::atomic<std::int32_t> m_next{1};
    std::atomic<std::int32_t> m_last;
    std::int32_t m_batch = 1;
    const std::function<void(ColumnReading&, std::int32_t)>& m_readColumn;
    std::vector<std::thread> m_threads;
};

}  // namespace

void SetExtractionThreads(int count) { g_threads.store(count); }

void ReadColumns(LineReader& first, const std::string& path, std::int32_t columns,
                 std::string_view caption, Services& services, ValueTable& table,
                 const std::function<void(ColumnReading&, std::int32_t)>& readColumn) {
    const int threads = ThreadCount(columns);
    if (threads <= 1) {
        ReadInLine(first, columns, caption, services, readColumn);
        return;
    }
    Crew crew(columns, readColumn);
    if (!crew.Start(threads, first, path)) {
        ReadInLine(first, columns, caption, services, readColumn);
        return;
    }
    std::int32_t end = columns + 1;  // the first column the reading does not keep
    std::int32_t t = 1;
    std::exception_ptr failure;
    try {
        for (; t <= columns; ++t) {
            if (services.AbortRequested) {
                end = t;
                break;
            }
            const Outcome outcome = crew.Wait(t);
            if (outcome.Reported) Report(services, t, columns, caption);
            if (outcome.Failure) {
                failure = outcome.Failure;
                end = t + 1;
                break;
            }
        }
    } catch (...) {
        // The host's own failure, from a progress report: the column under way is complete.
        failure = std::current_exception();
        end = t + 1;
    }
    crew.Stop();
    for (std::int32_t column = end; column <= columns; ++column) table.ClearColumn(column);
    if (failure) std::rethrow_exception(failure);
}

std::int32_t PrepareTable(ValueTable& table, std::int32_t records, const ExtractionRequest& request) {
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

void ReportingFailures(Services& services, const std::function<void()>& read) {
    try {
        read();
    } catch (const Failure& failure) {
        services.Messages.MsgBox(FailureText(failure.Number(), failure.Description()), MsgButtons::Ok,
                                 MsgIcon::None);
    } catch (const std::bad_alloc&) {
        Failure failure(fail::OutOfMemory);
        services.Messages.MsgBox(FailureText(failure.Number(), failure.Description()), MsgButtons::Ok,
                                 MsgIcon::None);
    }
}

}  // namespace vx
