#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx {

// One export request, built from the window when Save is pressed (or from the
// command line) and read by the extractions and the worksheet layout.
struct ExtractionRequest {
    std::string Variable;                     // one of the catalogue's variable names
    std::string VectorKind;                   // text of the chosen vector-kind entry ("" when none)
    std::int16_t VectorKindIndex = -1;        // 0-based place of that entry, -1 when none
    std::vector<std::int16_t> Vectors;        // record ordinals of the block, in order
    std::vector<std::int16_t> SelectedTimes;  // 1-based time-step numbers, in list order
    bool TimesInColumns = false;
    std::string OutputPath;
    bool operator==(const ExtractionRequest&) const = default;
};

}  // namespace vx
