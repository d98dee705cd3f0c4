#include <gtest/gtest.h>

#include "reader/Reader.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::FakeServices;
using test::TempDir;

using test::Lines;

struct Reading {
    OutputFileModel Model;
    FakeServices Host;
};

// Opens a listing as the window does: path set, model cleared, reader run.
void Read(Reading& r, const std::filesystem::path& file) {
    r.Model.FilePath = file.string();
    r.Model.Reset();
    auto services = r.Host.Get();
    ReadOutputFile(r.Model, services);
}

class ReadOutputFileTest : public ::testing::Test {
protected:
    Reading ReadText(const std::string& bytes) {
        Reading r;
        Read(r, m_dir.Write("listing.out", bytes));
        return r;
    }
    TempDir m_dir;
};

constexpr std::string_view kStructure = " DESCRIPTION OF THE STRUCTURE.";

TEST_F(ReadOutputFileTest, HeaderFoundWhereverItStands) {
    auto r = ReadText(Lines({"garbage before", " PROGRAM 'VORAX' ,  7.4.2  , build 9", "x",
                             " NDIM    3", "other", " STATIC ANALYSIS"}));
    EXPECT_EQ(r.Model.Version, "7.4.2");
    EXPECT_EQ(r.Model.Ndim, 3);
    EXPECT_EQ(r.Model.AnalysisType, AnalysisStatic);
    EXPECT_TRUE(r.Host.Messages.empty()) << r.Host.Messages[0].Text;
    EXPECT_EQ(r.Model.TimeCount, 0) << "no convergence line: no time step, no failure";
}

TEST_F(ReadOutputFileTest, KeywordRulesStartAtTheNdimLine) {
    auto kind = [&](std::initializer_list<std::string_view> lines) {
        return ReadText(Lines(lines)).Model.AnalysisType;
    };
    EXPECT_EQ(kind({"PROGRAM 'VORAX', 1", "NDIM 2 DYNAMIC"}), AnalysisDynamic);
    EXPECT_EQ(kind({"PROGRAM 'VORAX', 1", "NDIM 2 TEMPERAT", "DESCRIPTION"}), AnalysisThermal);
    EXPECT_EQ(kind({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC TEMPERATURE"}), AnalysisThermal);
    EXPECT_EQ(kind({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC AND DYNAMIC"}), AnalysisStatic);
    EXPECT_EQ(kind({"PROGRAM 'VORAX', 1", "STATIC", "NDIM 2", "dynamic", "DYNAMIC"}),
              AnalysisDynamic) << "keywords before NDIM and in lower case do not count";
}

TEST_F(ReadOutputFileTest, HeaderFailuresAreReportedAndKeepWhatWasRead) {
    struct Case {
        std::string bytes;
        std::string message;
    } cases[] = {
        {"", "Read File Error 62: Input past end of file"},
        {Lines({"no identification here"}), "Read File Error 62: Input past end of file"},
        {Lines({"PROGRAM 'VORAX' without comma", "NDIM 3", "STATIC"}),
         "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM = 3", "STATIC"}), "Read File Error 13: Type mismatch"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM"}), "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM 99999", "STATIC"}), "Read File Error 6: Overflow"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM 3", "no keyword"}),
         "Read File Error 62: Input past end of file"},
    };
    for (const auto& c : cases) {
        auto r = ReadText(c.bytes);
        ASSERT_EQ(r.Host.Messages.size(), 1u) << c.bytes;
        EXPECT_EQ(r.Host.Messages[0].Text, c.message) << c.bytes;
        EXPECT_EQ(r.Host.Messages[0].Icon, MsgIcon::Critical);
        EXPECT_EQ(r.Model.AnalysisType, AnalysisNone);
    }
    auto partial = ReadText(Lines({"PROGRAM 'VORAX', 5.1", "NDIM 3", "nothing"}));
    EXPECT_EQ(partial.Model.Version, "5.1");
    EXPECT_EQ(partial.Model.Ndim, 3);
}

TEST_F(ReadOutputFileTest, TorsionMissingAndEmptyPathAreRefused) {
    auto torsion = ReadText(Lines({"PROGRAM 'VORAX', 2.0", "NDIM 2", "TORSION"}));
    ASSERT_EQ(torsion.Host.Messages.size(), 1u);
    EXPECT_EQ(torsion.Host.Messages[0].Text, "Cannot read but temperature files");
    EXPECT_EQ(torsion.Host.Messages[0].Icon, MsgIcon::Information);
    EXPECT_EQ(torsion.Model.Version, "2.0");
    EXPECT_EQ(torsion.Model.AnalysisType, AnalysisTorsion);

    Reading none;
    Read(none, "");
    EXPECT_EQ(none.Host.MessageTexts(), std::vector<std::string>{"Cannot read but temperature files"});

    Reading missing;
    Read(missing, m_dir.Path() / "nowhere.out");
    EXPECT_EQ(missing.Host.MessageTexts(),
              std::vector<std::string>{"Read File Error 53: File not found"});
}

std::string StructuralEcho() {
    return Lines({" PROGRAM 'VORAX' , 7.4 , X", " NDIM    3", " DYNAMIC ANALYSIS",
                  "  -  THERE ARE      10 NODES.",
                  "  -  THERE ARE       4 BEAM ELEMENTS AND SHELL ELEMENTS",
                  "  -  THERE ARE       3 TRUSS ELEMENTS.", "  -  THERE ARE       2 SOIL ELEMENTS.",
                  " EACH OF THEM HAS     3 RESULT POINTS.", " GROUP OF GEOM. PROP.     1",
                  "  -  THERE ARE      99 NODES.  (inside the section: skipped)",
                  " THIS BEAM SECTION TYPE IS DISCRETIZED BY    4 LAYERS",
                  "     AND    12 LONGITUDINAL FIBERS.",
                  "     2 INTEGRATION POINTS ON THE AREA OF EACH SHELL ELEMENT.",
                  "   TIME =  999  (before the first convergence: not a step)"});
}

TEST_F(ReadOutputFileTest, StructuralScanCountsStepsBlocksAndLabels) {
    std::string bytes = StructuralEcho();
    bytes += Lines({"  CONVERGENCE HAS BEEN OBTAINED.  ", "   TIME =   0.60000E+02",
                    " TOTAL DISPLACEMENTS.", " INTERNAL SOLLICITATIONS IN THE BEAM ELEMENTS.",
                    " STRESSES IN N/mm\xB2 IN BEAM ELEMENT    3, POINT  2",
                    " STRESSES IN N/mm\xB2 IN BEAM ELEMENT   12, POINT  1",
                    " TANGENT MODULUS IN N/mm\xB2 IN BEAM ELEMENT    1, POINT  3",
                    " LOCAL STRESSES IN THE SHELL ELEMENTS [N/mm\xB2].",
                    "MEMBRANE FORCES Nx, Ny & Nxy IN THE SHELL ELEMENTS [kN/m] (extra)",
                    "BENDING FORCES Mx, My & Mxy IN THE SHELL ELEMENTS [kNm/m]",
                    " internal force in the soil elements.", "CONVERGENCE HAS BEEN OBTAINED.",
                    "   TIME =   120.5", " INTERNAL SOLLICITATIONS IN THE TRUSS ELEMENTS.",
                    " STRESSES IN N/mm\xB2 IN BEAM ELEMENT    9, POINT  9",
                    "CONVERGENCE HAS BEEN OBTAINED."});
    const std::string lastLine = "   TIME =  1.8E2";
    bytes += lastLine;  // a time line at the very end, without a terminator
    auto r = ReadText(bytes);
    const auto& m = r.Model;
    EXPECT_TRUE(r.Host.Messages.empty()) << r.Host.Messages[0].Text;
    EXPECT_EQ(m.NodeCount, 10);
    EXPECT_EQ(m.BeamCount, 4);
    EXPECT_EQ(m.ShellCount, 4) << "one line may set two counts";
    EXPECT_EQ(m.TrussCount, 3);
    EXPECT_EQ(m.SoilCount, 2);
    EXPECT_EQ(m.BeamPointCount, 3);
    EXPECT_EQ(m.FiberCount, 12);
    EXPECT_EQ(m.ShellSurfaceCount, 2);

    ASSERT_EQ(m.TimeCount, 3);
    ASSERT_EQ(m.Times.size(), 3u);
    EXPECT_EQ(m.Times[0].Time, 60.0f);
    EXPECT_EQ(m.Times[1].Time, 120.5f);
    EXPECT_EQ(m.Times[2].Time, 180.0f);
    EXPECT_EQ(m.Times[2].Position, static_cast<std::int64_t>(bytes.size()));
    // Each position is the start of the line after the time line.
    for (int i = 0; i < 2; ++i) {
        auto pos = static_cast<std::size_t>(m.Times[static_cast<std::size_t>(i)].Position);
        EXPECT_EQ(bytes.substr(pos - 2, 2), "\r\n");
        auto lineStart = bytes.rfind("\r\n", pos - 3) + 2;
        EXPECT_NE(bytes.substr(lineStart, pos - 2 - lineStart).find("  TIME ="), std::string::npos);
    }

    EXPECT_TRUE(m.HasDisplacements);
    EXPECT_TRUE(m.HasBeamForces);
    EXPECT_TRUE(m.HasBeamStresses);
    EXPECT_TRUE(m.HasBeamTangentModulus);
    EXPECT_FALSE(m.HasMembraneForces) << "extra text fails the exact test";
    EXPECT_TRUE(m.HasBendingForces);
    EXPECT_FALSE(m.HasSoilForces) << "markers are case-sensitive";
    EXPECT_FALSE(m.HasTrussForces) << "only the first time step counts";
    EXPECT_EQ(m.StressPoints, (std::vector<std::string>{"Beam    3 (Point  2)", "Beam   12 (Point  1)"}));
    EXPECT_EQ(m.StressPointCount, 2);
    EXPECT_EQ(m.TangentPoints, std::vector<std::string>{"Beam    1 (Point  3)"});
    EXPECT_EQ(m.TangentPointCount, 1);

    ASSERT_FALSE(r.Host.Reports.empty());
    EXPECT_EQ(r.Host.Reports.front().Text, "Reading input...");
    EXPECT_EQ(r.Host.Reports.back().Text, "Reading times...");
    EXPECT_FLOAT_EQ(r.Host.Reports.back().Fraction, 1.0f);
}

TEST_F(ReadOutputFileTest, StructuralFailuresStopTheScanAndKeepEarlierFields) {
    auto r = ReadText(Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC", "THERE ARE NODES",
                             "  -  THERE ARE   4 BEAM ELEMENTS", "CONVERGENCE HAS BEEN OBTAINED."}));
    EXPECT_EQ(r.Host.MessageTexts(), std::vector<std::string>{"Read File Error 9: Subscript out of range"})
        << "word 3 of a three-word count line is missing";

    auto shortTime = ReadText(Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC",
                                     "  -  THERE ARE  4 BEAM ELEMENTS",
                                     "CONVERGENCE HAS BEEN OBTAINED.", "   TIME ="}));
    EXPECT_EQ(shortTime.Host.MessageTexts(),
              std::vector<std::string>{"Read File Error 9: Subscript out of range"});
    EXPECT_EQ(shortTime.Model.BeamCount, 4);
    EXPECT_EQ(shortTime.Model.TimeCount, 0);
}

TEST_F(ReadOutputFileTest, ConvergenceAsLastLineStillGivesFlagsOfTheFirstStep) {
    std::string bytes = Lines({"PROGRAM 'VORAX', 1", "NDIM 3", "STATIC", "CONVERGENCE HAS BEEN OBTAINED.",
                               "  TIME = 1", "TOTAL DISPLACEMENTS.", "CONVERGENCE HAS BEEN OBTAINED."});
    auto r = ReadText(bytes);
    EXPECT_TRUE(r.Model.HasDisplacements);
    EXPECT_EQ(r.Model.TimeCount, 1);
}

std::string ThermalListing(std::initializer_list<std::string_view> body) {
    std::string bytes = Lines({" PROGRAM 'VORAX' , 3.1", " NDIM 3", " TEMPERATURE ANALYSIS"});
    bytes += Lines(body);
    return bytes;
}

TEST_F(ReadOutputFileTest, ThermalScanIndexesStepsBetweenItsLandmarks) {
    auto r = ReadText(ThermalListing({"  -  THERE ARE   77 NODES. (before the description)",
                                      "   DESCRIPTION OF THE STRUCTURE.  ",
                                      "  -  THERE ARE   12 NODES.", "  -  THERE ARE    4 SOLID ELEMENTS.",
                                      " POSITION OF THE NODES", "  -  THERE ARE   55 NODES. (ignored)",
                                      "   TIME =   60.0", "x", "   TIME =   abc", "   TIME = 7.5"}));
    EXPECT_TRUE(r.Host.Messages.empty());
    EXPECT_EQ(r.Model.NodeCount, 12);
    EXPECT_EQ(r.Model.SolidCount, 4);
    ASSERT_EQ(r.Model.TimeCount, 3);
    EXPECT_EQ(r.Model.Times[1].Time, 0.0f) << "a time that is no number reads as 0";
    EXPECT_TRUE(r.Model.HasTemperatures);
}

TEST_F(ReadOutputFileTest, ThermalLandmarksAndFailures) {
    auto noDescription = ReadText(ThermalListing({"description of the structure.", "x"}));
    EXPECT_EQ(noDescription.Host.MessageTexts(),
              std::vector<std::string>{"The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue."});
    EXPECT_EQ(noDescription.Host.Messages[0].Icon, MsgIcon::Critical);

    auto noPositions = ReadText(ThermalListing({"DESCRIPTION OF THE STRUCTURE.", " - THERE ARE 3 NODES"}));
    EXPECT_EQ(noPositions.Model.NodeCount, 3);
    EXPECT_EQ(noPositions.Host.MessageTexts(),
              std::vector<std::string>{"The string POSITION OF THE NODES was not found. Cannot continue."});

    auto immediate = ReadText(ThermalListing({"DESCRIPTION OF THE STRUCTURE.", "POSITION OF THE NODES",
                                              "  -  THERE ARE 9 NODES", "  TIME = 5"}));
    EXPECT_EQ(immediate.Model.NodeCount, 0);
    EXPECT_EQ(immediate.Model.TimeCount, 1);

    auto noTimes = ReadText(ThermalListing({"DESCRIPTION OF THE STRUCTURE.", "POSITION OF THE NODES"}));
    EXPECT_TRUE(noTimes.Host.Messages.empty());
    EXPECT_FALSE(noTimes.Model.HasTemperatures);

    // Read failures end the thermal scan quietly, with no time step.
    auto badCount = ReadText(ThermalListing({"DESCRIPTION OF THE STRUCTURE.", "  -  THERE ARE 8 NODES",
                                             "THERE ARE x SOLID ELEMENTS", "POSITION OF THE NODES",
                                             "  TIME = 5"}));
    EXPECT_TRUE(badCount.Host.Messages.empty());
    EXPECT_EQ(badCount.Model.NodeCount, 8);
    EXPECT_EQ(badCount.Model.TimeCount, 0);
    EXPECT_FALSE(badCount.Model.HasTemperatures);
}

TEST_F(ReadOutputFileTest, TooManyTimeStepsOverflowTheStepCounter) {
    std::string bytes = Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "DYNAMIC", "CONVERGENCE HAS BEEN OBTAINED."});
    for (int i = 0; i < 32766; ++i) bytes += "  TIME = 1\n";
    auto fits = ReadText(bytes);
    EXPECT_TRUE(fits.Host.Messages.empty());
    EXPECT_EQ(fits.Model.TimeCount, 32766);

    bytes += "  TIME = 2\n";
    auto overflows = ReadText(bytes);
    EXPECT_EQ(overflows.Host.MessageTexts(), std::vector<std::string>{"Read File Error 6: Overflow"});
    EXPECT_EQ(overflows.Model.TimeCount, 0);
}

}  // namespace
}  // namespace vx
