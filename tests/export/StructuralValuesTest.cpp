#include "export/StructuralValues.h"

#include <gtest/gtest.h>

#include "reader/Reader.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::FakeServices;
using test::TempDir;

std::string Lines(std::initializer_list<std::string_view> lines) {
    std::string bytes;
    for (auto l : lines) (bytes += l) += "\r\n";
    return bytes;
}

// A 2D static listing with two steps, written by hand so that every value tells where
// it came from: step s, record r, column c holds s.rc (s = 1 or 2).
std::string HandListing() {
    std::string bytes = Lines({" PROGRAM 'VORAX' , 1.0", " NDIM 2", " STATIC",
                               "  -  THERE ARE   3 NODES.", "  -  THERE ARE   2 BEAM ELEMENTS.",
                               " EACH OF THEM HAS  2 POINTS.", "     AND   7 LONGITUDINAL FIBERS.",
                               "  -  THERE ARE   2 SHELL ELEMENTS.",
                               "     2 INTEGRATION POINTS ON THE AREA OF EACH SHELL ELEMENT."});
    for (int s = 1; s <= 2; ++s) {
        std::string S = std::to_string(s);
        bytes += Lines({"CONVERGENCE HAS BEEN OBTAINED.", "   TIME =  " + S + "0.0"});
        bytes += Lines({" TOTAL DISPLACEMENTS.",
                        " NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7",
                        "   1  " + S + ".11  " + S + ".12  " + S + ".13",
                        "   2  " + S + ".21  " + S + ".22",  // no DOF 3: stays 0
                        "   3  " + S + ".31  " + S + ".32  -0." + S + "234E+02"});
        bytes += Lines({" RELATIVE EIGEN VALUE OF THE STIFFNESS MATRIX  0." + S + "5"});
        bytes += Lines({" INTERNAL SOLLICITATIONS IN THE BEAM ELEMENTS.", " ELEM. PT.    N           M",
                        "  1  1  " + S + ".111  " + S + ".112", "  1  2  " + S + ".121  " + S + ".122",
                        "  2  1  " + S + ".211  " + S + ".212", "  2  2  " + S + ".221  " + S + ".222"});
        if (s == 1) {  // the second step lacks its stress blocks: the reader takes later ones
            bytes += Lines({" STRESSES IN N/mm\xB2 IN BEAM ELEMENT  1, POINT  1", "", " FIBER STRESS", " ---",
                            " 1 1.1 2 1.2 3 1.3 4 1.4 5 1.5", " 6 1.6 7 1.7",
                            " STRESSES IN N/mm\xB2 IN BEAM ELEMENT  2, POINT  2", "", " FIBER STRESS", " ---",
                            " 1 2.1 2 2.2 3 2.3 4 2.4 5 2.5", " 6 2.6 7 2.7"});
        }
        bytes += Lines({"MEMBRANE FORCES Nx, Ny & Nxy IN THE SHELL ELEMENTS [kN/m]", "titles", "units",
                        " ELEM 1 SURF 1 Nx= " + S + ".111 Ny= 0 Nxy= 0 N1= 0 N2= " + S + ".115",
                        " ELEM 1 SURF 2 Nx= " + S + ".121 Ny= 0 Nxy= 0 N1= 0 N2= " + S + ".125",
                        " ELEM 2 SURF 1 Nx= " + S + ".211 Ny= 0 Nxy= 0 N1= 0 N2= " + S + ".215",
                        " ELEM 2 SURF 2 Nx= " + S + ".221 Ny= 0 Nxy= 0 N1= 0 N2= " + S + ".225"});
    }
    bytes += Lines({"CONVERGENCE HAS BEEN OBTAINED.", "   TIME =  30.0",
                    " STRESSES IN N/mm\xB2 IN BEAM ELEMENT  1, POINT  1", "", "", "",
                    " 1 3.1 2 3.2 3 3.3 4 3.4 5 3.5", " 6 3.6 7 3.7"});
    return bytes;
}

class StructuralValuesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_model.FilePath = m_dir.Write("hand.out", HandListing()).string();
        auto services = m_host.Get();
        ReadOutputFile(m_model, services);
        ASSERT_TRUE(m_host.Messages.empty()) << m_host.Messages[0].Text;
        ASSERT_EQ(m_model.TimeCount, 3);
    }

    const ValueTable& Read(std::string_view variable, std::int16_t kind, std::vector<std::int16_t> steps) {
        ExtractionRequest request;
        request.Variable = std::string(variable);
        request.VectorKindIndex = kind;
        request.SelectedTimes = std::move(steps);
        m_host.Messages.clear();
        m_host.Reports.clear();
        auto services = m_host.Get();
        ReadStructuralValues(m_model, request, m_table, services);
        return m_table;
    }

    TempDir m_dir;
    OutputFileModel m_model;
    FakeServices m_host;
    ValueTable m_table;
};

TEST_F(StructuralValuesTest, DisplacementsReadTheChosenDofOfEveryNode) {
    const auto& table = Read("Displacements", 2, {2, 1});  // DOF3, steps in reverse order
    EXPECT_TRUE(m_host.Messages.empty());
    ASSERT_EQ(table.Rows(), 3);
    ASSERT_EQ(table.Columns(), 2);
    EXPECT_FLOAT_EQ(table.At(1, 1), 2.13f);
    EXPECT_EQ(table.At(2, 1), 0.0f) << "a line with too few words leaves the entry 0";
    EXPECT_FLOAT_EQ(table.At(3, 1), -22.34f) << "exponent form is read whole";
    EXPECT_FLOAT_EQ(table.At(1, 2), 1.13f);
    ASSERT_EQ(m_host.Reports.size(), 2u);
    EXPECT_EQ(m_host.Reports[0].Text, "Reading Displacements...");
    EXPECT_FLOAT_EQ(m_host.Reports[0].Fraction, 0.5f);
}

TEST_F(StructuralValuesTest, EigenValueIsWordSevenOfTheHeaderLine) {
    const auto& table = Read("Eigen Values", -1, {1, 2, 2});
    ASSERT_EQ(table.Rows(), 1);
    EXPECT_FLOAT_EQ(table.At(1, 1), 0.15f);
    EXPECT_FLOAT_EQ(table.At(1, 2), 0.25f);
    EXPECT_FLOAT_EQ(table.At(1, 3), 0.25f) << "the same step twice fills two columns";
}

TEST_F(StructuralValuesTest, BeamAndShellRecordsFollowLeadAndStride) {
    const auto& axial = Read("Beam Axial Force", 1, {1});  // point 2 of each element
    EXPECT_FLOAT_EQ(axial.At(1, 1), 1.121f);
    EXPECT_FLOAT_EQ(axial.At(2, 1), 1.221f);
    const auto& moment = Read("Beam Bending Moment", 0, {2});
    EXPECT_FLOAT_EQ(moment.At(1, 1), 2.112f);
    EXPECT_FLOAT_EQ(moment.At(2, 1), 2.212f);
    const auto& nx = Read("Membrane Force Nx", 1, {1});  // surface 2
    EXPECT_FLOAT_EQ(nx.At(1, 1), 1.121f);
    EXPECT_FLOAT_EQ(nx.At(2, 1), 1.221f);
    const auto& n2 = Read("Membrane Force N2", 0, {2});
    EXPECT_FLOAT_EQ(n2.At(1, 1), 2.115f);
    EXPECT_FLOAT_EQ(n2.At(2, 1), 2.215f);
}

TEST_F(StructuralValuesTest, FibrePairsAndTheChosenBlockOfTheStep) {
    const auto& first = Read("Beam Stresses", 0, {1});
    ASSERT_EQ(first.Rows(), 7);
    for (int f = 1; f <= 7; ++f) EXPECT_FLOAT_EQ(first.At(f, 1), 1.0f + 0.1f * static_cast<float>(f));
    const auto& second = Read("Beam Stresses", 1, {1});
    EXPECT_FLOAT_EQ(second.At(7, 1), 2.7f) << "entry 1 reads the second block of the step";
    // Step 2 has no stress block: the search runs on into step 3.
    const auto& later = Read("Beam Stresses", 0, {2});
    EXPECT_FLOAT_EQ(later.At(1, 1), 3.1f);
    EXPECT_TRUE(m_host.Messages.empty());
}

TEST_F(StructuralValuesTest, AMissingBlockToTheEndIsReportedAndKeepsEarlierColumns) {
    const auto& table = Read("Beam Stresses", 1, {1, 2});  // no second block after step 2
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"62: Input past end of file"});
    EXPECT_EQ(m_host.Messages[0].Icon, MsgIcon::None);
    EXPECT_FLOAT_EQ(table.At(1, 1), 2.1f);
    EXPECT_EQ(table.At(1, 2), 0.0f);
}

TEST_F(StructuralValuesTest, AbortStopsBeforeTheNextStep) {
    m_host.OnProgress = [&](std::size_t) { m_host.AbortRequested = true; };
    const auto& table = Read("Displacements", 0, {1, 2});
    EXPECT_EQ(m_host.Reports.size(), 1u);
    EXPECT_FLOAT_EQ(table.At(1, 1), 1.11f) << "the step under way is read to its end";
    EXPECT_EQ(table.At(1, 2), 0.0f);
}

TEST_F(StructuralValuesTest, RequestsThatCannotBeSizedOrIndexedFail) {
    Read("Displacements", 0, {});
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"9: Subscript out of range"});
    Read("Displacements", 0, {4});
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"9: Subscript out of range"});
    m_model.NodeCount = 40000;
    const auto& table = Read("Displacements", 0, {1});
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"6: Overflow"});
    EXPECT_EQ(table.At(1, 1), 0.0f) << "more than 32767 records: nothing is read";
}

}  // namespace
}  // namespace vx
