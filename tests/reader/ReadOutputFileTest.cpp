// The scan: hand-written listings for the rules that generated listings never exercise
// (odd headers, markers that almost match, the landmarks of the thermal scan, failures and
// their kinds), then generated listings checked against what the generator wrote, and the
// progress the scan reports.
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
using test::Lines;
using test::TempDir;
using Texts = std::vector<std::string>;

class ReadOutputFileTest : public ::testing::Test {
protected:
    const test::Scanned& ReadText(const std::string& bytes) {
        m_read.Open(m_dir.Write("listing.out", bytes));
        return m_read;
    }
    TempDir m_dir;
    test::Scanned m_read;
};

TEST_F(ReadOutputFileTest, HeaderKindVersionAndFailures) {
    using enum FailureKind;
    const struct {
        std::string bytes;
        std::int16_t kind;
        std::string version, message;
        FailureKind failure = ReadFailed;
        MsgIcon icon = MsgIcon::Critical;
    } cases[] = {
        // The keyword rules start at the NDIM line; no convergence line is no failure.
        {Lines({"PROGRAM 'VORAX' ,  7.4.2  , build 9", "NDIM 2 DYNAMIC"}), AnalysisDynamic, "7.4.2",
         ""},
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC TEMPERATURE"}), AnalysisThermal, "1",
         "The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue.", MissingBlock},
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC AND DYNAMIC"}), AnalysisStatic, "1", ""},
        {Lines({"PROGRAM 'VORAX', 1", "STATIC", "NDIM 2", "dynamic", "DYNAMIC"}), AnalysisDynamic,
         "1", ""},
        {Lines({"PROGRAM 'VORAX', 2.0", "NDIM 2", "TORSION"}), AnalysisTorsion, "2.0",
         "Cannot read but temperature files", NotAListing, MsgIcon::Information},
        // Failures keep what was read before them.
        {Lines({"PROGRAM 'VORAX' without comma", "NDIM 3", "STATIC"}), AnalysisNone, "",
         "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM = 3", "STATIC"}), AnalysisNone, "5",
         "Read File Error 13: Type mismatch"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM"}), AnalysisNone, "5",
         "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM 99999", "STATIC"}), AnalysisNone, "5",
         "Read File Error 6: Overflow", ValueTooLarge},
        {Lines({"PROGRAM 'VORAX', 5.1", "NDIM 3", "no keyword"}), AnalysisNone, "5.1",
         "Read File Error 62: Input past end of file", NotAListing},
        // Failures of the structural scan: word 3 of a count line, word 2 of a time line.
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC", "THERE ARE NODES",
                "CONVERGENCE HAS BEEN OBTAINED."}),
         AnalysisStatic, "1", "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC", "CONVERGENCE HAS BEEN OBTAINED.",
                "   TIME ="}),
         AnalysisStatic, "1", "Read File Error 9: Subscript out of range"},
    };
    // The failure's kind, chosen where it arises, and the number its text shows.
    auto number = [](const std::string& text) {
        const std::size_t colon = text.find(':');
        return colon == std::string::npos ? 0 : std::stoi(text.substr(text.rfind(' ', colon) + 1));
    };
    for (const auto& c : cases) {
        const auto& r = ReadText(c.bytes);
        EXPECT_EQ(r.Model.AnalysisType, c.kind) << c.bytes;
        EXPECT_EQ(r.Model.Version, c.version) << c.bytes;
        const std::vector<Notice> expected = {{c.failure, number(c.message), c.message, c.icon}};
        EXPECT_EQ(r.Read.Notices, c.message.empty() ? std::vector<Notice>{} : expected) << c.bytes;
    }
    EXPECT_EQ(ReadText(Lines({"PROGRAM 'VORAX', 5.1", "NDIM 3", "nothing"})).Model.Ndim, 3);

    m_read.Open("");  // no file chosen
    EXPECT_EQ(m_read.Host.MessageTexts(), Texts{"Cannot read but temperature files"});
    // A file that is not there, or a folder in its place, tells its kind itself.
    m_read.Open(m_dir.Path() / "missing.out");
    EXPECT_EQ(m_read.Read.Notices,
              (std::vector<Notice>{{FileNotFound, 53, "Read File Error 53: File not found"}}));
    m_read.Open(m_dir.Path() / "listing.out" / "inner.out");
    EXPECT_EQ(m_read.Read.Notices.at(0).Kind, FileNotFound);
}

TEST_F(ReadOutputFileTest, StructuralMarkersThatAlmostMatchAndStepsOutsideTheIndex) {
    std::string bytes = Lines({" PROGRAM 'VORAX' , 7.4 , X",
                               " NDIM    3",
                               " DYNAMIC ANALYSIS",
                               "  -  THERE ARE       4 BEAM ELEMENTS AND SHELL ELEMENTS",
                               "   TIME =  999  (before the first convergence: not a step)",
                               "  CONVERGENCE HAS BEEN OBTAINED.  ",
                               "   TIME =   0.60000E+02",
                               " TOTAL DISPLACEMENTS.",
                               " INTERNAL SOLLICITATIONS IN THE BEAM ELEMENTS.",
                               " STRESSES IN N/mm\xB2 IN BEAM ELEMENT    3, POINT  2",
                               " STRESSES IN N/mm\xB2 IN BEAM ELEMENT   12, POINT  1",
                               " TANGENT MODULUS IN N/mm\xB2 IN BEAM ELEMENT    1, POINT  3",
                               "MEMBRANE FORCES Nx, Ny & Nxy IN THE SHELL ELEMENTS [kN/m] (extra)",
                               "BENDING FORCES Mx, My & Mxy IN THE SHELL ELEMENTS [kNm/m]",
                               " internal force in the soil elements.",
                               "CONVERGENCE HAS BEEN OBTAINED.",
                               "   TIME =   120.5",
                               " INTERNAL SOLLICITATIONS IN THE TRUSS ELEMENTS.",
                               " STRESSES IN N/mm\xB2 IN BEAM ELEMENT    9, POINT  9",
                               "CONVERGENCE HAS BEEN OBTAINED."});
    bytes += "   TIME =  1.8E2";  // a time line at the very end, without a terminator
    const auto& r = ReadText(bytes);
    const auto& m = r.Model;
    EXPECT_TRUE(r.Host.Messages.empty()) << r.Host.Messages[0].Text;
    EXPECT_EQ(m.BeamCount, 4);
    EXPECT_EQ(m.ShellCount, 4) << "one line may set two counts";
    ASSERT_EQ(m.TimeCount, 3);
    EXPECT_EQ(m.Times[0].Time, 60.0f);
    EXPECT_EQ(m.Times[2].Time, 180.0f);
    EXPECT_EQ(m.Times[2].Position, static_cast<std::int64_t>(bytes.size()));

    EXPECT_TRUE(m.HasDisplacements && m.HasBeamForces && m.HasBeamStresses &&
                m.HasBeamTangentModulus && m.HasBendingForces);
    EXPECT_FALSE(m.HasMembraneForces) << "extra text fails the exact test";
    EXPECT_FALSE(m.HasSoilForces) << "markers are case-sensitive";
    EXPECT_FALSE(m.HasTrussForces) << "only the first time step counts";
    EXPECT_EQ(m.StressPoints,
              (std::vector<std::string>{"Beam    3 (Point  2)", "Beam   12 (Point  1)"}));
    EXPECT_EQ(m.StressPointCount, 2);
    EXPECT_EQ(m.TangentPoints, std::vector<std::string>{"Beam    1 (Point  3)"});

    // A convergence line as the last line still gives the flags of the first step.
    const auto& last =
        ReadText(Lines({"PROGRAM 'VORAX', 1", "NDIM 3", "STATIC", "CONVERGENCE HAS BEEN OBTAINED.",
                        "  TIME = 1", "TOTAL DISPLACEMENTS.", "CONVERGENCE HAS BEEN OBTAINED."}));
    EXPECT_TRUE(last.Model.HasDisplacements);
    EXPECT_EQ(last.Model.TimeCount, 1);
}

// Counts are read only between the description and the node positions; a time that is
// no number reads as 0; missing landmarks are reported, read failures end the scan quietly.
TEST_F(ReadOutputFileTest, ThermalLandmarksAndFailures) {
    const struct {
        std::string body;
        int nodes, times;
        std::string message;
    } cases[] = {
        {Lines({"  -  THERE ARE   77 NODES.", "   DESCRIPTION OF THE STRUCTURE.  ",
                "  -  THERE ARE   12 NODES.", " POSITION OF THE NODES",
                "  -  THERE ARE   55 NODES.", "   TIME =   60.0", "x", "   TIME =   abc",
                "   TIME = 7.5"}),
         12, 3, ""},
        {Lines({"DESCRIPTION OF THE STRUCTURE.", "POSITION OF THE NODES", "  -  THERE ARE 9 NODES",
                "  TIME = 5"}),
         0, 1, ""},
        {Lines({"description of the structure.", "x"}), 0, 0,
         "The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue."},
        {Lines({"DESCRIPTION OF THE STRUCTURE.", " - THERE ARE 3 NODES"}), 3, 0,
         "The string POSITION OF THE NODES was not found. Cannot continue."},
        {Lines({"DESCRIPTION OF THE STRUCTURE.", "POSITION OF THE NODES"}), 0, 0, ""},
        {Lines({"DESCRIPTION OF THE STRUCTURE.", "  -  THERE ARE 8 NODES",
                "THERE ARE x SOLID ELEMENTS", "POSITION OF THE NODES", "  TIME = 5"}),
         8, 0, ""},
    };
    for (const auto& c : cases) {
        const std::string bytes =
            Lines({" PROGRAM 'VORAX' , 3.1", " NDIM 3", " TEMPERATURE ANALYSIS"}) + c.body;
        const auto& r = ReadText(bytes);
        EXPECT_EQ((std::vector<int>{r.Model.NodeCount, r.Model.TimeCount, r.Model.HasTemperatures}),
                  (std::vector<int>{c.nodes, c.times, c.times != 0}))
            << bytes;
        EXPECT_EQ(r.Host.MessageTexts(), c.message.empty() ? Texts{} : Texts{c.message}) << bytes;
        for (const auto& shown : r.Host.Messages) {
            EXPECT_EQ(shown.Icon, MsgIcon::Critical);
            EXPECT_EQ(shown.Kind, FailureKind::MissingBlock);
        }
        if (c.times == 3) {
            EXPECT_EQ(r.Model.Times[1].Time, 0.0f) << "a time that is no number reads as 0";
        }
    }
}

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

// Structural listings of both dimensions, and thermal ones whose last table line is full
// (10 and 5 nodes) or not (12, 1), with every line ending.
TEST(GeneratedListing, ScansGiveWhatTheGeneratorWrote) {
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

}  // namespace
}  // namespace vx
