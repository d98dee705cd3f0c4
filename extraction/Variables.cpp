#include "extraction/Variables.h"

#include <algorithm>
#include <array>

#include "reader/Markers.h"

namespace vx {

namespace {

constexpr std::string_view kDisplacementHeader =
    "NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7";
constexpr std::string_view kEigenValueHeader = "RELATIVE EIGEN VALUE";
constexpr std::string_view kTrussHeader = "ELEM.      N";
constexpr std::string_view kBeamHeader2D = "ELEM. PT.    N           M";
constexpr std::string_view kBeamHeader3D =
    "ELEM. PT.    N           MY          MZ          Mw         Mr2";
constexpr std::string_view kSoilHeader = "ELEM.     N[kN]     P[kN/m\xB2]";

using enum Count;
using enum OfferedWith;
using enum Dimensions;
using enum KindList;
using enum BlockLayout;
using enum KindPicks;

// One row per variable, in the window's order. Beams print a record line per point of
// each element, shells one per surface: Lead reaches the chosen point or surface of the
// first element, the Stride the same one of the next; a shell's record lines begin three
// lines after its header. Fibres stand five "fibre value" pairs a line, four lines after
// the header of their block.
// clang-format off
constexpr Variable Beam(std::string_view name, Dimensions dims, std::string_view prefix,
                        std::string_view header, std::string_view planeHeader, std::size_t word) {
    return {name, BeamForces, dims, "Beams", "Beam", Points, prefix, Beams,
            Records, header, planeHeader, Beams, 1, Count::BeamPoints, word, Line, {}};
}
constexpr Variable Shell(std::string_view name, OfferedWith offered, std::string_view header,
                         std::size_t word, std::string_view unit) {
    return {name, offered, Any, "Shells", "Shell", Surfaces, "Surface ", Shells,
            Records, header, {}, Shells, 3, Count::ShellSurfaces, word, Line, unit};
}
constexpr Variable Soil(std::string_view name, std::size_t word, std::string_view unit) {
    return {name, SoilForces, Any, "Soils", "Soil", None, {}, Soils,
            Records, kSoilHeader, {}, Soils, 1, One, word, Nothing, unit};
}
// Beam stresses and tangent moduli are printed in N/mm² (their headers say so).
constexpr Variable Fibres(std::string_view name, OfferedWith offered, KindList kinds,
                          std::string_view header) {
    return {name, offered, Any, "Fibers", "Fiber", kinds, {}, Fibers,
            FibrePairs, header, {}, Fibers, 4, One, 0, Block, "N/mm\xB2"};
}

constexpr std::array<Variable, 23> kVariables = {{
    // name, offered with, dimensions, range caption, record label, vector kinds, their
    // prefix, bound; layout, header, plane header, rows, lead, stride, word, kind picks;
    // unit
    {var::Temperature, Temperatures, Any, "Nodes", "Node", None, {}, Nodes,
     TemperatureTable, marker::TemperatureHeader, {}, Nodes, 1, One, 0, Nothing, {}},
    {var::Displacements, OfferedWith::Displacements, Any, "Nodes", "Node", Dofs, "DOF", Nodes,
     Records, kDisplacementHeader, {}, Nodes, 1, One, 1, Word, {}},
    {var::EigenValues, OfferedWith::Displacements, Any, "Nodes", "Value", None, {}, Zero,
     Records, kEigenValueHeader, {}, One, 0, Zero, 7, Nothing, {}},
    {var::TrussAxialForce, TrussForces, Any, "Trusses", "Truss", None, {}, Trusses,
     Records, kTrussHeader, {}, Trusses, 1, One, 1, Nothing, {}},
    Beam(var::BeamAxialForce, Any, "N", kBeamHeader3D, kBeamHeader2D, 2),
    Beam(var::BeamBendingMomentMy, NotPlane, "My", kBeamHeader3D, {}, 3),
    Beam(var::BeamBendingMomentMz, NotPlane, "Mz", kBeamHeader3D, {}, 4),
    Beam(var::BeamBendingMomentMw, NotPlane, "Mw", kBeamHeader3D, {}, 5),
    Beam(var::BeamBendingMoment, Plane, "M", kBeamHeader2D, {}, 3),
    Fibres(var::BeamStresses, OfferedWith::BeamStresses, StressBlocks, marker::BeamStresses),
    Fibres(var::BeamTangentModulus, OfferedWith::BeamTangentModulus, TangentBlocks,
           marker::BeamTangentModulus),
    Shell(var::MembraneForceNx, MembraneForces, marker::MembraneForces, 5, "kN/m"),
    Shell(var::MembraneForceNy, MembraneForces, marker::MembraneForces, 7, "kN/m"),
    Shell(var::MembraneForceNxy, MembraneForces, marker::MembraneForces, 9, "kN/m"),
    Shell(var::MembraneForceN1, MembraneForces, marker::MembraneForces, 11, "kN/m"),
    Shell(var::MembraneForceN2, MembraneForces, marker::MembraneForces, 13, "kN/m"),
    Shell(var::BendingForceMx, BendingForces, marker::BendingForces, 5, "kNm/m"),
    Shell(var::BendingForceMy, BendingForces, marker::BendingForces, 7, "kNm/m"),
    Shell(var::BendingForceMxy, BendingForces, marker::BendingForces, 9, "kNm/m"),
    Shell(var::BendingForceM1, BendingForces, marker::BendingForces, 11, "kNm/m"),
    Shell(var::BendingForceM2, BendingForces, marker::BendingForces, 13, "kNm/m"),
    Soil(var::SoilAxialForceNx, 1, "kN"),
    Soil(var::SoilPressure, 2, "kN/m\xB2"),
}};
// clang-format on

bool HasBlock(const OutputFileModel& m, OfferedWith offered) {
    switch (offered) {
        case Temperatures:
            return m.HasTemperatures;
        case OfferedWith::Displacements:
            return m.HasDisplacements;
        case TrussForces:
            return m.HasTrussForces;
        case BeamForces:
            return m.HasBeamForces;
        case OfferedWith::BeamStresses:
            return m.HasBeamStresses;
        case OfferedWith::BeamTangentModulus:
            return m.HasBeamTangentModulus;
        case MembraneForces:
            return m.HasMembraneForces;
        case BendingForces:
            return m.HasBendingForces;
        case SoilForces:
            return m.HasSoilForces;
    }
    return false;
}

std::vector<std::string> Numbered(std::string_view prefix, std::int32_t count) {
    std::vector<std::string> kinds;
    for (std::int32_t i = 1; i <= count; ++i)
        kinds.push_back(std::string(prefix) + std::to_string(i));
    return kinds;
}

}  // namespace

std::span<const Variable> AllVariables() {
    return kVariables;
}

const Variable* FindVariable(std::string_view name) {
    for (const auto& v : kVariables)
        if (v.Name == name) return &v;
    return nullptr;
}

std::int32_t CountOf(const OutputFileModel& m, Count count) {
    switch (count) {
        case Zero:
            return 0;
        case One:
            return 1;
        case Nodes:
            return m.NodeCount;
        case Trusses:
            return m.TrussCount;
        case Beams:
            return m.BeamCount;
        case Shells:
            return m.ShellCount;
        case Soils:
            return m.SoilCount;
        case Fibers:
            return m.FiberCount;
        case BeamPoints:
            return m.BeamPointCount;
        case ShellSurfaces:
            return m.ShellSurfaceCount;
    }
    return 0;
}

bool Offers(const OutputFileModel& m, const Variable& v) {
    const bool thermal = v.Offered == Temperatures;
    const bool analysis =
        thermal ? m.AnalysisType == AnalysisThermal
                : m.AnalysisType == AnalysisStatic || m.AnalysisType == AnalysisDynamic;
    const bool dims = v.Dims == Any || (v.Dims == Plane) == (m.Ndim == 2);
    return analysis && dims && HasBlock(m, v.Offered);
}

std::vector<std::string> VectorKinds(const Variable& v, const OutputFileModel& m) {
    switch (v.Kinds) {
        case None:
            return {};
        case Dofs:
            return Numbered(v.KindPrefix, m.Ndim == 3 ? 7 : 3);
        case Points:
            return Numbered(v.KindPrefix, m.BeamPointCount);
        case Surfaces:
            return Numbered(v.KindPrefix, m.ShellSurfaceCount);
        case StressBlocks:
            return m.StressPoints;
        case TangentBlocks:
            return m.TangentPoints;
    }
    return {};
}

std::int16_t UpperBound(const Variable& v, const OutputFileModel& m) {
    return static_cast<std::int16_t>(
        std::clamp<std::int32_t>(CountOf(m, v.Bound), INT16_MIN, INT16_MAX));
}

std::int16_t UpperBound(std::string_view name, const OutputFileModel& m) {
    const Variable* v = FindVariable(name);
    return v ? UpperBound(*v, m) : 0;
}

bool DescribeVariable(std::string_view name, const OutputFileModel& m, OfferedVariable& row) {
    row = OfferedVariable{};
    const Variable* v = FindVariable(name);
    if (!v) return false;
    row = {v,
           std::string(v->Name),
           std::string(v->RangeCaption),
           VectorKinds(*v, m),
           UpperBound(*v, m),
           NeedsRange(*v)};
    return true;
}

std::vector<OfferedVariable> OfferedVariables(const OutputFileModel& m) {
    std::vector<OfferedVariable> offered;
    for (const auto& v : kVariables) {
        if (!Offers(m, v)) continue;
        DescribeVariable(v.Name, m, offered.emplace_back());
    }
    return offered;
}

std::string_view RecordLabel(std::string_view variable) {
    const Variable* v = FindVariable(variable);
    return v ? v->RecordLabel : std::string_view{};
}

std::string VectorLabel(std::string_view variable, std::int16_t vector) {
    return std::string(RecordLabel(variable)) + " " + std::to_string(vector);
}

}  // namespace vx
