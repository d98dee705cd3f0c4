// The plot as data: lines, band, mean, axes and labels, worked out by hand. The plot
// read from listings and following the window: the Plot scenarios of FrmExtractTest.

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "window/PlotData.h"

namespace vx {
namespace {

using Values = std::vector<double>;

// A listing of 5 nodes at the times 10, 20 and 30.
OutputFileModel FiveNodes() {
    OutputFileModel model;
    model.FilePath = "/runs/frame.out";
    model.AnalysisType = AnalysisDynamic;
    model.NodeCount = 5;
    model.TrussCount = model.BeamCount = model.ShellCount = model.SoilCount = 4;
    model.FiberCount = 4;
    model.TimeCount = 3;
    model.Times = {{10, 100}, {20, 200}, {30, 300}};
    return model;
}

TEST(PlotData, LinesBandAndMeanOfAHandComputedCase) {
    // Rows 2, 4 and 5 at steps 3 and 1 (the Selected list's order): columns 1 and 2.
    ValueTable table;
    table.Resize(5, 2);
    const float values[5][2] = {{9, 9}, {-2, 1}, {9, 9}, {0.5f, 4}, {3, -1}};
    for (int r = 0; r < 5; ++r)
        for (int t = 0; t < 2; ++t) table.Set(r + 1, t + 1, values[r][t]);
    ExtractionRequest request;
    request.Variable = "Displacements";
    request.VectorKind = "DOF3";
    request.Vectors = {2, 4, 5};
    request.SelectedTimes = {3, 1};

    const PlotData plot = BuildPlot(FiveNodes(), request, table);
    EXPECT_EQ(plot.Title, "frame.out");
    EXPECT_EQ(plot.XTitle, "Time (s)");
    EXPECT_EQ(plot.Times, (Values{30, 10}));
    ASSERT_EQ(plot.Lines.size(), 3u);
    EXPECT_EQ(plot.Lines[2].Label, "Node 5") << "labels and titles: LabelsFollowTheVariable";
    EXPECT_EQ(plot.Lines[1].Values, (Values{0.5, 4}));
    EXPECT_EQ(plot.Minimum.Values, (Values{-2, -1}));
    EXPECT_EQ(plot.Maximum.Values, (Values{3, 4}));
    ASSERT_EQ(plot.Mean.Values.size(), 2u);
    EXPECT_DOUBLE_EQ(plot.Mean.Values[0], 0.5);
    EXPECT_DOUBLE_EQ(plot.Mean.Values[1], 4.0 / 3.0);
    EXPECT_EQ(plot.BandLabel, "Minimum to maximum of 3 nodes");
    EXPECT_EQ(plot.Mean.Label, "Mean of 3 nodes");
    EXPECT_EQ(plot.X, (AxisRange{10, 30, 5}));
    EXPECT_EQ(plot.Y, (AxisRange{-2, 4, 7})) << "the band's extremes, not the rows left out";

    // A vector that is no row of the table stops the plot as it stops the sheet.
    request.Vectors = {6};
    EXPECT_THROW(BuildPlot(FiveNodes(), request, table), Failure);
    // Markers while the times stay apart. Where more than 20 items become their range and
    // mean: the Plot scenario of FrmExtractTest.
    table.Resize(5, static_cast<std::int32_t>(kMostMarkedTimes + 1));
    request.Vectors = {2};
    request.SelectedTimes.assign(kMostMarkedTimes, 1);
    EXPECT_TRUE(BuildPlot(FiveNodes(), request, table).Markers);
    request.SelectedTimes.push_back(2);
    EXPECT_FALSE(BuildPlot(FiveNodes(), request, table).Markers);
}

TEST(PlotData, LabelsFollowTheVariable) {
    struct {
        const char* Variable;
        const char* Kind;
        std::vector<std::int16_t> Vectors;
        const char* FirstLabel;
        const char* Items;
        const char* YTitle;
    } cases[] = {
        {"Temperature", "", {4, 5}, "Node 4", "2 nodes", "Temperature"},
        {"Eigen Values", "", {1}, "Value 1", "1 value", "Eigen Values"},
        {"Truss Axial Force", "", {3, 1}, "Truss 3", "2 trusses", "Truss Axial Force"},
        {"Beam Axial Force", "N2", {2}, "Beam 2", "1 beam", "Beam Axial Force N2"},
        {"Beam Stresses", "\xB2", {1, 2, 3}, "Fiber 1", "3 fibers", "Beam Stresses \xC2\xB2"},
        {"Membrane Force Nx", "", {4, 3}, "Shell 4", "2 shells", "Membrane Force Nx"},
        {"Soil Pressure", "", {2, 3}, "Soil 2", "2 soils", "Soil Pressure"},
    };
    ValueTable table;
    table.Resize(5, 1);
    for (const auto& c : cases) {
        ExtractionRequest request;
        request.Variable = c.Variable;
        request.VectorKind = c.Kind;
        request.Vectors = c.Vectors;
        request.SelectedTimes = {1};
        PlotData plot = BuildPlot(FiveNodes(), request, table);
        EXPECT_EQ(plot.Lines.at(0).Label, c.FirstLabel) << c.Variable;
        EXPECT_EQ(plot.Items, c.Items) << c.Variable;
        EXPECT_EQ(plot.YTitle, c.YTitle) << c.Variable << " (the kind is Latin-1 in the listing)";
    }
}

TEST(PlotData, AxesEndOnRoundNumbers) {
    struct {
        double Lo, Hi;
        AxisRange Range;
    } cases[] = {
        {0.13, 0.87, {0, 1, 6}},      // steps of 0.1 give too many ticks; 0.2 fits
        {-3, 1000, {-200, 1000, 7}},  // 100 gives 12 ticks
        {0, 0, {-1, 1, 5}},           // a single value of 0
        {30, 10, {10, 30, 5}},        // either order
    };
    for (const auto& c : cases) {
        AxisRange r = NiceRange(c.Lo, c.Hi);
        EXPECT_NEAR(r.Min, c.Range.Min, 1e-12) << c.Lo << " " << c.Hi;
        EXPECT_NEAR(r.Max, c.Range.Max, 1e-12) << c.Lo << " " << c.Hi;
        EXPECT_EQ(r.TickCount, c.Range.TickCount) << c.Lo << " " << c.Hi;
    }
    // A single value away from 0 is widened by a tenth of it each way.
    AxisRange single = NiceRange(5, 5);
    EXPECT_LE(single.Min, 4.5);
    EXPECT_GE(single.Max, 5.5);
    EXPECT_LE(NiceRange(1e6, 1e6 + 1e-7).TickCount, 7);
}

TEST(PlotData, HoverFindsTheNearestTimeAndSaysWhatIsThere) {
    const Values times = {0.5, 1.5, 1.0, 2.0};
    EXPECT_EQ(NearestTime(times, 1.1), 2u);
    EXPECT_EQ(NearestTime(times, 1.25), 1u) << "the first of equally near ones";
    EXPECT_EQ(NearestTime(times, 9), 3u);
    EXPECT_EQ(NearestTime({}, 1), 0u);
    EXPECT_EQ(PointText("Node 5", 0.35f, 0.00123f), "Node 5 at 0.35 s: 0.00123");
}

TEST(PlotData, ThePlotWindowStandsBesideTheMainWindowOnTheScreen) {
    const PixelRect screen{0, 0, 1920, 1080};
    // Right of it, top edges aligned.
    EXPECT_EQ(PlotWindowPlace({100, 50, 600, 450}, screen, 700, 500),
              (PixelRect{700, 50, 700, 500}));
    // No room on the right: on the left.
    EXPECT_EQ(PlotWindowPlace({1000, 50, 600, 450}, screen, 700, 500),
              (PixelRect{300, 50, 700, 500}));
    // No room on either side: at the right edge of the screen, and pulled up so that
    // its bottom stays on it.
    EXPECT_EQ(PlotWindowPlace({500, 800, 900, 450}, screen, 700, 500),
              (PixelRect{1220, 580, 700, 500}));
}

}  // namespace
}  // namespace vx
