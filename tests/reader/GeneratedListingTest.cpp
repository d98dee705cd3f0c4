// Scans of listings from the generator, and a temperature reading, checked against what
// the generator wrote.
#include <gtest/gtest.h>

#include <thread>

#include "reader/Reader.h"
#include "reader/ScanProgress.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using gen::AnalysisKind;
using gen::LineEnding;
using test::FakeServices;
using test::TempDir;

// A listing from the generator, as written and as scanned.
struct Scanned : test::Scanned {
    std::string Bytes;

    Scanned(const gen::ListingSpec& spec, const TempDir& dir) {
        Open(test::Generate(spec, dir.Path() / "generated.out"));
        Bytes = test::ReadBytes(Model.FilePath);
    }
};

// Every step must hold the time the generator printed and the position where the line
// after its time line starts, checked on the raw bytes without the reader; each time line
// ends in exactly the requested terminator (an empty line may follow), as the tests of
// every line ending assume.
void ExpectPositionsAfterTimeLines(const Scanned& s, const gen::ListingSpec& spec) {
    ASSERT_EQ(s.Model.Times.size(), static_cast<std::size_t>(s.Model.TimeCount));
    const std::string_view eol = spec.lineEnding == LineEnding::CRLF ? "\r\n"
                                 : spec.lineEnding == LineEnding::CR ? "\r"
                                                                     : "\n";
    std::size_t at = 0;
    for (std::size_t i = 0; i < s.Model.Times.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(s.Model.Times[i].Time, gen::ExpectedTime(spec, static_cast<int>(i) + 1));
        at = s.Bytes.find(gen::marker::kTime, at);
        ASSERT_NE(at, std::string::npos);
        at = s.Bytes.find_first_of("\r\n", at);
        const std::string ends = s.Bytes.substr(at, s.Bytes.find_first_not_of("\r\n", at) - at);
        EXPECT_TRUE(ends == eol || ends == std::string(eol) + std::string(eol)) << ends.size();
        at += eol.size();
        EXPECT_EQ(s.Model.Times[i].Position, static_cast<std::int64_t>(at));
    }
    EXPECT_EQ(s.Bytes.find(gen::marker::kTime, at), std::string::npos) << "a time line left out";
}

// Every temperature of every step, as an export of them all reads it.
ValueTable ReadEveryTemperature(Scanned& s) {
    ExtractionRequest request;
    request.Variable = "Temperature";
    for (std::int16_t t = 1; t <= s.Model.TimeCount; ++t) request.SelectedTimes.push_back(t);
    ValueTable table;
    auto services = s.Host.Get();
    ReadTemperatures(s.Model, request, table, services);
    return table;
}

// Structural listings of both dimensions, and thermal ones whose last table line is full
// (10 and 5 nodes) or not (12, 1), with every line ending.
TEST(GeneratedListing, ScansAndTemperaturesGiveWhatTheGeneratorWrote) {
    TempDir dir;
    for (LineEnding ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
        SCOPED_TRACE("ending " + std::to_string(static_cast<int>(ending)));
        for (int ndim : {2, 3}) {
            auto spec = test::EveryBlockSpec(
                ndim, ndim == 2 ? AnalysisKind::Static : AnalysisKind::Dynamic);
            spec.lineEnding = ending;
            spec.seed = static_cast<std::uint64_t>(ndim * 10 + static_cast<int>(ending));
            const Scanned s(spec, dir);
            const auto& m = s.Model;
            EXPECT_TRUE(s.Host.Messages.empty()) << s.Host.Messages[0].Text;
            EXPECT_EQ(m.Version, gen::ExpectedVersion(spec));
            EXPECT_EQ(m.AnalysisType, ndim == 2 ? AnalysisStatic : AnalysisDynamic);
            EXPECT_EQ((std::vector<int>{m.Ndim, m.NodeCount, m.TrussCount, m.BeamCount,
                                        m.BeamPointCount, m.ShellCount, m.ShellSurfaceCount,
                                        m.SoilCount, m.FiberCount, m.TimeCount}),
                      (std::vector<int>{ndim, spec.nodes, spec.trusses, spec.beams, spec.beamPoints,
                                        spec.shells, spec.shellSurfaces, spec.soils, spec.fibers,
                                        spec.steps}));
            for (bool flag :
                 {m.HasDisplacements, m.HasBeamForces, m.HasBeamStresses, m.HasBeamTangentModulus,
                  m.HasTrussForces, m.HasMembraneForces, m.HasBendingForces, m.HasSoilForces})
                EXPECT_TRUE(flag);
            EXPECT_EQ(m.StressPoints.size(), spec.stressPoints.size());
            EXPECT_EQ(m.TangentPoints.size(), 1u);
            EXPECT_EQ(m.TangentPointCount, 1);
            ExpectPositionsAfterTimeLines(s, spec);
        }
        for (int nodes : {12, 10, 5, 1}) {
            SCOPED_TRACE("nodes " + std::to_string(nodes));
            auto spec = test::ThermalSpec(nodes);
            spec.lineEnding = ending;
            Scanned s(spec, dir);
            EXPECT_EQ((std::vector<int>{s.Model.AnalysisType, s.Model.NodeCount, s.Model.SolidCount,
                                        s.Model.HasTemperatures}),
                      (std::vector<int>{AnalysisThermal, nodes, spec.solids, true}));
            ExpectPositionsAfterTimeLines(s, spec);
            const ValueTable table = ReadEveryTemperature(s);
            EXPECT_TRUE(s.Host.Messages.empty()) << s.Host.Messages[0].Text;
            for (int t = 1; t <= spec.steps; ++t)
                for (int n = 1; n <= nodes; ++n)
                    ASSERT_EQ(table.At(n, t),
                              gen::ExpectedValue(spec, gen::Block::Temperature, t, n, 0))
                        << "node " << n << ", step " << t;
        }
    }
}

TEST(GeneratedListing, ProgressRisesToTheEndWithItsTwoTexts) {
    TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 2000;
    spec.steps = 40;
    const Scanned s(spec, dir);
    const auto& reports = s.Host.Reports;
    ASSERT_GT(reports.size(), 20u);
    EXPECT_LT(reports.size(), 2500u) << "reports are thinned out";
    EXPECT_EQ(reports.front().Text, "Reading input...");
    EXPECT_EQ(reports.front().Fraction, 0.0f);
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].Fraction, reports[i - 1].Fraction);
        EXPECT_TRUE(reports[i - 1].Text != "Reading times..." ||
                    reports[i].Text == "Reading times...")
            << "input reports after time reports";
    }
    EXPECT_EQ(reports.back().Text, "Reading times...");
    EXPECT_FLOAT_EQ(reports.back().Fraction, 1.0f);
}

// A search on a slow drive pauses seldom and far short of the next report by position:
// each pause that comes 30 ms after the last report reports, where ticks wait for more calls.
TEST(GeneratedListing, PausesOfASlowSearchKeepTheWindowInformed) {
    static constexpr std::string_view kText = "Reading times...";
    FakeServices host;
    ScanProgress progress(host, std::int64_t{1} << 40);
    progress.Report(0, kText);
    for (std::int64_t position = 1; position <= 2; ++position) {
        std::this_thread::sleep_for(std::chrono::milliseconds(35));
        progress.Tick(position, kText);
        progress.Pause(position, kText);
    }
    ASSERT_EQ(host.Reports.size(), 3u);
    EXPECT_EQ(host.Reports.back().Text, kText);
}

// How temperatures read is checked against a plain reading in ExtractionEquivalenceTest;
// here, the node counter that a plain reading does not have.
TEST(ReadTemperatures, The32767thNodeOverflowsTheNodeCounter) {
    TempDir dir;
    const auto big = test::ThermalSpec(32767, 1);
    Scanned s(big, dir);
    ASSERT_TRUE(s.Host.Messages.empty());
    const ValueTable table = ReadEveryTemperature(s);
    EXPECT_EQ(s.Host.MessageTexts(), std::vector<std::string>{"6: Overflow"});
    EXPECT_EQ(table.At(32767, 1), gen::ExpectedValue(big, gen::Block::Temperature, 1, 32767, 0));
}

}  // namespace
}  // namespace vx
