#include "python/PythonHost.h"

#include <utility>

namespace vx::python {

namespace {

// Without a callback nothing but Ctrl+C needs the GIL; a pending signal is looked for
// this often, which is quick enough for a person and costs nothing to the reading.
constexpr std::chrono::milliseconds kSignalCheckInterval{20};

PyObject* g_failedType = nullptr;

}  // namespace

py::str Latin1Text(std::string_view latin1) {
    PyObject* text =
        PyUnicode_DecodeLatin1(latin1.data(), static_cast<Py_ssize_t>(latin1.size()), nullptr);
    if (!text) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

void SetFailedType(py::handle type) {
    g_failedType = type.inc_ref().ptr();
}

void RaiseFailures(const std::vector<Notice>& notices) {
    py::list failures;
    for (const auto& notice : notices)
        failures.append(py::make_tuple(std::string(KindName(notice.Kind)), notice.Number,
                                       Latin1Text(notice.Text),
                                       std::string(IconName(notice.Icon))));
    PyErr_SetObject(g_failedType, py::make_tuple(failures).ptr());
    throw py::error_already_set();
}

PythonHost::PythonHost(py::object progress, int threads)
    : m_progress(std::move(progress)), m_hasCallback(!m_progress.is_none()), m_threads(threads) {}

void PythonHost::UpdateProgress(float sngPercent, std::string_view szText) {
    if (m_raised) return;
    if (!m_hasCallback) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastSignalCheck < kSignalCheckInterval) return;
        m_lastSignalCheck = now;
    }
    py::gil_scoped_acquire gil;
    try {
        // Signal handlers run on the main thread only; elsewhere this returns 0 at once.
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        if (m_hasCallback) m_progress(sngPercent, Latin1Text(szText));
    } catch (py::error_already_set& raised) {
        m_raised.emplace(std::move(raised));
        m_abortRequested = m_stopScan = true;
    }
}

void PythonHost::Run(const std::function<void(Services&)>& work) {
    ReadingOptions reading;
    reading.Threads = m_threads;
    Services services{*this, *this, m_abortRequested, m_stopScan, reading};
    py::gil_scoped_release released;
    work(services);
}

void PythonHost::RaiseIfFailed(const Outcome& outcome) {
    if (m_raised) {
        py::error_already_set raised = std::move(*m_raised);
        m_raised.reset();
        throw raised;
    }
    if (outcome.Failed()) RaiseFailures(outcome.Notices);
}

}  // namespace vx::python
