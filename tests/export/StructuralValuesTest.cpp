// What the plain values of every variable are is checked end to end against the
// generator (tests/app CliEndToEndTest) and against a plain reading
// (ExtractionEquivalenceTest); here, how the fibre blocks of a step are found.
#include "export/StructuralValues.h"

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

// A 2D static listing with three steps, written by hand: fibre f of the k-th stress block
// holds k.f; the second step has no stress block, the third only one. Node n of the
// first step's displacements holds 1.n1.
std::string HandListing() {
    return Lines({" PROGRAM 'VORAX' , 1.0", " NDIM 2", " STATIC", "  -  THERE ARE   3 NODES.",
                  "     AND   7 LONGITUDINAL FIBERS.", "CONVERGENCE HAS BEEN OBTAINED.", "   TIME =  10.0",
                  " TOTAL DISPLACEMENTS.", " NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7",
                  "   1  1.11", "   2  1.21", "   3  1.31",
                  " STRESSES IN N/mm\xB2 IN BEAM ELEMENT  1, POINT  1", "", " FIBER STRESS", " ---",
                  " 1 1.1 2 1.2 3 1.3 4 1.4 5 1.5", " 6 1.6 7 1.7",
                  " STRESSES IN N/mm\xB2 IN BEAM ELEMENT  2, POINT  2", "", " FIBER STRESS", " ---",
                  " 1 2.1 2 2.2 3 2.3 4 2.4 5 2.5", " 6 2.6 7 2.7", "CONVERGENCE HAS BEEN OBTAINED.",
                  "   TIME =  20.0", " TOTAL DISPLACEMENTS.", "CONVERGENCE HAS BEEN OBTAINED.", "   TIME =  30.0",
                  " STRESSES IN N/mm\xB2 IN BEAM ELEMENT  1, POINT  1", "", "", "",
                  " 1 3.1 2 3.2 3 3.3 4 3.4 5 3.5", " 6 3.6 7 3.7"});
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

TEST_F(StructuralValuesTest, FailuresAreReportedWithoutIconAndKeepEarlierColumns) {
    const auto& table = Read("Beam Stresses", 1, {1, 2});  // no second block after step 2
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"62: Input past end of file"});
    EXPECT_EQ(m_host.Messages[0].Icon, MsgIcon::None);
    EXPECT_FLOAT_EQ(table.At(1, 1), 2.1f);
    EXPECT_EQ(table.At(1, 2), 0.0f);

    Read("Displacements", 0, {});  // no time: no table can be made
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"9: Subscript out of range"});
    m_model.NodeCount = 40000;
    EXPECT_EQ(Read("Displacements", 0, {1}).At(1, 1), 0.0f) << "more than 32767 records: nothing is read";
    EXPECT_EQ(m_host.MessageTexts(), std::vector<std::string>{"6: Overflow"});
}

}  // namespace
}  // namespace vx
