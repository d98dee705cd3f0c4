#include "export/VariableCatalogue.h"

#include <algorithm>

namespace vx {

namespace {

std::int16_t Clamp16(std::int32_t count) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(count, INT16_MIN, INT16_MAX));
}

std::vector<std::string> Numbered(std::string_view prefix, std::int32_t count) {
    std::vector<std::string> kinds;
    for (std::int32_t i = 1; i <= count; ++i)
        kinds.push_back(std::string(prefix) + std::to_string(i));
    return kinds;
}

bool IsOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsStructural(const OutputFileModel& m) {
    return m.AnalysisType == AnalysisStatic || m.AnalysisType == AnalysisDynamic;
}

}  // namespace

const std::vector<std::string_view>& AllVariableNames() {
    static const std::vector<std::string_view> names = {
        var::Temperature,         var::Displacements,       var::EigenValues,
        var::TrussAxialForce,     var::BeamAxialForce,      var::BeamBendingMomentMy,
        var::BeamBendingMomentMz, var::BeamBendingMomentMw, var::BeamBendingMoment,
        var::BeamStresses,        var::BeamTangentModulus,  var::MembraneForceNx,
        var::MembraneForceNy,     var::MembraneForceNxy,    var::MembraneForceN1,
        var::MembraneForceN2,     var::BendingForceMx,      var::BendingForceMy,
        var::BendingForceMxy,     var::BendingForceM1,      var::BendingForceM2,
        var::SoilAxialForceNx,    var::SoilPressure};
    return names;
}

bool DescribeVariable(std::string_view name, const OutputFileModel& m, OfferedVariable& row) {
    row = OfferedVariable{};
    row.Name = std::string(name);
    if (name == var::Temperature) {
        row.RangeCaption = "Nodes";
        row.Bound = Clamp16(m.NodeCount);
    } else if (name == var::Displacements) {
        row.RangeCaption = "Nodes";
        row.VectorKinds = Numbered("DOF", m.Ndim == 3 ? 7 : 3);
        row.Bound = Clamp16(m.NodeCount);
    } else if (name == var::EigenValues) {
        row.RangeCaption = "Nodes";
        row.NeedsRange = false;
    } else if (name == var::TrussAxialForce) {
        row.RangeCaption = "Trusses";
        row.Bound = m.TrussCount;
    } else if (name == var::BeamAxialForce) {
        row.RangeCaption = "Beams";
        row.VectorKinds = Numbered("N", m.BeamPointCount);
        row.Bound = m.BeamCount;
    } else if (name == var::BeamBendingMomentMy || name == var::BeamBendingMomentMz ||
               name == var::BeamBendingMomentMw || name == var::BeamBendingMoment) {
        // "Beam Bending Moment My" -> "My1", "My2", ...; the plain moment -> "M1", ...
        std::string_view prefix =
            name == var::BeamBendingMoment ? "M" : name.substr(name.size() - 2);
        row.RangeCaption = "Beams";
        row.VectorKinds = Numbered(prefix, m.BeamPointCount);
        row.Bound = m.BeamCount;
    } else if (name == var::BeamStresses || name == var::BeamTangentModulus) {
        row.RangeCaption = "Fibers";
        row.VectorKinds = name == var::BeamStresses ? m.StressPoints : m.TangentPoints;
        row.Bound = m.FiberCount;
    } else if (IsOneOf(name, {var::MembraneForceNx, var::MembraneForceNy, var::MembraneForceNxy,
                              var::MembraneForceN1, var::MembraneForceN2, var::BendingForceMx,
                              var::BendingForceMy, var::BendingForceMxy, var::BendingForceM1,
                              var::BendingForceM2})) {
        row.RangeCaption = "Shells";
        row.VectorKinds = Numbered("Surface ", m.ShellSurfaceCount);
        row.Bound = m.ShellCount;
    } else if (name == var::SoilAxialForceNx || name == var::SoilPressure) {
        row.RangeCaption = "Soils";
        row.Bound = m.SoilCount;
    } else {
        row = OfferedVariable{};
        return false;
    }
    return true;
}

std::int16_t UpperBound(std::string_view name, const OutputFileModel& model) {
    OfferedVariable row;
    return DescribeVariable(name, model, row) ? row.Bound : 0;
}

std::vector<OfferedVariable> OfferedVariables(const OutputFileModel& m) {
    std::vector<std::string_view> names;
    if (m.AnalysisType == AnalysisThermal && m.HasTemperatures) names.push_back(var::Temperature);
    if (IsStructural(m)) {
        if (m.HasDisplacements) names.insert(names.end(), {var::Displacements, var::EigenValues});
        if (m.HasTrussForces) names.push_back(var::TrussAxialForce);
        if (m.HasBeamForces) {
            names.push_back(var::BeamAxialForce);
            if (m.Ndim != 2)
                names.insert(names.end(), {var::BeamBendingMomentMy, var::BeamBendingMomentMz,
                                           var::BeamBendingMomentMw});
            else
                names.push_back(var::BeamBendingMoment);
        }
        if (m.HasBeamStresses) names.push_back(var::BeamStresses);
        if (m.HasBeamTangentModulus) names.push_back(var::BeamTangentModulus);
        if (m.HasMembraneForces)
            names.insert(names.end(),
                         {var::MembraneForceNx, var::MembraneForceNy, var::MembraneForceNxy,
                          var::MembraneForceN1, var::MembraneForceN2});
        if (m.HasBendingForces)
            names.insert(names.end(),
                         {var::BendingForceMx, var::BendingForceMy, var::BendingForceMxy,
                          var::BendingForceM1, var::BendingForceM2});
        if (m.HasSoilForces) names.insert(names.end(), {var::SoilAxialForceNx, var::SoilPressure});
    }
    std::vector<OfferedVariable> offered(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) DescribeVariable(names[i], m, offered[i]);
    return offered;
}

}  // namespace vx
