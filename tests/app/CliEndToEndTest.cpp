// voraxextract-cli driven as a script would drive it: listings converted end to end for
// every offered variable, the sheets read back by our strict reader and by real ones.
#include <gtest/gtest.h>

#include <map>

#include "biff/ExcelFile.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::Cell;
using test::TempDir;

// Where the generator keeps the values a variable reads, for one vector kind.
struct Source {
    gen::Block Block;
    int Field = 0;
};

Source SourceOf(std::string_view variable, int kind) {
    using gen::Block;
    static const std::map<std::string_view, Source> fixed = {
        {var::Temperature, {Block::Temperature, 0}},
        {var::EigenValues, {Block::EigenValue, 0}},
        {var::TrussAxialForce, {Block::Truss, 1}},
        {var::BeamAxialForce, {Block::Beam, 2}},
        {var::BeamBendingMoment, {Block::Beam, 3}},
        {var::BeamBendingMomentMy, {Block::Beam, 3}},
        {var::BeamBendingMomentMz, {Block::Beam, 4}},
        {var::BeamBendingMomentMw, {Block::Beam, 5}},
        {var::BeamStresses, {Block::BeamStress, 0}},
        {var::BeamTangentModulus, {Block::BeamTangent, 0}},
        {var::MembraneForceNx, {Block::Membrane, 5}},
        {var::MembraneForceNy, {Block::Membrane, 7}},
        {var::MembraneForceNxy, {Block::Membrane, 9}},
        {var::MembraneForceN1, {Block::Membrane, 11}},
        {var::MembraneForceN2, {Block::Membrane, 13}},
        {var::BendingForceMx, {Block::Bending, 5}},
        {var::BendingForceMy, {Block::Bending, 7}},
        {var::BendingForceMxy, {Block::Bending, 9}},
        {var::BendingForceM1, {Block::Bending, 11}},
        {var::BendingForceM2, {Block::Bending, 13}},
        {var::SoilAxialForceNx, {Block::Soil, 1}},
        {var::SoilPressure, {Block::Soil, 2}}};
    if (variable == var::Displacements) return {Block::Displacements, kind + 1};
    return fixed.at(variable);
}

float Expected(const gen::ListingSpec& spec, std::string_view variable, int kind, int step,
               int record) {
    Source s = SourceOf(variable, kind);
    // The vector kind picks a point, a surface or a stress block through the generator's
    // sub-index; a degree of freedom is a field of its own.
    int sub = s.Block == gen::Block::Displacements || kind < 0 ? 0 : kind;
    return gen::ExpectedValue(spec, s.Block, step, record, s.Field, sub);
}

// Exports one variable and vector kind for every step and the whole range, then checks
// every value of the sheet against what the generator wrote. The sheet's layout and
// labels are the writer's (WorksheetTest); what is the tool's is which kind it exports
// and that it says nothing on the way.
void ExportAndCheck(const std::string& listing, const OutputFileModel& model,
                    const OfferedVariable& v, int kind, const gen::ListingSpec& truth,
                    const TempDir& dir) {
    SCOPED_TRACE(v.Name + " kind " + std::to_string(kind));
    auto out = dir.Path() / "sheet.xls";
    std::vector<std::string> args = {"export",     listing, "-o",          out.string(),
                                     "--variable", v.Name,  "--all-steps", "--quiet"};
    if (kind >= 0) args.insert(args.end(), {"--vector-index", std::to_string(kind)});
    if (v.NeedsRange) args.insert(args.end(), {"--to", std::to_string(v.Bound)});
    auto run = test::RunCli(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err + run.Out, "");

    std::vector<Cell> cells;
    std::string error;
    ASSERT_TRUE(test::DumpCells(out, cells, error)) << error;
    const int steps = model.TimeCount, vectors = v.NeedsRange ? v.Bound : 1;
    ASSERT_EQ(cells.size(), static_cast<std::size_t>(4 + 1 + steps + vectors + steps * vectors));
    EXPECT_EQ(cells[3], (Cell{2, 2, "label",
                              kind >= 0 ? v.VectorKinds[static_cast<std::size_t>(kind)] : ""}));
    // Times down the rows from row 4, vectors across from column 2.
    for (const auto& c : cells) {
        if (c.Row < 4 || c.Col < 2) continue;
        ASSERT_EQ(c.Type, "number") << c.Row << "," << c.Col;
        EXPECT_EQ(std::stod(c.Value),
                  RoundToSixDecimals(Expected(truth, v.Name, kind, c.Row - 3, c.Col - 1)))
            << "vector " << c.Col - 1 << " step " << c.Row - 3;
    }
}

// The examples are exported variable by variable through the core in ListingUntouched
// (ReliabilityTest) and through the window and this tool alike in ExportRoad
// (FrmExtractTest); the sheets' contents are checked here, against the generator.
TEST(CliEndToEnd, SheetsHoldExactlyTheValuesTheListingsHold) {
    if (!test::HaveXlsDump()) GTEST_SKIP() << "xls-dump or python3 missing";
    TempDir dir;
    auto dynamic = test::EveryBlockSpec(3);
    auto statics = test::EveryBlockSpec(2, gen::AnalysisKind::Static);
    statics.lineEnding = gen::LineEnding::LF;
    auto thermal = test::ThermalSpec(13, 4);
    thermal.lineEnding = gen::LineEnding::CR;
    for (const auto* spec : {&dynamic, &statics, &thermal}) {
        auto listing = test::Generate(*spec, dir.Path() / "listing.out");
        test::Scanned scan;
        scan.Open(listing);
        auto offered = OfferedVariables(scan.Model);
        ASSERT_FALSE(offered.empty());
        for (const auto& v : offered) {
            const int kinds = static_cast<int>(v.VectorKinds.size());
            for (int kind = kinds ? 0 : -1; kind < std::max(kinds, 0); ++kind)
                ExportAndCheck(listing, scan.Model, v, kind, *spec, dir);
        }
    }
}

}  // namespace
}  // namespace vx
