#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/ExportOptions.h"
#include "export/ExportRequest.h"
#include "export/VariableCatalogue.h"
#include "export/Worksheet.h"
#include "reader/Reader.h"
#include "reader/TextRoutines.h"
#include "timelists/ListBox.h"
#include "timelists/ModListBox.h"
#include "timelists/TimeLists.h"

namespace vx::cli {

namespace {

// A usage error or a request the window would never let through: one line, exit 2,
// nothing written.
int Refuse(const std::string& reason) {
    std::string line = "voraxextract-cli export: " + reason + "\n";
    std::fputs(Latin1ToUtf8(line).c_str(), stderr);
    return kExitUsage;
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = list.find(',', start);
        items.push_back(
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

// The Selected and hidden lists the request's time options make, as the window's lists
// would hold them.
bool SelectTimes(const ExportOptions& o, const OutputFileModel& model,
                 std::vector<std::string>& hidden, std::string& error) {
    ListBox available("lstAvailable"), selected("lstSelected"), hiddenList("lstHidden");
    for (std::int32_t i = 0; i < model.TimeCount; ++i)
        available.AddItem(TimeText(model.Times[static_cast<std::size_t>(i)].Time));
    switch (o.TimeSource) {
        case ExportOptions::Times::None:
            break;
        case ExportOptions::Times::All:
            AddAllTimes({available, selected, hiddenList});
            break;
        case ExportOptions::Times::Steps:
            for (const auto& item : SplitList(o.TimeList)) {
                auto number = ParseNumber(item);
                if (!number || *number != static_cast<std::int32_t>(*number) || *number < 1 ||
                    *number > model.TimeCount) {
                    error = "time step '" + item + "' is not a number from 1 to " +
                            std::to_string(model.TimeCount);
                    return false;
                }
                hiddenList.AddItem(std::to_string(static_cast<std::int32_t>(*number)));
            }
            break;
        case ExportOptions::Times::Times:
            for (const auto& item : SplitList(o.TimeList)) {
                if (FindItemExact(available, item) == -1) {
                    error = "time '" + item + "' is not in the list of available times";
                    return false;
                }
                AddTime({available, selected, hiddenList}, item);
            }
            break;
    }
    hidden = hiddenList.Items();
    return true;
}

// True when `output` names the very file `listing` is (the same path, a link to it, or
// another name of it). Saving there would replace the listing by the sheet.
bool IsTheListing(const std::string& output, const std::string& listing) {
    struct stat a {
    }, b{};
    return ::stat(output.c_str(), &a) == 0 && ::stat(listing.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

int RunExport(const std::vector<std::string>& args) {
    ExportOptions o;
    std::string error;
    if (!ParseExportArgs(args, o, error)) return Refuse(error);
    if (IsTheListing(o.Output, o.File))
        return Refuse("the output file '" + o.Output +
                      "' is the listing itself, which is never overwritten");
    const SheetFormat format =
        o.Format ? *o.Format : FormatOfPath(o.Output).value_or(SheetFormat::Xls);

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    OutputFileModel model;
    model.FilePath = o.File;
    model.Reset();
    auto services = console.Get();
    ReadOutputFile(model, services);
    console.ClearProgress();

    auto offered = OfferedVariables(model);
    if (offered.empty()) return Refuse("the listing offers no variable to export");
    const OfferedVariable* variable = &offered.front();
    if (o.Variable) {
        variable = nullptr;
        for (const auto& v : offered)
            if (v.Name == *o.Variable) variable = &v;
        if (!variable) {
            std::string names;
            for (const auto& v : offered) names += (names.empty() ? "" : ", ") + v.Name;
            return Refuse("variable '" + *o.Variable +
                          "' is not offered by this listing (offered: " + names + ")");
        }
    }

    // The vector kinds, one sheet each: the first entry unless named.
    const auto& kinds = variable->VectorKinds;
    std::vector<std::int32_t> chosen = {kinds.empty() ? -1 : 0};
    if (o.VectorIndex) {
        auto k = ParseNumber(*o.VectorIndex);
        if (!k || *k != static_cast<std::int32_t>(*k) || *k < 0 ||
            *k >= static_cast<double>(kinds.size()))
            return Refuse("vector index '" + *o.VectorIndex + "' is not an entry of '" +
                          variable->Name + "' (0 to " +
                          std::to_string(static_cast<int>(kinds.size()) - 1) + ")");
        chosen = {static_cast<std::int32_t>(*k)};
    }
    if (!o.Vectors.empty()) {
        std::vector<std::int32_t> named;
        for (const auto& text : o.Vectors) {
            std::int32_t found = -1;
            for (std::size_t i = 0; i < kinds.size() && found < 0; ++i)
                if (kinds[i] == text) found = static_cast<std::int32_t>(i);
            if (found < 0)
                return Refuse("vector kind '" + text + "' does not exist for '" + variable->Name +
                              "'");
            named.push_back(found);
        }
        if (o.VectorIndex && named.front() != chosen.front())
            return Refuse("--vector and --vector-index name different entries");
        chosen = std::move(named);
    }
    if (o.AllVectors && !kinds.empty()) {
        chosen.clear();
        for (std::size_t i = 0; i < kinds.size(); ++i)
            chosen.push_back(static_cast<std::int32_t>(i));
    }
    if (chosen.size() > 1 && format != SheetFormat::Xlsx)
        return Refuse("several vector kinds need --format xlsx, one sheet each; a " +
                      std::string(FormatInfo(format).Name) + " file holds one sheet");

    ExtractionRequest request;
    request.Variable = variable->Name;
    std::vector<std::string> hidden;
    if (!SelectTimes(o, model, hidden, error)) return Refuse(error);
    if (o.Items) {
        if (!variable->NeedsRange)
            return Refuse("--items does not apply to '" + variable->Name +
                          "', which has no range of items");
        const auto bound = std::min<std::int32_t>(variable->Bound, INT16_MAX);
        if (!ParseItems(*o.Items, bound, request.Vectors, error)) return Refuse(error);
        if (hidden.empty()) return Refuse("Save would stay disabled: no time step is selected");
    } else {
        // "Eigen Values" empties the range boxes in the window.
        std::string from = o.From, to = o.To, step = o.Step;
        if (!variable->NeedsRange) from = to = step = "";
        if (!ReadyToSave(request.Variable, from, to, step, hidden.size(), model, &error))
            return Refuse("Save would stay disabled: " + error);
        if (!BuildVectors(request.Variable, from, to, step, request.Vectors, error))
            return Refuse(error);
    }
    if (!BuildSelectedTimes(hidden, request.SelectedTimes, error)) return Refuse(error);
    request.TimesInColumns = o.Columns;
    request.OutputPath = o.Output;

    std::vector<ExtractionRequest> requests;
    for (std::int32_t kind : chosen) {
        request.VectorKindIndex = static_cast<std::int16_t>(kind);
        request.VectorKind = kind >= 0 ? kinds[static_cast<std::size_t>(kind)] : "";
        requests.push_back(request);
    }

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
