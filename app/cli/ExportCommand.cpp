#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "export/Worksheet.h"
#include "reader/Reader.h"
#include "scripting/ScriptRequest.h"

namespace vx::cli {

namespace {

struct ExportOptions {
    std::string File;
    ScriptChoice Choice;  // its Output is the -o file
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
    ScriptChoice& c = o.Choice;
    auto setTimes = [&](ScriptChoice::Times source, const std::string& list) {
        if (c.TimeSource != ScriptChoice::Times::None) {
            error = "give only one of --steps, --times and --all-steps";
            return false;
        }
        c.TimeSource = source;
        if (source != ScriptChoice::Times::All) c.TimeList = SplitList(list);
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
            if (!value(c.Output)) return false;
        } else if (a == "--variable") {
            if (!value(v)) return false;
            c.Variable = v;
        } else if (a == "--vector") {
            if (!value(v)) return false;
            c.VectorKind = v;
        } else if (a == "--vector-index") {
            if (!value(v)) return false;
            c.VectorIndex = v;
        } else if (a == "--from") {
            if (!value(c.From)) return false;
        } else if (a == "--to") {
            if (!value(c.To)) return false;
        } else if (a == "--step") {
            if (!value(c.Step)) return false;
        } else if (a == "--steps") {
            if (!value(v) || !setTimes(ScriptChoice::Times::Steps, v)) return false;
        } else if (a == "--times") {
            if (!value(v) || !setTimes(ScriptChoice::Times::Times, v)) return false;
        } else if (a == "--all-steps") {
            if (!setTimes(ScriptChoice::Times::All, "")) return false;
        } else if (a == "--columns") {
            c.TimesInColumns = true;
        } else if (a == "--rows") {
            c.TimesInColumns = false;
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
    else if (c.Output.empty())
        error = "no output file given (-o OUT)";
    return error.empty();
}

}  // namespace

int RunExport(const std::vector<std::string>& args) {
    ExportOptions o;
    std::string error;
    if (!ParseArgs(args, o, error)) return Refuse(error);
    if (IsTheListing(o.Choice.Output, o.File))
        return Refuse("the output file '" + o.Choice.Output +
                      "' is the listing itself, which is never overwritten");

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    OutputFileModel model;
    model.FilePath = o.File;
    model.Reset();
    auto services = console.Get();
    ReadOutputFile(model, services);
    console.ClearProgress();

    ExtractionRequest request;
    if (!BuildScriptRequest(model, o.Choice, request, error)) return Refuse(error);

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
