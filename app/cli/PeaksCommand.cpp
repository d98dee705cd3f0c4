#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/ExportOptions.h"
#include "app/cli/Json.h"
#include "app/cli/TableOutput.h"
#include "common/Text.h"
#include "export/PeaksTable.h"
#include "export/RequestPass.h"
#include "export/Worksheet.h"
#include "extraction/Peaks.h"
#include "reader/TextRoutines.h"

namespace vx::cli {

namespace {

int Refuse(const std::string& reason) {
    const std::string line = "voraxextract-cli peaks: " + reason + "\n";
    std::fputs(Latin1ToUtf8(line).c_str(), stderr);
    return kExitUsage;
}

std::string Json(const PeaksTable& table, const std::string& variable, PeaksOver over) {
    JsonWriter json;
    json.BeginObject();
    json.Key("Variable"), json.String(variable);
    json.Key("Over"), json.String(over == PeaksOver::Steps ? "steps" : "items");
    json.Key("Rows");
    WriteJsonRows(json, table);
    json.EndObject();
    return json.Text() + "\n";
}

}  // namespace

int RunPeaks(const std::vector<std::string>& args) {
    ExportOptions o;
    std::string error;
    if (!ParsePeaksArgs(args, o, error)) return Refuse(error);
    const ExportRequest request = PeaksRequest(std::move(o.Request));
    const bool toFile = !request.Sheet.Path.empty();
    const SheetFormat format = FormatOf(request.Sheet);
    if (toFile) {
        if (auto refused = CheckSheetPath(o.File, request.Sheet.Path))
            return Refuse(RefusalText(*refused, format));
    }

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    OutputFileModel model;
    // The listing is read once: its scan, and the peaks folded as it goes.
    RequestPass pass(request, o.Over == PeaksOver::Steps ? RequestPass::Keep::PeaksOverSteps
                                                         : RequestPass::Keep::PeaksOverItems);
    Outcome outcome = console.ReadListing(o.File, model, pass);
    auto services = console.Get();

    const Planned& planned = pass.Plan();
    if (const auto* refused = std::get_if<Refusal>(&planned))
        return Refuse(RefusalText(*refused, format));
    // A message while the listing was read: the table would rest on part of it.
    if (outcome.Failed()) return ExitStatus(outcome);

    const ExportPlan& plan = std::get<ExportPlan>(planned);
    WarnIfCutShort(model, plan.Readings, pass.Held());
    std::vector<KindPeaks> peaks;
    outcome.Append(pass.Peaks(model, peaks, services));
    console.ClearProgress();
    if (outcome.Stopped) {
        std::fputs("voraxextract-cli peaks: interrupted; nothing was written\n", stderr);
        return kExitMessage;
    }
    if (outcome.Failed()) return ExitStatus(outcome);

    const PeaksTable table(model, plan.Readings, peaks, o.Over);
    if (toFile) return ExitStatus(WriteTable(plan.Sheet, table, services));
    const std::string out =
        o.Json ? Json(table, plan.Readings.front().Variable, o.Over) : CsvText(table);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitMessage;
}

}  // namespace vx::cli
