#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/OutputFileModel.h"

// The catalogue of result variables: the 23 names (which are also the identifiers every
// part of the program compares), when a listing offers each, what its range counts,
// its vector kinds and the upper bound of From and To. The window and the command-line
// tool both take what they offer from here.
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

// All 23 names in list order.
const std::vector<std::string_view>& AllVariableNames();

// What a variable offers for the open listing.
struct OfferedVariable {
    std::string Name;
    std::string RangeCaption;              // "Nodes", "Trusses", "Beams", "Fibers", ...
    std::vector<std::string> VectorKinds;  // the entries of the vector-kind list
    std::int16_t Bound = 0;                // upper bound of From and To (0: no range)
    bool NeedsRange = true;                // false for "Eigen Values"
};

// The variables the listing holds, in list order, as the window offers them.
std::vector<OfferedVariable> OfferedVariables(const OutputFileModel& model);

// The row of one variable, by its exact name; false for a name in no row.
bool DescribeVariable(std::string_view name, const OutputFileModel& model, OfferedVariable& row);

// The upper bound of From and To for a variable name (0 for a name in no row). The
// node count is 32-bit while vector numbers are 16-bit, so it is held at 32767: the
// check then never fails and never lets a vector above the node count through.
std::int16_t UpperBound(std::string_view name, const OutputFileModel& model);

}  // namespace vx
