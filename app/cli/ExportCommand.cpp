#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/ExportOptions.h"
#include "common/Paths.h"
#include "export/VariableCatalogue.h"
#include "export/Worksheet.h"
#include "reader/Reader.h"
#include "scripting/ScriptRequest.h"

namespace vx::cli {

namespace {

// A usage error or a request the window would never let through: one line, exit 2,
// nothing written.
int Refuse(const std::string& reason) {
    std::string line = "voraxextract-cli export: " + reason + "\n";
    std::fputs(Latin1ToUtf8(line).c_str(), stderr);
    return kExitUsage;
}

// One request per sheet: the first as built, then one per further --vector, or one per
// entry of the vector-kind list for --all-vectors. The others differ only in the kind.
bool SheetRequests(const ExportOptions& o, const OutputFileModel& model, SheetFormat format,
                   std::vector<ExtractionRequest>& requests, std::string& error) {
    // The first sheet's request is the script's: the first --vector, if any.
    ScriptChoice choice = o.Choice;
    if (!o.Vectors.empty()) choice.VectorKind = o.Vectors.front();
    ExtractionRequest first;
    if (!BuildScriptRequest(model, choice, first, error)) return false;
    std::vector<std::string> kinds(o.Vectors.begin(), o.Vectors.end());
    if (o.AllVectors) {
        kinds.clear();
        for (const auto& v : OfferedVariables(model))
            if (v.Name == first.Variable) kinds = v.VectorKinds;
    }
    choice.VectorIndex.reset();
    for (std::size_t i = 1; i < kinds.size(); ++i) {
        ExtractionRequest next;
        choice.VectorKind = kinds[i];
        if (!BuildScriptRequest(model, choice, next, error)) return false;
        requests.push_back(std::move(next));
    }
    requests.insert(requests.begin(), std::move(first));
    if (requests.size() > 1 && format != SheetFormat::Xlsx) {
        error = "several vector kinds need --format xlsx, one sheet each; a " +
                std::string(FormatInfo(format).Name) + " file holds one sheet";
        return false;
    }
    return true;
}

}  // namespace

int RunExport(const std::vector<std::string>& args) {
    ExportOptions o;
    std::string error;
    if (!ParseExportArgs(args, o, error)) return Refuse(error);
    if (IsSameFile(o.Choice.Output, o.File))
        return Refuse("the output file '" + o.Choice.Output +
                      "' is the listing itself, which is never overwritten");
    const SheetFormat format =
        o.Format ? *o.Format : FormatOfPath(o.Choice.Output).value_or(SheetFormat::Xls);

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    OutputFileModel model;
    model.FilePath = o.File;
    model.Reset();
    auto services = console.Get();
    ReadOutputFile(model, services);
    console.ClearProgress();

    std::vector<ExtractionRequest> requests;
    if (!SheetRequests(o, model, format, requests, error)) return Refuse(error);

    ValueTable table;
    ExtractAndWrite(model, requests, table, services, format);
    console.ClearProgress();
    if (console.AbortRequested()) {
        std::fputs("voraxextract-cli export: interrupted; the sheet was not written\n", stderr);
        return kExitMessage;
    }
    return console.Messages().empty() ? kExitOk : kExitMessage;
}

}  // namespace vx::cli
