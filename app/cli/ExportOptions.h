#pragma once

#include <string>
#include <vector>

#include "export/ExportPlan.h"

namespace vx::cli {

// The arguments of `export`, as given; nothing is checked against the listing here.
// What they ask for is the export request; the rest is the command line's own.
struct ExportOptions {
    std::string File;
    ExportRequest Request;
    bool Quiet = false;
};

// Reads the arguments that follow `export`. False, with the reason, for a usage error:
// an unknown option or format, a missing value, no listing or no output, options that
// exclude each other.
bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& options,
                     std::string& error);

}  // namespace vx::cli
