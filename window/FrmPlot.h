#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "extraction/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "window/Controls.h"
#include "window/Platform.h"
#include "window/PlotData.h"

namespace vx {

// What a plot is read from: the request the main window's choices make, and a copy of
// the listing's model. The reading runs beside the window, which may open another
// listing meanwhile, so it keeps a model of its own.
struct PlotRequest {
    OutputFileModel Model;
    ExtractionRequest Request;
    bool operator==(const PlotRequest&) const = default;
};

// What the main window's choices make as they stand: a request, a reason why there is
// none, or nothing yet while the window reads a listing or exports (it tells of its
// changes again once it has finished).
enum class PlotChoices { Ready, Refused, Busy };
using PlotRequestSource = std::function<PlotChoices(PlotRequest& request, std::string& reason)>;

// How long the plot waits after a change before it reads: typing "100" into To then
// reads once, not three times.
inline constexpr int kPlotPauseMs = 300;

// The plot window without any toolkit: the plot of the values the main window's choices
// name, over the selected times, beside the main window. Its values are read on a
// thread of their own, so the main window stays usable meanwhile; a newer change stops
// an older reading and the older one's outcome is dropped. Nothing here shows a message
// box: whatever keeps a plot from being drawn is the one line above it.
class FrmPlot {
public:
    enum class State { Empty, Reading, Shown };

    FrmPlot(PlotRequestSource source, Scheduler& tasks, PlotWindowHost& host);
    ~FrmPlot();  // stops every reading and waits for it
    FrmPlot(const FrmPlot&) = delete;
    FrmPlot& operator=(const FrmPlot&) = delete;

    // --- the controls ---------------------------------------------------------------
    std::string Caption;
    CheckBox chkEveryLine{"chkEveryLine"};  // shown when there are many items
    Label lblState{"lblState"};             // the one line above the plot
    // The folder of the last picture saved, where the next one is offered; empty until one
    // is saved (the listing's folder is offered then).
    std::string PictureDir;

    bool Visible() const { return m_visible; }
    State GetState() const { return m_state; }
    // The plot to draw; none when empty. A plot stays while a newer one is read.
    const std::shared_ptr<const PlotData>& Plot() const { return m_plot; }
    // Whether every item is drawn as a line of its own (else the band and the mean).
    bool EveryLine() const { return m_plot && ShowsEveryLine(*m_plot, chkEveryLine.Value); }

    // --- event handlers -------------------------------------------------------------
    // Plot pressed in the main window: shows the plot window, or brings it to the front,
    // and reads at once what it does not show yet.
    void Show();
    // Something the request depends on changed in the main window.
    void RequestChanged();
    void chkEveryLine_Click(bool checked);
    // The plot window has closed; an open reading stops.
    void Form_Unload();
    // Closes the plot window (the main window closes).
    void Close();

    // Waits until every reading started so far has ended. Their outcomes still come
    // through the scheduler. For tests and measurements.
    void WaitForReadings();
    // How many readings ended because a newer request or the closing stopped them.
    std::size_t ReadingsStopped() const { return m_stopped; }

private:
    class Reading;

    void Update();
    void ShowEmpty(std::string reason);
    void Start(PlotRequest request);
    void StopReadings();
    void ReadingProgress(std::uint64_t ticket, float fraction, const std::string& text);
    void ReadingEnded(std::uint64_t ticket, std::shared_ptr<const PlotData> plot,
                      const std::string& failure, bool stopped);
    void ShowState();

    PlotRequestSource m_source;
    Scheduler& m_tasks;
    PlotWindowHost& m_host;
    bool m_visible = false;
    State m_state = State::Empty;
    std::shared_ptr<const PlotData> m_plot;
    // The request the plot shows or is being read for; none when nothing is.
    std::optional<PlotRequest> m_wanted;
    std::uint64_t m_ticket = 0;  // of the newest reading; older outcomes are dropped
    std::vector<std::unique_ptr<Reading>> m_readings;
    std::size_t m_stopped = 0;
};

}  // namespace vx
