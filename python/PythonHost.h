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

// Stands in for the window while the core runs with the GIL released: keeps every
// message the core shows, and in each progress report takes the GIL just long enough
// to run the signal handlers and the progress callback. An exception from either ends
// the run as closing the window does, a scan at that report and an extraction before its
// next step, and is raised once the core has returned.
class PythonHost : public MessageBoxService, public ProgressService {
public:
    // `progress`: None, or a callable taking (fraction, text); `threads`: the reading's
    // threads (ReadingOptions::Threads).
    PythonHost(py::object progress, int threads);

    MsgAnswer MsgBox(std::string_view prompt, MsgButtons buttons, MsgIcon icon) override;
    void UpdateProgress(float sngPercent, std::string_view szText) override;

    // Runs `work` with the GIL released; what the core showed and what Python raised
    // meanwhile stay here. The GIL must be held on entry.
    void Run(const std::function<void(Services&)>& work);

    // With the GIL held: raises the exception that ended the run, if any; else, when the
    // core showed messages, the module's Shown(messages, stage).
    void RaiseIfShown(const char* stage);

private:
    py::object m_progress;
    bool m_hasCallback;
    std::atomic<bool> m_abortRequested = false;
    bool m_stopScan = false;
    int m_threads;
    std::vector<RecordedMessage> m_messages;
    std::optional<py::error_already_set> m_raised;
    std::chrono::steady_clock::time_point m_lastSignalCheck{};
};

// The listing's Latin-1 bytes as a Python string.
py::str Latin1Text(std::string_view latin1);

// Raises the module's Shown exception with these messages (GIL held); set up once by
// the module with SetShownType.
[[noreturn]] void RaiseShown(const std::vector<RecordedMessage>& messages, const char* stage);
void SetShownType(py::handle type);

}  // namespace vx::python
