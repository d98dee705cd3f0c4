// The plot as data: lines, band, mean, axes and labels, worked out by hand. The plot
// read from listings and following the window: the Plot scenarios of FrmExtractTest.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "common/Failure.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
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
    EXPECT_EQ(plot.Title, "frame.out, DOF3");
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
    EXPECT_EQ(plot.X, (AxisRange{10, 30, 5, 5}));
    EXPECT_EQ(plot.Y, (AxisRange{-2, 4, 7, 1})) << "the band's extremes, not the rows left out";

    // The peaks of what is drawn: the group's first, naming the lines they stand on, then
    // each line's, the first of equal values; as text to paste (tabs) or save (commas).
    const std::vector<PlotPeak> peaks = PlotPeaks(plot);
    ASSERT_EQ(peaks.size(), 4u);
    EXPECT_EQ(peaks[0], (PlotPeak{"All 3 nodes", 4, 10, -2, 30, "Node 4", "Node 2"}));
    EXPECT_EQ(peaks[2], (PlotPeak{"Node 4", 4, 10, 0.5, 30, "", ""}));
    EXPECT_EQ(PeaksText({peaks[0], peaks[3]}, '\t'),
              "Item\tMax\tTime of max\tMin\tTime of min\tLine of max\tLine of min\r\n"
              "All 3 nodes\t4\t10\t-2\t30\tNode 4\tNode 2\r\n"
              "Node 5\t3\t30\t-1\t10\t\t\r\n");
    const std::string csv = PeaksText({{"A, B", 1, 2, 3, 4, "", ""}}, ',');
    EXPECT_EQ(csv.substr(csv.find('\n') + 1), "\"A, B\",1,2,3,4,,\r\n") << "quoted where it must";

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
        const char* Subject;
        const char* Title;
    } cases[] = {
        {"Temperature", "", {4, 5}, "Node 4", "2 nodes", "Temperature", "frame.out"},
        {"Eigen Values", "", {1}, "Value 1", "1 value", "Eigen Values", "frame.out"},
        {"Truss Axial Force", "", {3, 1}, "Truss 3", "2 trusses", "Truss Axial Force", "frame.out"},
        {"Beam Axial Force", "N2", {2}, "Beam 2", "1 beam", "Beam Axial Force N2", "frame.out, N2"},
        // A beam point's label lines its numbers up with blanks; a title needs one each.
        {"Beam Stresses",
         "Beam    2 (Point \xB2 1)",
         {1, 2, 3},
         "Fiber 1",
         "3 fibers",
         "Beam Stresses Beam 2 (Point \xC2\xB2 1)",
         "frame.out, Beam 2 (Point \xC2\xB2 1)"},
        {"Membrane Force Nx", "", {4, 3}, "Shell 4", "2 shells", "Membrane Force Nx", "frame.out"},
        {"Soil Pressure", "", {2, 3}, "Soil 2", "2 soils", "Soil Pressure", "frame.out"},
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
        EXPECT_EQ(plot.Subject, c.Subject) << c.Variable << " (the kind is Latin-1 in the listing)";
        EXPECT_EQ(plot.Title, c.Title) << c.Variable;
    }
}

// The unit each block's header states (beam stresses and moduli: their block's note),
// none where the listing states none.
TEST(PlotData, TheValueAxisCarriesTheUnitTheListingStates) {
    const std::map<std::string_view, const char*> units = {
        {"Membrane Force Nx", "kN/m"},     {"Membrane Force Ny", "kN/m"},
        {"Membrane Force Nxy", "kN/m"},    {"Membrane Force N1", "kN/m"},
        {"Membrane Force N2", "kN/m"},     {"Bending Force Mx", "kNm/m"},
        {"Bending Force My", "kNm/m"},     {"Bending Force Mxy", "kNm/m"},
        {"Bending Force M1", "kNm/m"},     {"Bending Force M2", "kNm/m"},
        {"Soil Axial Force Nx", "kN"},     {"Soil Pressure", "kN/m\xC2\xB2"},
        {"Beam Stresses", "N/mm\xC2\xB2"}, {"Beam Tangent Modulus", "N/mm\xC2\xB2"}};
    ValueTable table;
    table.Resize(5, 1);
    for (const Variable& variable : AllVariables()) {
        ExtractionRequest request;
        request.Variable = std::string(variable.Name);
        request.Vectors = {1};
        request.SelectedTimes = {1};
        const std::string title = BuildPlot(FiveNodes(), request, table).YTitle;
        const auto unit = units.find(variable.Name);
        EXPECT_EQ(title, std::string(variable.Name) +
                             (unit == units.end() ? "" : std::string(" [") + unit->second + "]"));
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

// A zoom or a pan ends on round numbers inside the plot's own range: moved back in at an
// end, all of it once the zoom covers it; the legend stands where its entries keep their
// whole text.
TEST(PlotData, ZoomsStayRoundAndInsideTheDataAndTheLegendReadable) {
    const AxisRange full = NiceRange(0, 3);  // 0 to 3 by 0.5
    const struct {
        double Lo, Hi;
        AxisRange Kept;
    } cases[] = {
        {0.26892, 1.0103409, {0.2, 1.2, 6, 0.2}},  // the rubber band's ends, rounded
        {-0.058, 0.9, {0, 1.2, 7, 0.2}},           // past the start: moved back in
        {2.5, 3.4, {2, 3, 6, 0.2}},                // past the end: moved back in
        {-1.5, 4.5, full},                         // zoomed out beyond the data
        {2.9, 0.3, {0, 3, 7, 0.5}},                // either order; as wide as the data
    };
    for (const auto& c : cases) {
        const AxisRange kept = ZoomedRange(full, c.Lo, c.Hi);
        EXPECT_NEAR(kept.Min, c.Kept.Min, 1e-12) << c.Lo << " " << c.Hi;
        EXPECT_NEAR(kept.Max, c.Kept.Max, 1e-12) << c.Lo << " " << c.Hi;
        EXPECT_NEAR(kept.Step, c.Kept.Step, 1e-12) << c.Lo << " " << c.Hi;
    }
    // Ticks are the step's multiples, labelled without the residue that adding steps
    // leaves, with the decimals the step needs.
    auto labels = [](const AxisRange& range) {
        std::vector<std::string> texts;
        for (const AxisTick& tick : AxisTicks(range)) texts.push_back(tick.Label);
        return texts;
    };
    using Labels = std::vector<std::string>;
    EXPECT_EQ(labels(NiceRange(-0.0149, 0.0149)),
              (Labels{"-0.015", "-0.01", "-0.005", "0", "0.005", "0.01", "0.015"}));
    EXPECT_EQ(labels({0.13, 1.07, 5, 0.25}), (Labels{"0.25", "0.5", "0.75", "1"}));
    EXPECT_EQ(labels({-2e-7, 5e-7, 8, 1e-7}).front(), "-2e-07");
    EXPECT_EQ(labels({0, 3e7, 4, 1e7}), (Labels{"0", "1e+07", "2e+07", "3e+07"}));
    PlotData plot;
    plot.Lines.resize(4);
    EXPECT_EQ(LegendPlace(plot, true), LegendSide::Bottom);
    plot.Lines.resize(12);
    EXPECT_EQ(LegendPlace(plot, true), LegendSide::Right);
    plot.ManyItems = true;
    EXPECT_EQ(LegendPlace(plot, true), LegendSide::None) << "hovering names each line";
    EXPECT_EQ(LegendPlace(plot, false), LegendSide::Bottom) << "the band and the mean";
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
    EXPECT_EQ(PlotWindowPlace({100, 50, 600, 450}, screen, 700, 500, 400),
              (PixelRect{700, 50, 700, 500}));
    // No room on the right: on the left.
    EXPECT_EQ(PlotWindowPlace({1000, 50, 600, 450}, screen, 700, 500, 400),
              (PixelRect{300, 50, 700, 500}));
    // Room on neither side (a 1600 pixel screen, the main window in the middle): beside it
    // on the roomier side, narrower, not over its buttons nor past the screen's edge.
    EXPECT_EQ(PlotWindowPlace({470, 100, 650, 460}, {0, 0, 1600, 1000}, 650, 460, 400),
              (PixelRect{1120, 100, 480, 460}));
    EXPECT_EQ(PlotWindowPlace({490, 100, 650, 460}, {0, 0, 1600, 1000}, 650, 460, 400),
              (PixelRect{0, 100, 490, 460}));
    // Not even that: over it at the screen's edge, its bottom pulled up onto the screen.
    EXPECT_EQ(PlotWindowPlace({500, 800, 900, 450}, screen, 700, 500, 600),
              (PixelRect{1220, 580, 700, 500}));
    // A window larger than the screen is made to fit it.
    EXPECT_EQ(KeptOnScreen({100, 200, 920, 1100}, {0, 0, 1600, 1000}),
              (PixelRect{100, 0, 920, 1000}));
    EXPECT_EQ(KeptOnScreen({-30, 990, 300, 200}, {0, 24, 1600, 976}),
              (PixelRect{0, 800, 300, 200}));
}

// Save Picture: PNG 1600 pixels wide unless another size is chosen, SVG by its name.
TEST(PlotData, PicturesAreWrittenAtTheSizeChosen) {
    EXPECT_EQ(PictureFilter(),
              "PNG Picture, 1600 pixels wide (*.png)|*.png|PNG Picture, 3200 pixels wide "
              "(*.png)|*.png|PNG Picture, as on screen (*.png)|*.png|SVG Picture (*.svg)|*.svg");
    EXPECT_EQ(ChosenPicture("plot.png", 1).Width, 1600);
    EXPECT_EQ(ChosenPicture("plot.png", 2).Width, 3200);
    EXPECT_EQ(ChosenPicture("plot", 3).Width, 0) << "as on screen";
    EXPECT_EQ(ChosenPicture("plot.png", 0).Width, 1600) << "no entry chosen";
    EXPECT_TRUE(ChosenPicture("plot.SVG", 1).Svg) << "the name decides";
    const PictureType png = ChosenPicture("plot.png", 4);
    EXPECT_TRUE(!png.Svg && png.Width == 1600) << "a .png name with the SVG entry";
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// The line above the plot warns of a step cut short the plot reaches into.
TEST(PlotData, AStepCutShortIsWarnedOf) {
    test::TempDir dir;
    std::ifstream in(test::Example("dynamic3d.out"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto cut = dir.Path() / "cut.out";
    std::ofstream(cut, std::ios::binary)
        .write(bytes.data(),
               static_cast<std::streamsize>(bytes.rfind("TOTAL DISPLACEMENTS") + 500));
    test::Scanned listing;
    listing.Open(cut);
    ValueTable table;
    table.Resize(10, 2);
    ExtractionRequest request{"Displacements", "DOF1", 0, {1, 7}, {1, 6}};
    EXPECT_EQ(BuildPlot(listing.Model, request, table).Warning,
              "step 6 (time 360) is not complete in the listing: Node 7 of it is not written yet "
              "(nor what follows)");
    request.SelectedTimes = {1, 5};
    EXPECT_EQ(BuildPlot(listing.Model, request, table).Warning, "");
}

}  // namespace
}  // namespace vx
