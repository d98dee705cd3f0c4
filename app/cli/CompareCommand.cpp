#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/Json.h"
#include "app/cli/TableOutput.h"
#include "common/Text.h"
#include "export/ComparisonTable.h"
#include "export/Worksheet.h"
#include "extraction/Comparison.h"
#include "extraction/Variables.h"

namespace vx::cli {

namespace {

struct CompareOptions {
    std::vector<std::string> Files;  // A and B
    CompareRequest Request;
    SheetRequest Sheet;
    bool Json = false;
    bool Quiet = false;
};

int Refuse(const std::string& reason) {
    const std::string line = "voraxextract-cli compare: " + reason + "\n";
    std::fputs(Latin1ToUtf8(line).c_str(), stderr);
    return kExitUsage;
}

// A tolerance: a non-negative, finite decimal number, read whole.
std::optional<double> ToleranceValue(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

bool ParseArgs(const std::vector<std::string>& args, CompareOptions& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&] {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        if (a == "-o" || a == "--output") {
            if (!value()) return false;
            o.Sheet.Path = v;
        } else if (a == "--format") {
            if (!value()) return false;
            o.Sheet.Format = FormatNamed(v);
            if (!o.Sheet.Format) {
                error = "unknown format '" + v + "' (xls, xlsx or csv)";
                return false;
            }
        } else if (a == "--variable") {
            if (!value()) return false;
            o.Request.Variables.push_back(v);
        } else if (a == "--rtol" || a == "--atol") {
            if (!value()) return false;
            const std::optional<double> tolerance = ToleranceValue(v);
            if (!tolerance) {
                error = a + " takes a non-negative number, not '" + v + "'";
                return false;
            }
            (a == "--rtol" ? o.Request.Within.Relative : o.Request.Within.Absolute) = *tolerance;
        } else if (a == "--json") {
            o.Json = true;
        } else if (a == "--quiet") {
            o.Quiet = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else if (o.Files.size() < 2) {
            o.Files.push_back(a);
        } else {
            error = "more than two listings given ('" + a + "')";
            return false;
        }
    }
    if (o.Files.size() < 2)
        error = "give two listings to compare";
    else if (o.Json && !o.Sheet.Path.empty())
        error = "--json prints the table; it cannot be given with -o";
    return error.empty();
}

std::string Json(const CompareOptions& o, const Comparison& comparison,
                 const ComparisonTable& table) {
    JsonWriter json;
    json.BeginObject();
    json.Key("A"), json.Utf8String(o.Files[0]);
    json.Key("B"), json.Utf8String(o.Files[1]);
    json.Key("Agree"), json.Bool(comparison.Agree());
    json.Key("Structure");
    json.BeginArray();
    for (const auto& line : comparison.Structure) json.String(line);
    json.EndArray();
    json.Key("Rows");
    WriteJsonRows(json, table);
    json.EndObject();
    return json.Text() + "\n";
}

}  // namespace

int RunCompare(const std::vector<std::string>& args) {
    CompareOptions o;
    std::string error;
    if (!ParseArgs(args, o, error)) return Refuse(error);
    const bool toFile = !o.Sheet.Path.empty();
    const SheetFormat format = FormatOf(o.Sheet);
    if (toFile)
        for (const std::string& listing : o.Files)
            if (auto refused = CheckSheetPath(listing, o.Sheet.Path))
                return Refuse(RefusalText(*refused, format));

    for (const std::string& name : o.Request.Variables)
        if (!FindVariable(name))
            return Refuse("variable '" + name + "' is offered by neither listing");

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    auto services = console.Get();
    // Each listing read once, both at a time: the scan and the values in one reading.
    ListingsCompared both;
    const Outcome read = CompareListings(o.Files[0], o.Files[1], o.Request, both, services);
    console.ClearProgress();
    if (read.Stopped) {
        std::fputs("voraxextract-cli compare: interrupted; nothing was written\n", stderr);
        return kExitMessage;
    }
    // A message while a listing was read: nothing would rest on the whole of it.
    if (read.Failed()) return ExitStatus(read);
    if (both.Refused) return Refuse(both.Refused->Reason);
    const Comparison& comparison = both.Result;
    for (const auto& line : comparison.Structure)
        std::fputs(Latin1ToUtf8(line + "\n").c_str(), stderr);
    Outcome outcome;
    for (auto& failure : both.Failures) services.Report(outcome, std::move(failure));
    if (outcome.Failed()) return ExitStatus(outcome);

    const ComparisonTable table(comparison);
    const int verdict = comparison.Agree() ? kExitOk : kExitMessage;
    if (toFile) {
        const Outcome written =
            WriteTable(SheetTarget{o.Sheet.Path, format, false}, table, services);
        return written.Failed() || written.Stopped ? ExitStatus(written) : verdict;
    }
    const std::string out = o.Json ? Json(o, comparison, table) : CsvText(table);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? verdict : kExitMessage;
}

}  // namespace vx::cli
