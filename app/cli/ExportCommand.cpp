#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
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

struct ExportOptions {
    std::string File;
    std::string Output;
    std::string Variable;
    bool HasVariable = false;
    std::string Vector;
    bool HasVector = false;
    std::string VectorIndex;
    bool HasVectorIndex = false;
    std::string From = "1", To = "1", Step = "1";
    enum class Times { None, Steps, Times, All } TimeSource = Times::None;
    std::string TimeList;
    bool Columns = false;
    bool Quiet = false;
};

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

bool ParseArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error) {
    auto setTimes = [&](ExportOptions::Times source, const std::string& list) {
        if (o.TimeSource != ExportOptions::Times::None) {
            error = "give only one of --steps, --times and --all-steps";
            return false;
        }
        o.TimeSource = source;
        o.TimeList = list;
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "-o" || a == "--output") {
            if (!value(o.Output)) return false;
        } else if (a == "--variable") {
            if (!value(o.Variable)) return false;
            o.HasVariable = true;
        } else if (a == "--vector") {
            if (!value(o.Vector)) return false;
            o.HasVector = true;
        } else if (a == "--vector-index") {
            if (!value(o.VectorIndex)) return false;
            o.HasVectorIndex = true;
        } else if (a == "--from") {
            if (!value(o.From)) return false;
        } else if (a == "--to") {
            if (!value(o.To)) return false;
        } else if (a == "--step") {
            if (!value(o.Step)) return false;
        } else if (a == "--steps") {
            if (!value(v) || !setTimes(ExportOptions::Times::Steps, v)) return false;
        } else if (a == "--times") {
            if (!value(v) || !setTimes(ExportOptions::Times::Times, v)) return false;
        } else if (a == "--all-steps") {
            if (!setTimes(ExportOptions::Times::All, "")) return false;
        } else if (a == "--columns") {
            o.Columns = true;
        } else if (a == "--rows") {
            o.Columns = false;
        } else if (a == "--quiet") {
            o.Quiet = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else if (o.File.empty()) {
            o.File = a;
        } else {
            error = "more than one listing given ('" + o.File + "', '" + a + "')";
            return false;
        }
    }
    if (o.File.empty())
        error = "no listing given";
    else if (o.Output.empty())
        error = "no output file given (-o OUT)";
    return error.empty();
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
    if (!ParseArgs(args, o, error)) return Refuse(error);
    if (IsTheListing(o.Output, o.File))
        return Refuse("the output file '" + o.Output +
                      "' is the listing itself, which is never overwritten");

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
    if (o.HasVariable) {
        variable = nullptr;
        for (const auto& v : offered)
            if (v.Name == o.Variable) variable = &v;
        if (!variable) {
            std::string names;
            for (const auto& v : offered) names += (names.empty() ? "" : ", ") + v.Name;
            return Refuse("variable '" + o.Variable +
                          "' is not offered by this listing (offered: " + names + ")");
        }
    }

    ExtractionRequest request;
    request.Variable = variable->Name;
    const auto& kinds = variable->VectorKinds;
    std::int32_t kind = kinds.empty() ? -1 : 0;
    if (o.HasVectorIndex) {
        auto k = ParseNumber(o.VectorIndex);
        if (!k || *k != static_cast<std::int32_t>(*k) || *k < 0 ||
            *k >= static_cast<double>(kinds.size()))
            return Refuse("vector index '" + o.VectorIndex + "' is not an entry of '" +
                          variable->Name + "' (0 to " +
                          std::to_string(static_cast<int>(kinds.size()) - 1) + ")");
        kind = static_cast<std::int32_t>(*k);
    }
    if (o.HasVector) {
        std::int32_t found = -1;
        for (std::size_t i = 0; i < kinds.size() && found < 0; ++i)
            if (kinds[i] == o.Vector) found = static_cast<std::int32_t>(i);
        if (found < 0)
            return Refuse("vector kind '" + o.Vector + "' does not exist for '" + variable->Name +
                          "'");
        if (o.HasVectorIndex && found != kind)
            return Refuse("--vector and --vector-index name different entries");
        kind = found;
    }
    request.VectorKindIndex = static_cast<std::int16_t>(kind);
    request.VectorKind = kind >= 0 ? kinds[static_cast<std::size_t>(kind)] : "";

    // "Eigen Values" empties the range boxes in the window.
    std::string from = o.From, to = o.To, step = o.Step;
    if (!variable->NeedsRange) from = to = step = "";

    std::vector<std::string> hidden;
    if (!SelectTimes(o, model, hidden, error)) return Refuse(error);
    if (!ReadyToSave(request.Variable, from, to, step, hidden.size(), model, &error))
        return Refuse("Save would stay disabled: " + error);
    if (!BuildVectors(request.Variable, from, to, step, request.Vectors, error))
        return Refuse(error);
    if (!BuildSelectedTimes(hidden, request.SelectedTimes, error)) return Refuse(error);
    request.TimesInColumns = o.Columns;
    request.OutputPath = o.Output;

    ValueTable table;
    ExtractAndWrite(model, request, table, services);
    console.ClearProgress();
    if (console.AbortRequested()) {
        std::fputs("voraxextract-cli export: interrupted; the sheet was not written\n", stderr);
        return kExitMessage;
    }
    return console.Messages().empty() ? kExitOk : kExitMessage;
}

}  // namespace vx::cli
