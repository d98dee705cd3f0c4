#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "reader/Services.h"

namespace vx::python {

namespace py = pybind11;

// Stands in for the window while the core runs with the GIL released: in each progress
// report it takes the GIL just long enough to run the signal handlers and the progress
// callback. An exception from either ends the run as closing the window does, a scan at
// that report and an extraction before its next step, and is raised once the core has
// returned. The core's failures come back in its outcome; nothing is shown meanwhile.
class PythonHost : public NoticeService, public ProgressService {
public:
    // `progress`: None, or a callable taking (fraction, text); `threads`: the reading's
    // threads (ReadingOptions::Threads).
    PythonHost(py::object progress, int threads);

    void Show(const Notice&) override {}
    void UpdateProgress(float sngPercent, std::string_view szText) override;

    // Runs `work` with the GIL released; what Python raised meanwhile stays here. The GIL
    // must be held on entry.
    void Run(const std::function<void(Services&)>& work);

    // With the GIL held: raises the exception that ended the run, if any; else, when the
    // outcome reports failures, the module's Failed(notices).
    void RaiseIfFailed(const Outcome& outcome);

private:
    py::object m_progress;
    bool m_hasCallback;
    std::atomic<bool> m_abortRequested = false;
    bool m_stopScan = false;
    int m_threads;
    std::optional<py::error_already_set> m_raised;
    std::chrono::steady_clock::time_point m_lastSignalCheck{};
};

// The listing's Latin-1 bytes as a Python string.
py::str Latin1Text(std::string_view latin1);

// Raises the module's Failed exception with these failures (GIL held), each a tuple
// (kind name, number, text, icon name); set up once by the module with SetFailedType.
[[noreturn]] void RaiseFailures(const std::vector<Notice>& notices);
void SetFailedType(py::handle type);

}  // namespace vx::python
