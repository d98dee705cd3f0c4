#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "reader/OutputFileModel.h"

// The result variables: one table, one row per variable, that says everything the
// program knows of each: its name (which is also the identifier every part of the program
// compares), when a listing offers it, what its range counts, its vector kinds, the upper
// bound of From and To, where its values stand in a step's block, and how the sheet
// labels its items. The window's lists, the requests, the extraction, the sheet and the
// plot all read it.
namespace vx {

namespace var {
inline constexpr std::string_view Temperature = "Temperature";
inline constexpr std::string_view Displacements = "Displacements";
inline constexpr std::string_view EigenValues = "Eigen Values";
inline constexpr std::string_view TrussAxialForce = "Truss Axial Force";
inline constexpr std::string_view BeamAxialForce = "Beam Axial Force";
inline constexpr std::string_view BeamBendingMomentMy = "Beam Bending Moment My";
inline constexpr std::string_view BeamBendingMomentMz = "Beam Bending Moment Mz";
inline constexpr std::string_view BeamBendingMomentMw = "Beam Bending Moment Mw";
inline constexpr std::string_view BeamBendingMoment = "Beam Bending Moment";
inline constexpr std::string_view BeamStresses = "Beam Stresses";
inline constexpr std::string_view BeamTangentModulus = "Beam Tangent Modulus";
inline constexpr std::string_view MembraneForceNx = "Membrane Force Nx";
inline constexpr std::string_view MembraneForceNy = "Membrane Force Ny";
inline constexpr std::string_view MembraneForceNxy = "Membrane Force Nxy";
inline constexpr std::string_view MembraneForceN1 = "Membrane Force N1";
inline constexpr std::string_view MembraneForceN2 = "Membrane Force N2";
inline constexpr std::string_view BendingForceMx = "Bending Force Mx";
inline constexpr std::string_view BendingForceMy = "Bending Force My";
inline constexpr std::string_view BendingForceMxy = "Bending Force Mxy";
inline constexpr std::string_view BendingForceM1 = "Bending Force M1";
inline constexpr std::string_view BendingForceM2 = "Bending Force M2";
inline constexpr std::string_view SoilAxialForceNx = "Soil Axial Force Nx";
inline constexpr std::string_view SoilPressure = "Soil Pressure";
}  // namespace var

// A count of the listing's model, by name.
enum class Count : std::uint8_t {
    Zero,
    One,
    Nodes,
    Trusses,
    Beams,
    Shells,
    Soils,
    Fibers,
    BeamPoints,
    ShellSurfaces
};

// The block of the first time step, or the kind of listing, that makes a variable offered.
enum class OfferedWith : std::uint8_t {
    Temperatures,  // a thermal listing with time steps
    Displacements,
    TrussForces,
    BeamForces,
    BeamStresses,
    BeamTangentModulus,
    MembraneForces,
    BendingForces,
    SoilForces,
};

// What the number of space dimensions must be for the variable to be offered.
enum class Dimensions : std::uint8_t { Any, Plane, NotPlane };

// The entries of the vector-kind list.
enum class KindList : std::uint8_t {
    None,
    Dofs,           // "DOF1" to "DOF3", "DOF7" in three dimensions
    Points,         // the prefix and 1 to BeamPointCount: "N1", "My2"
    Surfaces,       // "Surface " and 1 to ShellSurfaceCount
    StressBlocks,   // the labels of the beam stress blocks of the first step
    TangentBlocks,  // the labels of the beam tangent-modulus blocks
};

// How a step's block holds the values.
enum class BlockLayout : std::uint8_t {
    Records,           // a record line per item, the value one of its words
    FibrePairs,        // five "fibre value" pairs of words a line
    TemperatureTable,  // five fixed-width "node temperature" pairs a line
};

// What the vector kind's place k (0-based) picks in the block.
enum class KindPicks : std::uint8_t {
    Nothing,
    Word,   // the value is word Word + k (a degree of freedom)
    Line,   // the record of an item is line Lead + k after the header (a point, a surface)
    Block,  // the (k+1)-th block of its kind after the step's time line (a beam point)
};

struct Variable {
    std::string_view Name;
    // Offered when the listing is of the analysis the block belongs to (thermal for
    // temperatures, static or dynamic for the rest), its first step holds the block, and
    // its dimensions are as required.
    OfferedWith Offered;
    Dimensions Dims;
    std::string_view RangeCaption;  // what From and To count: "Nodes", "Beams", ...
    std::string_view RecordLabel;   // an item on the sheet: "Node" 5, "Beam" 3, "Value" 1
    KindList Kinds;
    std::string_view KindPrefix;  // of numbered kinds: "DOF", "N", "My", "Surface "
    Count Bound;                  // upper bound of From and To; Zero: no range is needed
    // Where the values stand in a step. The header is searched from the line after the
    // step's time line (contains, case-sensitive); PlaneHeader, when given, replaces it
    // in a plane (Ndim 2) listing.
    BlockLayout Layout;
    std::string_view Header;
    std::string_view PlaneHeader;
    Count Rows;        // records in the block
    int Lead;          // lines from the header line to the first record (0: the header)
    Count Stride;      // lines from one record to the next: One, Zero, or a count
    std::size_t Word;  // the word of a record line that holds the value
    KindPicks Picks;
    // The unit the listing states for the values (in the block's header, or the note of
    // its kind of block), in Latin-1; empty where it states none.
    std::string_view Unit;
};

// All 23 variables, in the order the window lists them.
std::span<const Variable> AllVariables();
// The row of a variable name (exact, case-sensitive); null for a name in no row.
const Variable* FindVariable(std::string_view name);

// What a count of the model is.
std::int32_t CountOf(const OutputFileModel& model, Count count);

// Whether the listing offers the variable.
bool Offers(const OutputFileModel& model, const Variable& variable);
// The entries of its vector-kind list for the listing.
std::vector<std::string> VectorKinds(const Variable& variable, const OutputFileModel& model);
// The upper bound of From and To. The node count is 32-bit while item numbers are 16-bit,
// so it is held at 32767: the check then never fails and never lets an item above the
// node count through.
std::int16_t UpperBound(const Variable& variable, const OutputFileModel& model);
// By name: 0 for a name in no row.
std::int16_t UpperBound(std::string_view name, const OutputFileModel& model);
// False for "Eigen Values", which has one value per step and no range.
inline bool NeedsRange(const Variable& variable) {
    return variable.Bound != Count::Zero;
}

// What a variable offers for the open listing, as the window's lists show it.
struct OfferedVariable {
    const Variable* Row = nullptr;
    std::string Name;
    std::string RangeCaption;
    std::vector<std::string> VectorKinds;
    std::int16_t Bound = 0;  // upper bound of From and To (0: no range)
    bool NeedsRange = true;
};

// The variables the listing holds, in list order.
std::vector<OfferedVariable> OfferedVariables(const OutputFileModel& model);
// The row of one variable for the listing, offered or not; false for a name in no row.
bool DescribeVariable(std::string_view name, const OutputFileModel& model, OfferedVariable& row);

// The word that names the items on the sheet ("Node", "Beam", "Fiber", ...); empty for a
// name in no row.
std::string_view RecordLabel(std::string_view variable);
// The label of one item on the sheet: the record label, a space and the number
// ("Node 5", "Beam 3").
std::string VectorLabel(std::string_view variable, std::int16_t vector);

}  // namespace vx
