#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/OutputFileModel.h"
#include "window/Platform.h"

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

// An axis from Min to Max, ticks at the multiples of Step between them (TickCount of
// them when Min and Max are multiples too, as the plot's own ranges are).
struct AxisRange {
    double Min = 0;
    double Max = 1;
    int TickCount = 2;
    double Step = 1;
    bool operator==(const AxisRange&) const = default;
};

// One line of the plot: a value at each time.
struct PlotLine {
    std::string Label;
    std::vector<double> Values;
};

struct PlotData {
    // What is plotted: the variable and its vector kind ("Displacements DOF3").
    std::string Subject;
    // The listing's file name, and the vector kind where the variable has one:
    // "dynamic3d.out, Surface 1".
    std::string Title;
    std::string XTitle;  // "Time (s)"
    // The variable and the unit the listing states for it: "Membrane Force Nx [kN/m]".
    std::string YTitle;
    std::string Items;  // what the lines are: "3 nodes", "1 value"
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
    // The step cut short the request reaches into (a listing still being written): what
    // the line above the plot warns of; empty for none.
    std::string Warning;
};

// The plot of a request whose values `table` holds (as an extraction left them). UTF-8
// texts. A vector that is not a row of the table is a failure (9), as on the sheet.
PlotData BuildPlot(const OutputFileModel& model, const ExtractionRequest& request,
                   const ValueTable& table);

// The peaks of what a plot draws: the largest and smallest value of each line and the
// time where it first stands, the whole group's first (its label "All 3 nodes", its peaks
// naming the line they belong to).
struct PlotPeak {
    std::string Label;
    double Max = 0, MaxTime = 0, Min = 0, MinTime = 0;
    std::string MaxLine, MinLine;  // the group's row only: the lines its peaks are on
    bool operator==(const PlotPeak&) const = default;
};
std::vector<PlotPeak> PlotPeaks(const PlotData& plot);
// The peaks as text, a header line first, a line each, the fields split by `separator`
// (a tab to paste into a spreadsheet, a comma for a CSV file; a field that holds it is
// quoted), lines ended by CR LF. Numbers are the singles read, in full.
std::string PeaksText(const std::vector<PlotPeak>& peaks, char separator);

// Whether a line per item is drawn (true) or the band and the mean: every line up to
// kMostPlotLines items, and beyond that when the user asks for every line.
bool ShowsEveryLine(const PlotData& plot, bool everyLineAsked);

// The ticks of an axis: the multiples of its step from its Min to its Max, each with its
// label as the axis shows it, with no more decimals than the step needs ("0", "0.005",
// "-0.01"; "2.5e-07" where plain decimals would run long).
struct AxisTick {
    double Value;
    std::string Label;
    bool operator==(const AxisTick&) const = default;
};
std::vector<AxisTick> AxisTicks(const AxisRange& range);

// Where the legend stands: none for every line of many items (hovering names them), below
// the plot for a few entries, beside it for more, where each keeps its whole text.
enum class LegendSide { None, Bottom, Right };
inline constexpr std::size_t kMostLegendEntriesBelow = 4;
LegendSide LegendPlace(const PlotData& plot, bool everyLine);

// The range from lo to hi widened to round numbers (1, 2, 2.5 or 5 times a power of
// ten) with at most `maxTicks` ticks. A range of one value is widened around it.
AxisRange NiceRange(double lo, double hi, int maxTicks = 7);

// What an axis shows after a zoom or a pan to lo..hi: ends and ticks on round numbers,
// inside the plot's own range `full` (moved back into it, not cut, when it goes past an
// end); all of `full` once lo..hi covers it.
AxisRange ZoomedRange(const AxisRange& full, double lo, double hi, int maxTicks = 7);

// The index of the time nearest to x; the first of equally near ones. 0 for no times.
std::size_t NearestTime(const std::vector<double>& times, double x);

// What hovering a point shows: "Node 5 at 0.35 s: 0.001234".
std::string PointText(std::string_view label, double time, double value);

// The pictures "Save Picture..." writes, in the order its dialog offers them: PNG at a
// width for reports (the chart scaled, as a higher resolution would draw it), PNG as on
// screen, and SVG.
struct PictureType {
    std::string_view Description;  // the dialog's entry: "PNG Picture, 1600 pixels wide"
    std::string_view Pattern;      // "*.png"
    int Width;                     // pixels across; 0: as the chart stands on screen
    bool Svg;
};
std::span<const PictureType> PictureTypes();
// The dialog's filter: every type's "Description (pattern)|pattern", separated by "|".
std::string PictureFilter();
// What a confirmed dialog asks for: a name ending in .svg an SVG, any other a PNG, at the
// width of the chosen entry (the first's when the entry chosen is no PNG).
PictureType ChosenPicture(std::string_view path, int filterIndex);

// Where the plot window goes beside the main window (screen pixels, frames included):
// to its right when it fits on the screen, else to its left; when it fits on neither
// side, on the roomier one made narrower to fit, down to `minWidth`; only when not even
// that fits, over the main window, at the screen's edge on the roomier side. Always inside
// the screen (made smaller when it is larger than the screen); top edges aligned.
PixelRect PlotWindowPlace(const PixelRect& mainWindow, const PixelRect& screen, int width,
                          int height, int minWidth);

}  // namespace vx
