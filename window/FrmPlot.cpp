#include "window/FrmPlot.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

#include "common/Failure.h"
#include "common/Text.h"
#include "extraction/Extraction.h"
#include "extraction/ValueTable.h"
#include "window/Progress.h"

namespace vx {

namespace {
constexpr int kReadingNiceness = 5;
}  // namespace

// One reading of a plot's values, on a thread of its own with its own model, request
// and value table. The extraction's failures, which would be boxes in the window, become
// the failure that the plot's line shows; its progress and its outcome go to the
// window's thread through the scheduler, tagged with the reading's ticket.
class FrmPlot::Reading : private NoticeService, private ProgressService {
public:
    Reading(FrmPlot& owner, std::uint64_t ticket, PlotRequest request)
        : m_owner(owner), m_ticket(ticket), m_request(std::move(request)) {
        m_thread = std::thread([this] { Run(); });
    }
    ~Reading() {
        Stop();
        Join();
    }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

    std::uint64_t Ticket() const { return m_ticket; }
    void Stop() { m_stop = true; }
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    void Run() {
#if defined(__linux__)
        // The reading takes every processor it can; the window's thread must still get
        // one the moment an event comes. On Linux the niceness is the thread's own, and
        // the helper threads of the reading inherit it.
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kReadingNiceness);
#endif
        std::shared_ptr<const PlotData> plot;
        std::string failure;
        try {
            Services services{*this, *this, m_stop};
            ValueTable table;
            const Outcome outcome =
                ExtractValues(m_request.Model, m_request.Request, table, services);
            if (outcome.Failed())
                failure = Latin1ToUtf8(outcome.Notices.front().Text);
            else if (!outcome.Stopped)
                plot = std::make_shared<const PlotData>(
                    BuildPlot(m_request.Model, m_request.Request, table));
        } catch (const Failure& f) {
            failure = f.Description();
        } catch (const std::bad_alloc&) {
            failure = std::string(DescribeFailure(fail::OutOfMemory));
        } catch (...) {
            failure = "an unexpected failure";
        }
        const bool stopped = m_stop;
        // The last thing this thread does: the window's thread joins it on receipt.
        m_owner.m_tasks.Post([owner = &m_owner, ticket = m_ticket, plot, failure, stopped] {
            owner->ReadingEnded(ticket, plot, failure, stopped);
        });
    }

    // What the plot shows of a failure is the outcome's; no box is shown.
    void Show(const Notice&) override {}

    // Only a change of the figure or the text is worth a trip to the window's thread.
    void UpdateProgress(float sngPercent, std::string_view szText) override {
        const int figure = ProgressFigure(sngPercent);
        if (figure == m_lastFigure && szText == m_lastText) return;
        m_lastFigure = figure;
        m_lastText = std::string(szText);
        m_owner.m_tasks.Post(
            [owner = &m_owner, ticket = m_ticket, sngPercent, text = Latin1ToUtf8(szText)] {
                owner->ReadingProgress(ticket, sngPercent, text);
            });
    }

    FrmPlot& m_owner;
    const std::uint64_t m_ticket;
    const PlotRequest m_request;
    std::atomic<bool> m_stop = false;
    int m_lastFigure = -1;
    std::string m_lastText;
    std::thread m_thread;  // last: it starts once everything it uses is there
};

FrmPlot::FrmPlot(PlotRequestSource source, Scheduler& tasks, PlotWindowHost& host)
    : Caption("VoraxExtract Plot"), m_source(std::move(source)), m_tasks(tasks), m_host(host) {
    chkEveryLine.SetText("Show every &line");
    chkEveryLine.SetEnabled(false);
    chkEveryLine.SetVisible(false);
}

FrmPlot::~FrmPlot() {
    StopReadings();
    m_readings.clear();
}

void FrmPlot::Show() {
    m_visible = true;
    // Pressing Plot again after a failed reading tries again.
    if (m_state == State::Empty) m_wanted.reset();
    m_host.ShowPlotWindow();
    Update();
    m_host.PlotChanged();
}

void FrmPlot::RequestChanged() {
    if (!m_visible) return;
    m_tasks.RunAfterPause(kPlotPauseMs, [this] {
        Update();
        m_host.PlotChanged();
    });
}

void FrmPlot::chkEveryLine_Click(bool checked) {
    chkEveryLine.Value = checked;
    ShowState();
    m_host.PlotChanged();
}

void FrmPlot::Form_Unload() {
    if (!m_visible) return;
    m_visible = false;
    // A reading stopped halfway shows nothing: the next Plot reads again.
    if (m_state == State::Reading) {
        StopReadings();
        m_wanted.reset();
        m_plot.reset();
        m_state = State::Empty;
        ShowState();
    }
}

void FrmPlot::Close() {
    if (m_visible) m_host.ClosePlotWindow();
    Form_Unload();
}

void FrmPlot::WaitForReadings() {
    for (auto& reading : m_readings) reading->Join();
}

void FrmPlot::Update() {
    if (!m_visible) return;
    PlotRequest request;
    std::string reason;
    switch (m_source(request, reason)) {
        case PlotChoices::Busy:
            return;
        case PlotChoices::Refused:
            ShowEmpty("Nothing to plot: " + reason + ".");
            m_wanted.reset();
            return;
        case PlotChoices::Ready:
            break;
    }
    if (m_wanted && *m_wanted == request) return;  // shown, or being read
    Start(std::move(request));
}

void FrmPlot::ShowEmpty(std::string reason) {
    StopReadings();
    m_plot.reset();
    m_state = State::Empty;
    lblState.SetText(std::move(reason));
    chkEveryLine.SetEnabled(false);
    chkEveryLine.SetVisible(false);
}

void FrmPlot::Start(PlotRequest request) {
    StopReadings();
    m_state = State::Reading;
    lblState.SetText("Reading " + request.Request.Variable + "...");
    m_wanted = request;
    m_readings.push_back(std::make_unique<Reading>(*this, ++m_ticket, std::move(request)));
}

void FrmPlot::StopReadings() {
    // Their outcomes come later and are dropped; the newest ticket moves on so that
    // even a reading that finished just now is not taken.
    for (auto& reading : m_readings) reading->Stop();
    ++m_ticket;
}

void FrmPlot::ReadingProgress(std::uint64_t ticket, float fraction, const std::string& text) {
    if (ticket != m_ticket || m_state != State::Reading) return;
    lblState.SetText(text + " " + ProgressText(fraction));
    m_host.PlotChanged();
}

void FrmPlot::ReadingEnded(std::uint64_t ticket, std::shared_ptr<const PlotData> plot,
                           const std::string& failure, bool stopped) {
    auto it = std::find_if(m_readings.begin(), m_readings.end(),
                           [&](const auto& r) { return r->Ticket() == ticket; });
    if (it != m_readings.end()) m_readings.erase(it);  // joins the thread, which has ended
    if (ticket != m_ticket) {
        if (stopped) ++m_stopped;
        return;
    }
    if (!failure.empty()) {
        // The request stays wanted: the same choices do not read again until Plot is
        // pressed.
        ShowEmpty("Nothing to plot: the values could not be read (" + failure + ").");
    } else if (plot) {
        m_plot = std::move(plot);
        m_state = State::Shown;
        ShowState();
    }
    m_host.PlotChanged();
}

void FrmPlot::ShowState() {
    // With 20 items or fewer every line is drawn anyway: the box has nothing to choose.
    const bool choice = m_plot && m_plot->ManyItems;
    chkEveryLine.SetEnabled(choice);
    chkEveryLine.SetVisible(choice);
    if (m_state != State::Shown || !m_plot) return;
    const PlotData& p = *m_plot;
    std::string times = p.Times.size() == 1 ? "1 time" : std::to_string(p.Times.size()) + " times";
    std::string text = p.Subject + ": " + p.Items + " at " + times;
    if (!EveryLine()) text += ", drawn as their range and mean";
    if (!p.Warning.empty()) text += ". Warning: " + p.Warning + ".";
    lblState.SetText(std::move(text));
}

}  // namespace vx
