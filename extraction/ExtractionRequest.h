#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// What one extraction reads: one variable and vector kind, for the items and time steps
// chosen. Built by the export plan (ExportPlan.h) from whatever door asked; where the
// values go is the plan's sheet, not this.
struct ExtractionRequest {
    std::string Variable;                     // one of the variable names of the table
    std::string VectorKind;                   // text of the chosen vector-kind entry ("" when none)
    std::int16_t VectorKindIndex = -1;        // 0-based place of that entry, -1 when none
    std::vector<std::int16_t> Vectors;        // record ordinals of the block, in order
    std::vector<std::int16_t> SelectedTimes;  // 1-based time-step numbers, in list order
    bool operator==(const ExtractionRequest&) const = default;
};

}  // namespace vx
