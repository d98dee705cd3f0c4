#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/ExportPlan.h"
#include "extraction/Peaks.h"

namespace vx::cli {

// The arguments of `export` or `peaks`, as given; nothing is checked against the listing
// here. What they ask for is the export request; the rest is the command line's own.
struct ExportOptions {
    std::string File;
    ExportRequest Request;
    bool Quiet = false;
    // peaks only
    PeaksOver Over = PeaksOver::Steps;
    bool Json = false;
    // follow only
    bool FromNow = false;
    std::optional<double> UntilIdle;  // seconds
};

// Reads the arguments that follow `export`. False, with the reason, for a usage error:
// an unknown option or format, a missing value, no listing or no output, options that
// exclude each other.
bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& options,
                     std::string& error);

// The same for `peaks`: the request options of `export`, the output optional (standard
// output without it), --over and --json beside them; --columns and --rows are no
// options of peaks, and --json does not go with an output file.
bool ParsePeaksArgs(const std::vector<std::string>& args, ExportOptions& options,
                    std::string& error);

// The same for `follow`: the request options that choose one vector kind and the items,
// --from-now and --until-idle; no output file, no time steps (every step is printed).
bool ParseFollowArgs(const std::vector<std::string>& args, ExportOptions& options,
                     std::string& error);

}  // namespace vx::cli
