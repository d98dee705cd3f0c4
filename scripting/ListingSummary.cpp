#include "scripting/ListingSummary.h"

#include <utility>

#include "extraction/Variables.h"

namespace vx {

namespace {

void WriteStrings(SummaryWriter& out, const std::vector<std::string>& items) {
    out.BeginArray();
    for (const auto& s : items) out.String(s);
    out.EndArray();
}

}  // namespace

void WriteListingSummary(const OutputFileModel& m, const std::vector<Notice>& messages,
                         SummaryWriter& out) {
    out.BeginObject();
    out.Key("Version"), out.String(m.Version);
    out.Key("AnalysisType"), out.Integer(m.AnalysisType);
    out.Key("Ndim"), out.Integer(m.Ndim);
    const std::pair<const char*, long long> counts[] = {
        {"NodeCount", m.NodeCount},           {"SolidCount", m.SolidCount},
        {"TrussCount", m.TrussCount},         {"BeamCount", m.BeamCount},
        {"ShellCount", m.ShellCount},         {"SoilCount", m.SoilCount},
        {"BeamPointCount", m.BeamPointCount}, {"ShellSurfaceCount", m.ShellSurfaceCount},
        {"FiberCount", m.FiberCount},         {"TimeCount", m.TimeCount}};
    for (const auto& [key, value] : counts) out.Key(key), out.Integer(value);
    const std::pair<const char*, bool> flags[] = {
        {"HasTemperatures", m.HasTemperatures},
        {"HasDisplacements", m.HasDisplacements},
        {"HasBeamForces", m.HasBeamForces},
        {"HasBeamStresses", m.HasBeamStresses},
        {"HasBeamTangentModulus", m.HasBeamTangentModulus},
        {"HasTrussForces", m.HasTrussForces},
        {"HasMembraneForces", m.HasMembraneForces},
        {"HasBendingForces", m.HasBendingForces},
        {"HasSoilForces", m.HasSoilForces}};
    for (const auto& [key, value] : flags) out.Key(key), out.Bool(value);
    out.Key("StressPoints"), WriteStrings(out, m.StressPoints);
    out.Key("TangentPoints"), WriteStrings(out, m.TangentPoints);

    out.Key("Times");
    out.BeginArray();
    for (std::int32_t i = 0; i < m.TimeCount; ++i) {
        const TimeStep& step = m.Times[static_cast<std::size_t>(i)];
        out.BeginObject();
        out.Key("Time"), out.Single(step.Time);
        out.Key("Position"), out.Integer(step.Position);
        out.EndObject();
    }
    out.EndArray();

    out.Key("Variables");
    out.BeginArray();
    for (const auto& v : OfferedVariables(m)) {
        out.BeginObject();
        out.Key("Name"), out.String(v.Name);
        out.Key("Range"), out.String(v.RangeCaption);
        out.Key("VectorKinds"), WriteStrings(out, v.VectorKinds);
        out.Key("Bound"), out.Integer(v.Bound);
        out.EndObject();
    }
    out.EndArray();

    out.Key("Messages");
    out.BeginArray();
    for (const auto& message : messages) {
        out.BeginObject();
        out.Key("Text"), out.String(message.Text);
        out.Key("Icon"), out.String(IconName(message.Icon));
        out.EndObject();
    }
    out.EndArray();
    out.EndObject();
}

}  // namespace vx
