#include <cstdio>
#include <iostream>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/Json.h"
#include "extraction/Variables.h"
#include "reader/FileSummary.h"
#include "reader/TextRoutines.h"

namespace vx::cli {

namespace {

std::string InfoJson(const OutputFileModel& m, const std::vector<Notice>& messages) {
    JsonWriter json;
    WriteListingSummary(m, messages, json);
    return json.Text() + "\n";
}

std::string InfoText(const OutputFileModel& m) {
    std::string out;
    for (const auto& row : SummaryRows(m))
        if (row.Enabled)
            out += row.Caption + std::string(10 - row.Caption.size(), ' ') + row.Value + "\n";
    out += "Time steps: " + std::to_string(m.TimeCount);
    if (m.TimeCount > 0) {
        out += " (first " + TimeText(m.Times.front().Time) + ", last " +
               TimeText(m.Times[static_cast<std::size_t>(m.TimeCount - 1)].Time) + ")";
    }
    out += "\n";
    auto variables = OfferedVariables(m);
    out += variables.empty() ? "Variables: none\n" : "Variables:\n";
    for (const auto& v : variables) {
        out += "  " + v.Name;
        if (v.NeedsRange) out += "  [" + v.RangeCaption + " 1.." + std::to_string(v.Bound) + "]";
        if (!v.VectorKinds.empty()) {
            out += "  vectors:";
            for (std::size_t i = 0; i < v.VectorKinds.size(); ++i)
                out += (i ? ", " : " ") + v.VectorKinds[i];
        }
        out += "\n";
    }
    return Latin1ToUtf8(out);
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    bool quiet = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "voraxextract-cli info: unknown option '%s'\n", arg.c_str());
            return kExitUsage;
        } else if (file.empty()) {
            file = arg;
        } else {
            std::fprintf(stderr, "voraxextract-cli info: more than one file given\n");
            return kExitUsage;
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: voraxextract-cli info FILE [--json]\n");
        return kExitUsage;
    }

    OutputFileModel model;
    ConsoleServices console(/*echoMessages=*/!json, /*showProgress=*/!quiet);
    const Outcome outcome = console.ReadListing(file, model);

    std::string out = json ? InfoJson(model, outcome.Notices) : InfoText(model);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitMessage;
}

}  // namespace vx::cli
