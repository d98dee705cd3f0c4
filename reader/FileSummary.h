#pragma once

#include <array>
#include <string>

#include "reader/OutputFileModel.h"

namespace vx {

// One row of the summary frame: its caption, the value shown, and whether the caption
// is enabled (a count of 0 shows no value and a disabled caption).
struct SummaryRow {
    std::string Caption;
    std::string Value;
    bool Enabled = true;
};

// The ten rows of the summary, in order: Version, Analysis, Problem, then the counts of
// nodes, solids, trusses, beams, shells, soils and fibres.
std::array<SummaryRow, 10> SummaryRows(const OutputFileModel& model);

// "Temperature", "Structural", "Dynamical", or "Unknown" for anything else.
std::string AnalysisText(std::int16_t analysisType);

}  // namespace vx
