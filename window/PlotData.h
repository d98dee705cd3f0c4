#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/OutputFileModel.h"

// The plot of the chosen values over time, as data: what the plot window draws, worked
// out without any toolkit so that the view only draws it (as Progress.h does for the
// progress bar).
namespace vx {

// Beyond about twenty lines, single lines can no longer be told apart: more items than
// this are drawn as the band from their minimum to their maximum, with their mean,
// unless the user asks for every line.
inline constexpr std::size_t kMostPlotLines = 20;
// A marker at every step while the markers stay apart; beyond that they would merge
// into a thick line.
inline constexpr std::size_t kMostMarkedTimes = 60;

// An axis from Min to Max with TickCount evenly spaced ticks, both ends included.
struct AxisRange {
    double Min = 0;
    double Max = 1;
    int TickCount = 2;
    bool operator==(const AxisRange&) const = default;
};

// One line of the plot: a value at each time.
struct PlotLine {
    std::string Label;
    std::vector<double> Values;
};

struct PlotData {
    std::string Title;   // the listing's file name
    std::string XTitle;  // "Time (s)"
    std::string YTitle;  // the variable and its vector kind: "Displacements DOF3"
    std::string Items;   // what the lines are: "3 nodes", "1 value"
    // The selected times in list order: the x of every point of every line.
    std::vector<double> Times;
    // One line per vector of the request, in request order, labelled as the sheet
    // labels its rows ("Node 5", "Beam 3").
    std::vector<PlotLine> Lines;
    // At each time, over every line.
    PlotLine Minimum, Maximum, Mean;
    std::string BandLabel;   // "Minimum to maximum of 255 nodes"
    bool ManyItems = false;  // more lines than kMostPlotLines
    bool Markers = false;    // a marker at each step
    AxisRange X, Y;
};

// The plot of a request whose values `table` holds (as an extraction left them). UTF-8
// texts. A vector that is not a row of the table is a failure (9), as on the sheet.
PlotData BuildPlot(const OutputFileModel& model, const ExtractionRequest& request,
                   const ValueTable& table);

// Whether a line per item is drawn (true) or the band and the mean: every line up to
// kMostPlotLines items, and beyond that when the user asks for every line.
bool ShowsEveryLine(const PlotData& plot, bool everyLineAsked);

// The range from lo to hi widened to round numbers (1, 2, 2.5 or 5 times a power of
// ten) with at most `maxTicks` ticks. A range of one value is widened around it.
AxisRange NiceRange(double lo, double hi, int maxTicks = 7);

// The index of the time nearest to x; the first of equally near ones. 0 for no times.
std::size_t NearestTime(const std::vector<double>& times, double x);

// What hovering a point shows: "Node 5 at 0.35 s: 0.001234".
std::string PointText(std::string_view label, double time, double value);

// Where the plot window goes beside the main window (screen pixels, frames included):
// to its right when it fits on the screen, else to its left, else over the main window's
// right part, always inside the screen as far as its size allows; top edges aligned.
struct PixelRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const PixelRect&) const = default;
};
PixelRect PlotWindowPlace(const PixelRect& mainWindow, const PixelRect& screen, int width,
                          int height);

}  // namespace vx
