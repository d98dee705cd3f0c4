#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/ExportOptions.h"
#include "common/Text.h"
#include "export/RequestPass.h"
#include "extraction/Extraction.h"

namespace vx::cli {

namespace {

// A usage error or a request the window would never let through: one line, exit 2,
// nothing written.
int Refuse(const std::string& reason) {
    std::string line = "voraxextract-cli export: " + reason + "\n";
    std::fputs(Latin1ToUtf8(line).c_str(), stderr);
    return kExitUsage;
}

}  // namespace

int ExitStatus(const Outcome& outcome) {
    int status = outcome.Stopped ? kExitMessage : kExitOk;
    for (const Notice& notice : outcome.Notices) {
        switch (notice.Kind) {
            case FailureKind::NotAListing:
            case FailureKind::MissingBlock:
            case FailureKind::ValueTooLarge:
            case FailureKind::FileNotFound:
            case FailureKind::AccessDenied:
            case FailureKind::FileLocked:
            case FailureKind::FormatLimit:
            case FailureKind::ReadFailed:
            case FailureKind::WriteFailed:
                status = kExitMessage;
                break;
        }
    }
    return status;
}

std::string RefusalText(const Refusal& refusal, SheetFormat format) {
    switch (refusal.Rule) {
        case RefusalRule::VectorChoicesDiffer:
            return "--vector and --vector-index name different entries";
        case RefusalRule::ItemsNotApplicable:
            return "--items does not apply to '" + refusal.Variable +
                   "', which has no range of items";
        case RefusalRule::SeveralKindsNeedWorkbook:
            return "several vector kinds need --format xlsx, one sheet each; a " +
                   std::string(FormatInfo(format).Name) + " file holds one sheet";
        default:
            return refusal.SaveStaysDisabled ? "Save would stay disabled: " + refusal.Reason
                                             : refusal.Reason;
    }
}

void WarnIfCutShort(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                    SharedBytes* held) {
    for (const ExtractionRequest& reading : readings) {
        if (const auto cut = RequestCutShort(model, reading, held)) {
            const std::string line =
                "voraxextract-cli: warning: " + CutShortText(model, reading, *cut) + "\n";
            std::fputs(Latin1ToUtf8(line).c_str(), stderr);
            return;
        }
    }
}

int RunExport(const std::vector<std::string>& args) {
    ExportOptions o;
    std::string error;
    if (!ParseExportArgs(args, o, error)) return Refuse(error);
    const SheetFormat format = FormatOf(o.Request.Sheet);
    // The listing is never written over: refused before it is read.
    if (auto refused = CheckSheetPath(o.File, o.Request.Sheet.Path))
        return Refuse(RefusalText(*refused, format));

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    OutputFileModel model;
    // The listing is read once: its scan, and the values the request wants as it goes.
    RequestPass pass(o.Request, RequestPass::Keep::Values);
    Outcome outcome = console.ReadListing(o.File, model, pass);
    auto services = console.Get();

    const Planned& planned = pass.Plan();
    if (const auto* refused = std::get_if<Refusal>(&planned))
        return Refuse(RefusalText(*refused, format));

    WarnIfCutShort(model, std::get<ExportPlan>(planned).Readings, pass.Held());
    ValueTable table;
    outcome.Append(pass.Export(model, table, services));
    console.ClearProgress();
    if (outcome.Stopped) {
        std::fputs("voraxextract-cli export: interrupted; the sheet was not written\n", stderr);
        return kExitMessage;
    }
    return ExitStatus(outcome);
}

}  // namespace vx::cli
