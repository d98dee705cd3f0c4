#pragma once

#include <optional>
#include <string>
#include <vector>

#include "export/SheetFormats.h"
#include "scripting/ScriptRequest.h"

namespace vx::cli {

// The arguments of `export`, as given; nothing is checked against the listing here.
// What a script could ask for too is in Choice (its VectorKind stays unset: the sheets'
// vector kinds are Vectors or AllVectors); the rest is the command line's own.
struct ExportOptions {
    std::string File;
    ScriptChoice Choice;
    std::vector<std::string> Vectors;  // every --vector, in order
    bool AllVectors = false;
    bool HasRange = false;  // --from, --to or --step given
    std::optional<SheetFormat> Format;
    bool Quiet = false;
};

// Reads the arguments that follow `export`. False, with the reason, for a usage error:
// an unknown option or format, a missing value, no listing or no output, options that
// exclude each other.
bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& options,
                     std::string& error);

}  // namespace vx::cli
