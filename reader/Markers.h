#pragma once

#include <string_view>

// The marker texts of a VORAX listing that the readers search for. The superscript two
// of "N/mm²" is the single Latin-1 byte 0xB2.
namespace vx::marker {

inline constexpr std::string_view Identification = "PROGRAM 'VORAX'";
inline constexpr std::string_view Ndim = "NDIM";
inline constexpr std::string_view Temperat = "TEMPERAT";
inline constexpr std::string_view Static = "STATIC";
inline constexpr std::string_view Torsion = "TORSION";
inline constexpr std::string_view Dynamic = "DYNAMIC";

inline constexpr std::string_view Convergence = "CONVERGENCE HAS BEEN OBTAINED.";
inline constexpr std::string_view TimeLine = "  TIME =";

// Input echo.
inline constexpr std::string_view ThereAre = "THERE ARE";
inline constexpr std::string_view Nodes = "NODES";
inline constexpr std::string_view TrussElements = "TRUSS ELEMENTS";
inline constexpr std::string_view BeamElements = "BEAM ELEMENTS";
inline constexpr std::string_view ShellElements = "SHELL ELEMENTS";
inline constexpr std::string_view SoilElements = "SOIL ELEMENTS";
inline constexpr std::string_view SolidElements = "SOLID ELEMENTS";
inline constexpr std::string_view EachOfThemHas = "EACH OF THEM HAS";
inline constexpr std::string_view LongitudinalFibers = "LONGITUDINAL FIBERS";
inline constexpr std::string_view LongitudinalFibersDot = "LONGITUDINAL FIBERS.";
inline constexpr std::string_view And = "AND";
inline constexpr std::string_view IntegrationPoints = "INTEGRATION POINTS ON THE AREA";
inline constexpr std::string_view GeometricGroup = "GROUP OF GEOM. PROP.";
inline constexpr std::string_view SectionDiscretized = "THIS BEAM SECTION TYPE IS DISCRETIZED BY";
inline constexpr std::string_view Description = "DESCRIPTION OF THE STRUCTURE.";
inline constexpr std::string_view NodePositions = "POSITION OF THE NODES";

// Result blocks.
inline constexpr std::string_view TotalDisplacements = "TOTAL DISPLACEMENTS.";
inline constexpr std::string_view BeamForces = "INTERNAL SOLLICITATIONS IN THE BEAM ELEMENTS.";
inline constexpr std::string_view BeamStresses = "STRESSES IN N/mm\xB2 IN BEAM ELEMENT";
inline constexpr std::string_view BeamTangentModulus =
    "TANGENT MODULUS IN N/mm\xB2 IN BEAM ELEMENT";
inline constexpr std::string_view TrussForces = "INTERNAL SOLLICITATIONS IN THE TRUSS ELEMENTS.";
inline constexpr std::string_view MembraneForces =
    "MEMBRANE FORCES Nx, Ny & Nxy IN THE SHELL ELEMENTS [kN/m]";
inline constexpr std::string_view BendingForces =
    "BENDING FORCES Mx, My & Mxy IN THE SHELL ELEMENTS [kNm/m]";
inline constexpr std::string_view SoilForces = "INTERNAL FORCE IN THE SOIL ELEMENTS.";
inline constexpr std::string_view TemperatureHeader =
    "NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.";

}  // namespace vx::marker
