#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/SheetFormats.h"

namespace vx::cli {

// The arguments of `export`, as given; nothing is checked against the listing here.
struct ExportOptions {
    std::string File;
    std::string Output;
    std::optional<std::string> Variable;
    std::vector<std::string> Vectors;  // every --vector, in order
    bool AllVectors = false;
    std::optional<std::string> VectorIndex;
    std::string From = "1", To = "1", Step = "1";
    bool HasRange = false;  // --from, --to or --step given
    std::optional<std::string> Items;
    std::optional<SheetFormat> Format;
    enum class Times { None, Steps, Times, All } TimeSource = Times::None;
    std::string TimeList;
    bool Columns = false;
    bool Quiet = false;
};

// Reads the arguments that follow `export`. False, with the reason, for a usage error:
// an unknown option or format, a missing value, no listing or no output, options that
// exclude each other.
bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& options,
                     std::string& error);

}  // namespace vx::cli
