#include "reader/FileSummary.h"

namespace vx {

std::string AnalysisText(std::int16_t analysisType) {
    switch (analysisType) {
        case AnalysisThermal:
            return "Temperature";
        case AnalysisStatic:
            return "Structural";
        case AnalysisDynamic:
            return "Dynamical";
        default:
            return "Unknown";
    }
}

std::array<SummaryRow, 10> SummaryRows(const OutputFileModel& m) {
    auto count = [](const char* caption, std::int32_t value) {
        return value != 0 ? SummaryRow{caption, std::to_string(value), true}
                          : SummaryRow{caption, "", false};
    };
    return {SummaryRow{"Version:", m.Version, true},
            SummaryRow{"Analysis:", AnalysisText(m.AnalysisType), true},
            SummaryRow{"Problem:", m.Ndim == 2 ? "2D" : "3D", true},
            count("Nodes:", m.NodeCount),
            count("Solids:", m.SolidCount),
            count("Trusses:", m.TrussCount),
            count("Beams:", m.BeamCount),
            count("Shells:", m.ShellCount),
            count("Soils:", m.SoilCount),
            count("Fibers:", m.FiberCount)};
}

}  // namespace vx
