#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "common/Outcome.h"
#include "reader/VectorLevel.h"

// What the core needs from whoever hosts it: the window, the command-line tool, or a
// test. Each is a small interface so that each host supplies its own.
namespace vx {

inline constexpr std::string_view AppTitle = "VoraxExtract";

// Where the core's failures are shown the moment they arise: the window shows each in a
// message box (the box is modal, so the operation waits for it), the command-line tool
// prints it. What the operation returns (Outcome) holds the same failures: doors decide
// by that, never by what they were shown.
class NoticeService {
public:
    virtual ~NoticeService() = default;
    virtual void Show(const Notice& notice) = 0;
};

// The one progress report of every long operation: the fraction done (0 to 1) and the
// status text. The host paints it and then lets pending window events run, so the
// window's state (and the abort flag below) may have changed when it returns.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual void UpdateProgress(float sngPercent, std::string_view szText) = 0;
};

inline constexpr bool kNeverStop = false;

// How a reading shares out its work. The defaults suit every host; the tests and the
// bench choose others, to reach each way the work can go.
struct ReadingOptions {
    // Threads of the scan's time index and of an extraction: 0 is one per processor (at
    // most four), 1 the calling thread alone.
    int Threads = 0;
    // The size of the pieces of the file those threads take when they make the time index.
    std::int64_t TimeIndexPieceBytes = std::int64_t{4} << 20;
    // The widest vector instructions the byte searches may use; never wider than the
    // processor has.
    int VectorLevel = kAvx512Vectors;
    // The steps a reduction (peaks) reads at a time: 0 as many as a few MB of values hold.
    std::int32_t ReductionBatchSteps = 0;
    // The values a step must give for other threads to read steps while one reading's scan
    // goes on (ListingPass): 0 for a few thousand. Fewer are read on the scan's thread.
    std::size_t HelperValues = 0;
};

// How many threads the scan's time index and an extraction use: options.Threads, or one
// per processor (at most four) when that is 0.
inline int ReadingThreads(const ReadingOptions& options) {
    if (options.Threads > 0) return options.Threads;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// The services a reading or export call gets. `AbortRequested` is the window's flag:
// set when the user confirms closing during an export, tested before each time step.
// A reading may run on a thread of its own while another thread asks it to stop, so
// that flag is atomic. `StopScan` is set when the window goes away while a listing is
// read: the scan looks at it after each progress report (where the close arrives) and
// stops there, quietly. Hosts that never stop a scan leave it out.
struct Services {
    NoticeService& Notices;
    ProgressService& Progress;
    const std::atomic<bool>& AbortRequested;
    const bool& StopScan = kNeverStop;
    ReadingOptions Reading = {};

    // Shows a failure and records it in what the operation returns.
    void Report(Outcome& outcome, Notice notice) {
        Notices.Show(notice);
        outcome.Notices.push_back(std::move(notice));
    }
};

}  // namespace vx
