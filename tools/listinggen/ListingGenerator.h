#pragma once

// Synthetic VORAX listings for tests and examples. The generator shares no code with the
// reader on purpose: it is the independent witness the reader's tests are checked against.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vx::gen {

enum class AnalysisKind { Thermal, Static, Dynamic };
enum class LineEnding { CRLF, CR, LF };

// One beam stress or tangent-modulus block: the element and the point its header names.
struct BeamPoint {
    int element;
    int point;
};

struct ListingSpec {
    AnalysisKind kind = AnalysisKind::Dynamic;
    int ndim = 3;
    std::uint64_t seed = 1;
    LineEnding lineEnding = LineEnding::CRLF;
    std::string version = "7.4.2";  // text after the first comma of the identification line
    int nodes = 10, solids = 0;     // solids: thermal listings only
    int trusses = 0, beams = 0, beamPoints = 3, shells = 0, shellSurfaces = 4, soils = 0,
        fibers = 0;
    std::vector<BeamPoint> stressPoints, tangentPoints;  // one block each per step, in order
    bool displacements = true, eigenValue = true;        // present in every structural step
    // Displacements that ring down as a structure does after a blow (two damped modes of
    // a cantilever, node n standing at n / nodes of its length) instead of numbers
    // drawn at random: time histories that look like time histories.
    bool waves = false;
    // trusses>0 => truss block, beams>0 => beam force block, shells>0 => membrane, bending
    // and local-stress blocks, soils>0 => soil block.
    int steps = 3;
    double firstTime = 60.0, timeIncrement = 60.0;
    // >0: after `steps` steps, keep adding steps until the listing holds at least this many
    // bytes.
    std::int64_t targetBytes = 0;
    // >0: from this 1-based step on, every result block except the displacements is left
    // out (a thermal listing loses its temperature table).
    int dropBlocksFromStep = 0;
    // >0: each step is written out, then the writer waits this long before the next one,
    // as a running analysis writes its listing.
    int stepDelayMs = 0;
};

// Writes the whole listing and returns the number of time steps written. Throws
// std::invalid_argument for a spec that cannot be laid out (ndim not 2 or 3, negative
// counts, a thermal node number wider than its 5-character field, a version holding a
// comma...) and std::runtime_error when the sink refuses a write.
// Gives `spec` a mesh with every kind of element, fibres, stress and tangent-modulus
// blocks (what --all-blocks asks for); counts set afterwards override it.
void AddEveryBlock(ListingSpec& spec);

int WriteListing(const ListingSpec& spec, std::FILE* out);
int WriteListingFile(const ListingSpec& spec, const std::string& path);

// The numbers exactly as the listing prints them: float(strtod(printed word)).
float ExpectedTime(const ListingSpec& spec, int step);  // step is 1-based

enum class Block {
    Displacements,
    EigenValue,
    Truss,
    Beam,
    Membrane,
    Bending,
    Soil,
    BeamStress,
    BeamTangent,
    Temperature
};

// The value printed in a block at a 1-based step for a 1-based record (node, element or
// fibre ordinal in the block):
//   Displacements  field 1..7 = DOF n (a 2D listing prints DOF 1..3; higher DOFs give 0)
//   EigenValue     record 1
//   Truss          field 1 (N)
//   Beam           field 2 N, 3 M or MY, 4 MZ, 5 Mw, 6 Mr2 (2D prints fields 2..3; the rest
//                  give 0); subIndex = 0-based point
//   Membrane/Bending field 5, 7, 9, 11, 13 (the word index); subIndex = 0-based surface
//   Soil           field 1 (N) or 2 (P)
//   BeamStress/BeamTangent record = fibre; subIndex = 0-based block index within the step
//   Temperature    record = node
// Values depend only on (seed, block, step, record, field, subIndex) and on ndim where it
// decides what a line prints; a block dropped from a step still has its would-be values.
// Throws std::invalid_argument for a field or record the block does not have.
float ExpectedValue(const ListingSpec& spec, Block block, int step, int record, int field,
                    int subIndex = 0);

// The identification line's version as a reader should take it: the text between the
// first and second comma, trimmed of spaces.
std::string ExpectedVersion(const ListingSpec& spec);

// Marker texts exactly as the listing holds them (without indent or line end); the stress
// and tangent ones are the start of their header line, which goes on with element and point.
namespace marker {
inline constexpr const char* kStressHeader = "STRESSES IN N/mm\xB2 IN BEAM ELEMENT";
inline constexpr const char* kTangentHeader = "TANGENT MODULUS IN N/mm\xB2 IN BEAM ELEMENT";
inline constexpr const char* kDisplacementHeader =
    "NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7";
inline constexpr const char* kTrussHeader = "ELEM.      N";
inline constexpr const char* kBeamHeader2D = "ELEM. PT.    N           M";
inline constexpr const char* kBeamHeader3D =
    "ELEM. PT.    N           MY          MZ          Mw         Mr2";
inline constexpr const char* kSoilHeader = "ELEM.     N[kN]     P[kN/m\xB2]";
inline constexpr const char* kMembraneHeader =
    "MEMBRANE FORCES Nx, Ny & Nxy IN THE SHELL ELEMENTS [kN/m]";
inline constexpr const char* kBendingHeader =
    "BENDING FORCES Mx, My & Mxy IN THE SHELL ELEMENTS [kNm/m]";
inline constexpr const char* kTemperatureHeader =
    "NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.";
inline constexpr const char* kConvergence = "CONVERGENCE HAS BEEN OBTAINED.";
inline constexpr const char* kTime = "  TIME =";
}  // namespace marker

}  // namespace vx::gen
