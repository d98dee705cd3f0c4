// Hand-written listings for the rules that generated listings never exercise: odd
// headers, markers that almost match, the landmarks of the thermal scan and failures.
#include <gtest/gtest.h>

#include "reader/Reader.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

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
    const struct {
        std::string bytes;
        std::int16_t kind;
        std::string version, message;
        MsgIcon icon = MsgIcon::Critical;
    } cases[] = {
        // The keyword rules start at the NDIM line; no convergence line is no failure.
        {Lines({"PROGRAM 'VORAX' ,  7.4.2  , build 9", "NDIM 2 DYNAMIC"}), AnalysisDynamic, "7.4.2",
         ""},
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC TEMPERATURE"}), AnalysisThermal, "1",
         "The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue."},
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC AND DYNAMIC"}), AnalysisStatic, "1", ""},
        {Lines({"PROGRAM 'VORAX', 1", "STATIC", "NDIM 2", "dynamic", "DYNAMIC"}), AnalysisDynamic,
         "1", ""},
        {Lines({"PROGRAM 'VORAX', 2.0", "NDIM 2", "TORSION"}), AnalysisTorsion, "2.0",
         "Cannot read but temperature files", MsgIcon::Information},
        // Failures keep what was read before them.
        {Lines({"PROGRAM 'VORAX' without comma", "NDIM 3", "STATIC"}), AnalysisNone, "",
         "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM = 3", "STATIC"}), AnalysisNone, "5",
         "Read File Error 13: Type mismatch"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM"}), AnalysisNone, "5",
         "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 5", "NDIM 99999", "STATIC"}), AnalysisNone, "5",
         "Read File Error 6: Overflow"},
        {Lines({"PROGRAM 'VORAX', 5.1", "NDIM 3", "no keyword"}), AnalysisNone, "5.1",
         "Read File Error 62: Input past end of file"},
        // Failures of the structural scan: word 3 of a count line, word 2 of a time line.
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC", "THERE ARE NODES",
                "CONVERGENCE HAS BEEN OBTAINED."}),
         AnalysisStatic, "1", "Read File Error 9: Subscript out of range"},
        {Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "STATIC", "CONVERGENCE HAS BEEN OBTAINED.",
                "   TIME ="}),
         AnalysisStatic, "1", "Read File Error 9: Subscript out of range"},
    };
    for (const auto& c : cases) {
        const auto& r = ReadText(c.bytes);
        EXPECT_EQ(r.Model.AnalysisType, c.kind) << c.bytes;
        EXPECT_EQ(r.Model.Version, c.version) << c.bytes;
        EXPECT_EQ(r.Host.MessageTexts(), c.message.empty() ? Texts{} : Texts{c.message}) << c.bytes;
        for (const auto& shown : r.Host.Messages) EXPECT_EQ(shown.Icon, c.icon) << c.bytes;
    }
    EXPECT_EQ(ReadText(Lines({"PROGRAM 'VORAX', 5.1", "NDIM 3", "nothing"})).Model.Ndim, 3);

    m_read.Open("");  // no file chosen
    EXPECT_EQ(m_read.Host.MessageTexts(), Texts{"Cannot read but temperature files"});
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
        for (const auto& shown : r.Host.Messages) EXPECT_EQ(shown.Icon, MsgIcon::Critical);
        if (c.times == 3) {
            EXPECT_EQ(r.Model.Times[1].Time, 0.0f) << "a time that is no number reads as 0";
        }
    }
}

}  // namespace
}  // namespace vx
