#pragma once

// What the fuzz targets share: the core reads listings by path, so each input is put
// into an anonymous in-memory file reached through /proc/self/fd; a host that stands in
// for the window; and the checks whose failure is a bug even when nothing crashed.

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "reader/ByteSource.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

namespace vx::fuzz {

// A fault found by a check rather than by a sanitizer: abort so that libFuzzer keeps the
// input as a crash.
#define VX_FUZZ_CHECK(condition)                                                               \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// One in-memory file, rewritten for every input. It is a regular file to the reader,
// exactly as a listing on disk is, without touching the disk.
class MemoryFile {
public:
    explicit MemoryFile(const char* name) : m_fd(::memfd_create(name, MFD_CLOEXEC)) {
        if (m_fd < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }

    // Replaces the contents and returns the path to open.
    const std::string& Set(std::string_view bytes) {
        if (::ftruncate(m_fd, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        return m_path;
    }

    const std::string& Path() const { return m_path; }

private:
    int m_fd;
    std::string m_path;
};

// The window as the core sees it: messages are counted, and a close request can be made
// to arrive after a chosen number of progress reports.
class Host : public NoticeService, public ProgressService {
public:
    void Show(const Notice& notice) override {
        ++MessageCount;
        VX_FUZZ_CHECK(!notice.Text.empty());
    }
    void UpdateProgress(float sngPercent, std::string_view) override {
        // The figure is painted as a bar: it must be a fraction.
        VX_FUZZ_CHECK(sngPercent >= 0.0f && sngPercent <= 1.0f);
        if (AbortAfterReports > 0 && ++m_reports >= AbortAfterReports) AbortRequested = true;
    }

    Services Get() { return Services{*this, *this, AbortRequested}; }

    int MessageCount = 0;
    int AbortAfterReports = 0;  // 0: never
    std::atomic<bool> AbortRequested = false;

private:
    int m_reports = 0;
};

// The bytes of the listing at `path`: the file's, or those its compression holds, up to
// where they end or fail.
inline std::int64_t ListingSize(const std::string& path) {
    std::int64_t size = 0;
    try {
        auto source = OpenByteSource(path);
        static char buffer[1 << 16];
        while (const std::size_t n = source->Read(buffer, sizeof buffer, size))
            size += static_cast<std::int64_t>(n);
    } catch (...) {
    }
    return size;
}

// What every reading must leave in the model, whether it succeeded or not. `fileSize`:
// the listing's bytes (ListingSize).
inline void CheckModel(const OutputFileModel& m, std::int64_t fileSize) {
    VX_FUZZ_CHECK(m.TimeCount >= 0);
    VX_FUZZ_CHECK(static_cast<std::size_t>(m.TimeCount) == m.Times.size());
    std::int64_t previous = 0;
    for (const auto& step : m.Times) {
        // Each position is just after a time line, so they rise strictly and stay in the file.
        VX_FUZZ_CHECK(step.Position > previous);
        VX_FUZZ_CHECK(step.Position <= fileSize);
        previous = step.Position;
    }
    VX_FUZZ_CHECK(static_cast<std::size_t>(m.StressPointCount) == m.StressPoints.size());
    VX_FUZZ_CHECK(static_cast<std::size_t>(m.TangentPointCount) == m.TangentPoints.size());
    VX_FUZZ_CHECK(m.HasBeamStresses == (m.StressPointCount > 0));
    VX_FUZZ_CHECK(m.HasBeamTangentModulus == (m.TangentPointCount > 0));
    VX_FUZZ_CHECK(m.AnalysisType >= AnalysisNone && m.AnalysisType <= AnalysisDynamic);
    if (m.AnalysisType == AnalysisThermal) VX_FUZZ_CHECK(m.HasTemperatures == (m.TimeCount > 0));
}

}  // namespace vx::fuzz
