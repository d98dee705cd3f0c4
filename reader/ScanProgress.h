#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "reader/LineReader.h"
#include "reader/Services.h"

namespace vx {

// Thrown from a progress report of a scan that was told to stop (Services::StopScan);
// ReadOutputFile ends the reading there without a message.
struct ScanStopped {};

// Thins out the progress reports of a scan. A report costs a repaint and a run of the
// window's pending events, far more than reading a line, so a scan reports when the
// position has moved on by a quarter of a percent of the file (finer than the figure,
// and about a pixel of the bar), when the status text changes, or when 30 ms have
// passed: the figure moves smoothly and the window stays responsive.
class ScanProgress {
public:
    ScanProgress(ProgressService& progress, std::int64_t size, const bool& stop = kNeverStop)
        : m_progress(progress),
          m_stop(stop),
          m_size(size),
          m_step(size / 400 > 0 ? size / 400 : 1) {}
    // The progress of reading `in`: through a compressed file, by its compressed bytes.
    ScanProgress(ProgressService& progress, const LineReader& in, const bool& stop = kNeverStop)
        : ScanProgress(progress, in.Size(), stop) {
        m_in = &in;
    }

    void Report(std::int64_t position, std::string_view text) {
        m_next = position + m_step;
        m_text = text;
        m_calls = 0;
        m_last = std::chrono::steady_clock::now();
        double fraction = m_in         ? m_in->Fraction(position)
                          : m_size > 0 ? static_cast<double>(position) / static_cast<double>(m_size)
                                       : 0.0;
        m_progress.UpdateProgress(static_cast<float>(fraction), text);
        // The window runs its pending events inside the report: a close among them
        // ends the scan here, at most 30 ms after it was asked for.
        if (m_stop) throw ScanStopped{};
    }

    void Tick(std::int64_t position, std::string_view text) {
        if (position >= m_next || text.data() != m_text.data()) {
            Report(position, text);
        } else if (++m_calls >= kCallsPerClockCheck) {
            m_calls = 0;
            if (std::chrono::steady_clock::now() - m_last >= kMaxQuiet) Report(position, text);
        }
    }

    // The same at a pause of a long search (about every kSearchBudget bytes), which comes
    // seldom enough to look at the clock each time: on a slow disk or network drive the
    // bytes between two reports by position can take seconds to arrive.
    void Pause(std::int64_t position, std::string_view text) {
        if (position >= m_next || text.data() != m_text.data() ||
            std::chrono::steady_clock::now() - m_last >= kMaxQuiet)
            Report(position, text);
    }

private:
    static constexpr int kCallsPerClockCheck = 256;
    static constexpr std::chrono::milliseconds kMaxQuiet{30};

    ProgressService& m_progress;
    const bool& m_stop;
    const LineReader* m_in = nullptr;
    std::int64_t m_size;
    std::int64_t m_step;
    std::int64_t m_next = 0;
    std::string_view m_text;
    int m_calls = 0;
    std::chrono::steady_clock::time_point m_last{};
};

// How far a marker search may run before it pauses so that progress can be reported.
inline constexpr std::int64_t kSearchBudget = std::int64_t{1} << 20;

}  // namespace vx
