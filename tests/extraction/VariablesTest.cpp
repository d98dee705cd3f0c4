// The table of variables against the catalogue as the window's lists present it: for each
// of the 23 names, when a listing offers it, what its range counts, its vector kinds, the
// upper bound of From and To and how the sheet labels its items, written out here once
// more by hand. Where each variable's values stand in a block is checked against
// generated listings of every block (CliEndToEnd).
#include "extraction/Variables.h"

#include <gtest/gtest.h>

#include <functional>

namespace vx {
namespace {

using Names = std::vector<std::string>;

// A listing whose counts all differ, so that a bound taken from the wrong count shows.
OutputFileModel Counts(std::int16_t analysis, std::int16_t ndim) {
    OutputFileModel m;
    m.AnalysisType = analysis;
    m.Ndim = ndim;
    m.NodeCount = 101;
    m.TrussCount = 102;
    m.BeamCount = 103;
    m.ShellCount = 104;
    m.SoilCount = 105;
    m.FiberCount = 106;
    m.BeamPointCount = 3;
    m.ShellSurfaceCount = 2;
    m.StressPoints = {"Beam    1 (Point  1)", "Beam    2 (Point  3)"};
    m.StressPointCount = 2;
    m.TangentPoints = {"Beam    4 (Point  2)"};
    m.TangentPointCount = 1;
    return m;
}

struct Row {
    const char* Name;
    bool OutputFileModel::*Flag;  // the block of the first step that offers it
    int Dims;                     // 0 any, 2 only when Ndim is 2, 3 only when it is not
    const char* Caption;
    const char* Label;
    Names Kinds;  // in a three-dimensional listing of Counts()
    int Bound;
};

const std::vector<Row>& Catalogue() {
    using M = OutputFileModel;
    const Names surfaces = {"Surface 1", "Surface 2"};
    static const std::vector<Row> rows = {
        {"Temperature", &M::HasTemperatures, 0, "Nodes", "Node", {}, 101},
        {"Displacements",
         &M::HasDisplacements,
         0,
         "Nodes",
         "Node",
         {"DOF1", "DOF2", "DOF3", "DOF4", "DOF5", "DOF6", "DOF7"},
         101},
        {"Eigen Values", &M::HasDisplacements, 0, "Nodes", "Value", {}, 0},
        {"Truss Axial Force", &M::HasTrussForces, 0, "Trusses", "Truss", {}, 102},
        {"Beam Axial Force", &M::HasBeamForces, 0, "Beams", "Beam", {"N1", "N2", "N3"}, 103},
        {"Beam Bending Moment My",
         &M::HasBeamForces,
         3,
         "Beams",
         "Beam",
         {"My1", "My2", "My3"},
         103},
        {"Beam Bending Moment Mz",
         &M::HasBeamForces,
         3,
         "Beams",
         "Beam",
         {"Mz1", "Mz2", "Mz3"},
         103},
        {"Beam Bending Moment Mw",
         &M::HasBeamForces,
         3,
         "Beams",
         "Beam",
         {"Mw1", "Mw2", "Mw3"},
         103},
        {"Beam Bending Moment", &M::HasBeamForces, 2, "Beams", "Beam", {"M1", "M2", "M3"}, 103},
        {"Beam Stresses",
         &M::HasBeamStresses,
         0,
         "Fibers",
         "Fiber",
         {"Beam    1 (Point  1)", "Beam    2 (Point  3)"},
         106},
        {"Beam Tangent Modulus",
         &M::HasBeamTangentModulus,
         0,
         "Fibers",
         "Fiber",
         {"Beam    4 (Point  2)"},
         106},
        {"Membrane Force Nx", &M::HasMembraneForces, 0, "Shells", "Shell", surfaces, 104},
        {"Membrane Force Ny", &M::HasMembraneForces, 0, "Shells", "Shell", surfaces, 104},
        {"Membrane Force Nxy", &M::HasMembraneForces, 0, "Shells", "Shell", surfaces, 104},
        {"Membrane Force N1", &M::HasMembraneForces, 0, "Shells", "Shell", surfaces, 104},
        {"Membrane Force N2", &M::HasMembraneForces, 0, "Shells", "Shell", surfaces, 104},
        {"Bending Force Mx", &M::HasBendingForces, 0, "Shells", "Shell", surfaces, 104},
        {"Bending Force My", &M::HasBendingForces, 0, "Shells", "Shell", surfaces, 104},
        {"Bending Force Mxy", &M::HasBendingForces, 0, "Shells", "Shell", surfaces, 104},
        {"Bending Force M1", &M::HasBendingForces, 0, "Shells", "Shell", surfaces, 104},
        {"Bending Force M2", &M::HasBendingForces, 0, "Shells", "Shell", surfaces, 104},
        {"Soil Axial Force Nx", &M::HasSoilForces, 0, "Soils", "Soil", {}, 105},
        {"Soil Pressure", &M::HasSoilForces, 0, "Soils", "Soil", {}, 105},
    };
    return rows;
}

TEST(Variables, EachRowIsTheCataloguesInTheWindowsOrder) {
    const auto table = AllVariables();
    ASSERT_EQ(table.size(), Catalogue().size());
    const OutputFileModel m = Counts(AnalysisDynamic, 3);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Row& row = Catalogue()[i];
        SCOPED_TRACE(row.Name);
        EXPECT_EQ(table[i].Name, row.Name);
        OfferedVariable v;
        ASSERT_TRUE(DescribeVariable(row.Name, m, v));
        EXPECT_EQ(v.RangeCaption, row.Caption);
        EXPECT_EQ(RecordLabel(row.Name), row.Label);
        EXPECT_EQ(VectorLabel(row.Name, 7), std::string(row.Label) + " 7");
        EXPECT_EQ(v.VectorKinds, row.Kinds);
        EXPECT_EQ(v.Bound, row.Bound);
        EXPECT_EQ(v.NeedsRange, row.Bound != 0);
        EXPECT_EQ(UpperBound(row.Name, m), row.Bound);
    }
    OfferedVariable none;
    EXPECT_FALSE(DescribeVariable("displacements", m, none)) << "names are exact";
    EXPECT_EQ(UpperBound("", m), 0) << "nothing chosen: bound 0";
    EXPECT_EQ(RecordLabel("Beam"), "");
}

// Each block flag alone, in each kind of listing and number of dimensions, offers exactly
// its rows, in the catalogue's order.
TEST(Variables, OfferedExactlyWhenTheListingHoldsTheirBlock) {
    using M = OutputFileModel;
    for (std::int16_t analysis :
         {AnalysisNone, AnalysisThermal, AnalysisStatic, AnalysisTorsion, AnalysisDynamic}) {
        for (std::int16_t ndim : {2, 3, 4}) {
            for (bool M::*flag : {&M::HasTemperatures, &M::HasDisplacements, &M::HasTrussForces,
                                  &M::HasBeamForces, &M::HasBeamStresses, &M::HasBeamTangentModulus,
                                  &M::HasMembraneForces, &M::HasBendingForces, &M::HasSoilForces}) {
                OutputFileModel m = Counts(analysis, ndim);
                m.*flag = true;
                Names expected, offered;
                for (const Row& row : Catalogue()) {
                    const bool thermal = row.Flag == &M::HasTemperatures;
                    const bool kind =
                        thermal ? analysis == AnalysisThermal
                                : analysis == AnalysisStatic || analysis == AnalysisDynamic;
                    const bool dims = row.Dims == 0 || (row.Dims == 2) == (ndim == 2);
                    if (row.Flag == flag && kind && dims) expected.push_back(row.Name);
                }
                for (const auto& v : OfferedVariables(m)) offered.push_back(v.Name);
                EXPECT_EQ(offered, expected) << "analysis " << analysis << ", ndim " << ndim;
            }
        }
    }
}

// The kinds that depend on the dimensions, and a node count beyond 16 bits.
TEST(Variables, DimensionsAndLargeCounts) {
    OutputFileModel m = Counts(AnalysisStatic, 2);
    OfferedVariable v;
    DescribeVariable("Displacements", m, v);
    EXPECT_EQ(v.VectorKinds, (Names{"DOF1", "DOF2", "DOF3"}));
    m.Ndim = 4;  // seven degrees of freedom need exactly three dimensions
    DescribeVariable("Displacements", m, v);
    EXPECT_EQ(v.VectorKinds.size(), 3u);
    m.NodeCount = 2'000'000;
    EXPECT_EQ(UpperBound("Temperature", m), 32767);
    EXPECT_EQ(UpperBound("Displacements", m), 32767);
    m.BeamPointCount = 0;
    DescribeVariable("Beam Axial Force", m, v);
    EXPECT_TRUE(v.VectorKinds.empty()) << "no point, no entry";
}

}  // namespace
}  // namespace vx
