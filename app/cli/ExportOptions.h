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

// The vector numbers of an --items list: comma-separated pieces N, A-B or A-B:S (A to B
// by S, S at least 1, counting down when A > B), blanks around a piece allowed, in the
// order given. False, with a reason naming the piece, for a piece of another form, a
// number outside 1..bound, an empty list or more than 32767 items in all.
bool ParseItems(std::string_view list, std::int32_t bound, std::vector<std::int16_t>& items,
                std::string& error);

}  // namespace vx::cli
