// Scans of listings from the generator, checked against what the generator wrote.
#include <gtest/gtest.h>

#include <regex>

#include "reader/Reader.h"
#include "reader/TextRoutines.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using gen::AnalysisKind;
using gen::LineEnding;
using test::FakeServices;
using test::TempDir;

struct Scanned {
    OutputFileModel Model;
    FakeServices Host;
    std::string Bytes;
};

void Scan(const gen::ListingSpec& spec, const TempDir& dir, Scanned& s) {
    s.Model.FilePath = test::Generate(spec, dir.Path() / "generated.out");
    s.Bytes = test::ReadBytes(s.Model.FilePath);
    auto services = s.Host.Get();
    ReadOutputFile(s.Model, services);
}

// Every recorded position must be where the line after the step's time line starts:
// checked on the raw bytes, without the reader.
void ExpectPositionsAfterTimeLines(const Scanned& s, const gen::ListingSpec& spec) {
    ASSERT_EQ(s.Model.Times.size(), static_cast<std::size_t>(s.Model.TimeCount));
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < s.Model.Times.size(); ++i) {
        const auto& step = s.Model.Times[i];
        EXPECT_EQ(step.Time, gen::ExpectedTime(spec, static_cast<int>(i) + 1)) << "step " << i + 1;
        auto pos = static_cast<std::size_t>(step.Position);
        ASSERT_GT(pos, static_cast<std::size_t>(previous));
        ASSERT_LE(pos, s.Bytes.size());
        char last = s.Bytes[pos - 1];
        ASSERT_TRUE(last == '\n' || last == '\r') << "step " << i + 1;
        std::size_t end = pos - 1;
        if (last == '\n' && end > 0 && s.Bytes[end - 1] == '\r') --end;
        std::size_t start = s.Bytes.find_last_of("\r\n", end - 1);
        start = start == std::string::npos ? 0 : start + 1;
        std::string timeLine = s.Bytes.substr(start, end - start);
        EXPECT_NE(timeLine.find("  TIME ="), std::string::npos) << timeLine;
        EXPECT_EQ(RoundToSingle(NumericPrefix(SplitWords(timeLine)[2])), step.Time);
        previous = step.Position;
    }
}

TEST(GeneratedListing, StructuralScanFindsEverythingTheGeneratorWrote) {
    TempDir dir;
    for (int ndim : {2, 3}) {
        for (LineEnding ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
            auto spec = test::EveryBlockSpec(ndim, ndim == 2 ? AnalysisKind::Static : AnalysisKind::Dynamic);
            spec.lineEnding = ending;
            spec.seed = static_cast<std::uint64_t>(ndim * 10 + static_cast<int>(ending));
            Scanned s;
            Scan(spec, dir, s);
            SCOPED_TRACE("ndim " + std::to_string(ndim) + ", ending " + std::to_string(static_cast<int>(ending)));
            const auto& m = s.Model;
            EXPECT_TRUE(s.Host.Messages.empty()) << s.Host.Messages[0].Text;
            EXPECT_EQ(m.Version, gen::ExpectedVersion(spec));
            EXPECT_EQ(m.AnalysisType, ndim == 2 ? AnalysisStatic : AnalysisDynamic);
            EXPECT_EQ(m.Ndim, ndim);
            EXPECT_EQ(m.NodeCount, spec.nodes);
            EXPECT_EQ(m.TrussCount, spec.trusses);
            EXPECT_EQ(m.BeamCount, spec.beams);
            EXPECT_EQ(m.BeamPointCount, spec.beamPoints);
            EXPECT_EQ(m.ShellCount, spec.shells);
            EXPECT_EQ(m.ShellSurfaceCount, spec.shellSurfaces);
            EXPECT_EQ(m.SoilCount, spec.soils);
            EXPECT_EQ(m.FiberCount, spec.fibers);
            EXPECT_EQ(m.TimeCount, spec.steps);
            for (bool flag : {m.HasDisplacements, m.HasBeamForces, m.HasBeamStresses, m.HasBeamTangentModulus,
                              m.HasTrussForces, m.HasMembraneForces, m.HasBendingForces, m.HasSoilForces})
                EXPECT_TRUE(flag);
            ASSERT_EQ(m.StressPoints.size(), spec.stressPoints.size());
            for (std::size_t i = 0; i < spec.stressPoints.size(); ++i) {
                std::regex label("Beam +" + std::to_string(spec.stressPoints[i].element) + " \\(Point +" +
                                 std::to_string(spec.stressPoints[i].point) + "\\)");
                EXPECT_TRUE(std::regex_match(m.StressPoints[i], label)) << m.StressPoints[i];
            }
            ASSERT_EQ(m.TangentPoints.size(), 1u);
            EXPECT_EQ(m.TangentPointCount, 1);
            ExpectPositionsAfterTimeLines(s, spec);
        }
    }
}

TEST(GeneratedListing, BlocksMissingFromLaterStepsDoNotChangeTheFlags) {
    TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.dropBlocksFromStep = 2;
    Scanned s;
    Scan(spec, dir, s);
    EXPECT_TRUE(s.Model.HasSoilForces);
    EXPECT_EQ(s.Model.StressPointCount, 2);

    spec.dropBlocksFromStep = 1;
    Scanned none;
    Scan(spec, dir, none);
    EXPECT_TRUE(none.Model.HasDisplacements);
    EXPECT_FALSE(none.Model.HasBeamForces);
    EXPECT_FALSE(none.Model.HasBeamStresses);
    EXPECT_EQ(none.Model.TimeCount, spec.steps);
}

TEST(GeneratedListing, ProgressRisesToTheEndWithTheSpecifiedTexts) {
    TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 2000;
    spec.steps = 40;
    Scanned s;
    Scan(spec, dir, s);
    const auto& reports = s.Host.Reports;
    ASSERT_GT(reports.size(), 20u);
    EXPECT_EQ(reports.front().Text, "Reading input...");
    EXPECT_EQ(reports.front().Fraction, 0.0f);
    bool times = false;
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].Fraction, reports[i - 1].Fraction);
        if (reports[i].Text == "Reading times...") times = true;
        else EXPECT_FALSE(times) << "input reports after time reports";
    }
    EXPECT_FLOAT_EQ(reports.back().Fraction, 1.0f);
    EXPECT_LT(reports.size(), 2500u) << "reports are thinned out";
}

TEST(GeneratedListing, ThermalScanFindsEverythingTheGeneratorWrote) {
    TempDir dir;
    for (int nodes : {12, 10, 1}) {
        for (LineEnding ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
            auto spec = test::ThermalSpec(nodes);
            spec.lineEnding = ending;
            Scanned s;
            Scan(spec, dir, s);
            SCOPED_TRACE("nodes " + std::to_string(nodes));
            EXPECT_TRUE(s.Host.Messages.empty());
            EXPECT_EQ(s.Model.AnalysisType, AnalysisThermal);
            EXPECT_EQ(s.Model.NodeCount, nodes);
            EXPECT_EQ(s.Model.SolidCount, spec.solids);
            EXPECT_TRUE(s.Model.HasTemperatures);
            ExpectPositionsAfterTimeLines(s, spec);
        }
    }
}

}  // namespace
}  // namespace vx
