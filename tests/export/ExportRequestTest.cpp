#include "export/ExportRequest.h"

#include <gtest/gtest.h>

#include "export/VariableCatalogue.h"

namespace vx {
namespace {

std::vector<std::int16_t> Vectors(std::string_view from, std::string_view to, std::string_view step,
                                  std::string_view variable = "Displacements") {
    std::vector<std::int16_t> vectors = {99};
    std::string reason;
    if (!BuildVectors(variable, from, to, step, vectors, reason)) return {};
    return vectors;
}

TEST(BuildVectors, CountFromTheDifferenceThenStepFromFrom) {
    using V = std::vector<std::int16_t>;
    EXPECT_EQ(Vectors("1", "10", "3"), (V{1, 4, 7, 10}));
    EXPECT_EQ(Vectors("5", "5", "1"), (V{5}));
    EXPECT_EQ(Vectors("8", "3", "-1"), (V{8, 7, 6, 5, 4, 3}));
    EXPECT_EQ(Vectors("1", "10", "4"), (V{1, 5, 9})) << "the count truncates toward zero";
    EXPECT_EQ(Vectors("1.5", "4", "1"), (V{2, 3, 4})) << "2.5 rounds to 2: three vectors, 2 to 4";
    EXPECT_EQ(Vectors("x", "y", "z", "Eigen Values"), (V{1})) << "the boxes play no part";
    EXPECT_EQ(Vectors("1", "3", "1.5"), (V{1, 3})) << "Step 1.5 rounds to 2";
}

TEST(BuildVectors, RunsThatEndSilentlyGiveTheirReason) {
    struct Case {
        const char *from, *to, *step, *says;
    } cases[] = {
        {"1", "10", "0.4", "Step 0"},  // rounds to 0: no division by it
        {"1", "32768", "1", "between 1 and 32767"},
        {"1", "10", "40000", "cannot be used: Overflow"},
        {"2147483648", "0", "-1", "between 1 and 32767"},  // -2147483648 / -1 is no 32-bit number
    };
    for (const auto& c : cases) {
        std::vector<std::int16_t> vectors = {42};
        std::string reason;
        EXPECT_FALSE(BuildVectors("Displacements", c.from, c.to, c.step, vectors, reason))
            << c.says;
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
        EXPECT_EQ(vectors, std::vector<std::int16_t>{42}) << "the previous list stays";
    }
}

TEST(BuildSelectedTimes, HiddenTextsInListOrder) {
    std::vector<std::int16_t> times = {7};
    std::string reason;
    EXPECT_FALSE(BuildSelectedTimes({}, times, reason));
    EXPECT_FALSE(BuildSelectedTimes({"1", "two"}, times, reason));
    EXPECT_EQ(times, std::vector<std::int16_t>{7}) << "the previous list stays";
    ASSERT_TRUE(BuildSelectedTimes({"3", "1", "3"}, times, reason));
    EXPECT_EQ(times, (std::vector<std::int16_t>{3, 1, 3}));
}

TEST(VariableCatalogue, OffersWhatTheListingHolds) {
    OutputFileModel m;
    m.AnalysisType = AnalysisDynamic;
    m.Ndim = 3;
    m.HasDisplacements = m.HasBeamForces = m.HasMembraneForces = true;
    m.BeamPointCount = 3;
    m.ShellSurfaceCount = 2;
    std::vector<std::string> names;
    for (const auto& v : OfferedVariables(m)) names.push_back(v.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"Displacements", "Eigen Values", "Beam Axial Force",
                                               "Beam Bending Moment My", "Beam Bending Moment Mz",
                                               "Beam Bending Moment Mw", "Membrane Force Nx",
                                               "Membrane Force Ny", "Membrane Force Nxy",
                                               "Membrane Force N1", "Membrane Force N2"}));
    auto offered = OfferedVariables(m);
    EXPECT_EQ(offered[0].VectorKinds.size(), 7u);
    EXPECT_EQ(offered[3].VectorKinds, (std::vector<std::string>{"My1", "My2", "My3"}));
    EXPECT_EQ(offered[6].VectorKinds, (std::vector<std::string>{"Surface 1", "Surface 2"}));

    m.Ndim = 2;
    offered = OfferedVariables(m);
    EXPECT_EQ(offered[0].VectorKinds, (std::vector<std::string>{"DOF1", "DOF2", "DOF3"}));
    EXPECT_EQ(offered[3].Name, "Beam Bending Moment");
    EXPECT_EQ(offered[3].VectorKinds, (std::vector<std::string>{"M1", "M2", "M3"}));

    m.AnalysisType = AnalysisTorsion;
    EXPECT_TRUE(OfferedVariables(m).empty());
    EXPECT_FALSE(ReadyToSave("", "1", "1", "1", 1, m)) << "nothing chosen: bound 0";
    EXPECT_TRUE(ReadyToSave("Eigen Values", "", "", "", 0, m)) << "needs no range and no time";
}

}  // namespace
}  // namespace vx
