#include "app/cli/ExportOptions.h"

#include <optional>

#include "export/ItemList.h"
#include "reader/TextRoutines.h"

namespace vx::cli {

namespace {

enum class Command { Export, Peaks, Follow };

bool ParseArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error,
               Command command) {
    const bool peaks = command == Command::Peaks, follow = command == Command::Follow;
    ExportRequest& r = o.Request;
    ItemRange range;
    bool hasRange = false;  // --from, --to or --step given
    std::optional<std::string> items;
    std::vector<std::string> vectors;  // every --vector, in order
    std::optional<std::string> vectorIndex;
    bool timesGiven = false;
    auto setTimes = [&](StepChoice steps) {
        if (timesGiven) {
            error = "give only one of --steps, --times and --all-steps";
            return false;
        }
        timesGiven = true;
        r.Steps = std::move(steps);
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
        if (follow &&
            (a == "-o" || a == "--output" || a == "--format" || a == "--steps" || a == "--times" ||
             a == "--all-steps" || a == "--all-vectors" || a == "--columns" || a == "--rows")) {
            error = a + " does not apply to follow: it prints every step of one vector kind";
            return false;
        } else if (follow && a == "--from-now") {
            o.FromNow = true;
        } else if (follow && a == "--until-idle") {
            if (!value(v)) return false;
            const std::optional<double> seconds = ParseNumber(v);
            if (!seconds || !(*seconds >= 0) || *seconds > 1e9) {
                error = "--until-idle takes a number of seconds, not '" + v + "'";
                return false;
            }
            o.UntilIdle = *seconds;
        } else if (a == "-o" || a == "--output") {
            if (!value(r.Sheet.Path)) return false;
        } else if (a == "--variable") {
            if (!value(v)) return false;
            r.Variable = v;
        } else if (a == "--vector") {
            if (!value(v)) return false;
            vectors.push_back(v);
        } else if (a == "--all-vectors") {
            r.EveryVectorKind = true;
        } else if (a == "--vector-index") {
            if (!value(v)) return false;
            vectorIndex = v;
        } else if (a == "--from" || a == "--to" || a == "--step") {
            if (!value(a == "--from" ? range.From : a == "--to" ? range.To : range.Step))
                return false;
            hasRange = true;
        } else if (a == "--items") {
            if (!value(v)) return false;
            items = v;
        } else if (a == "--format") {
            if (!value(v)) return false;
            r.Sheet.Format = FormatNamed(v);
            if (!r.Sheet.Format) {
                error = "unknown format '" + v + "' (xls, xlsx or csv)";
                return false;
            }
        } else if (a == "--steps") {
            if (!value(v)) return false;
            StepNumbers steps;
            for (std::string_view piece : SplitAtCommas(v))
                steps.Numbers.emplace_back(std::string(piece));
            if (!setTimes(std::move(steps))) return false;
        } else if (a == "--times") {
            if (!value(v)) return false;
            StepTimes times;
            for (std::string_view piece : SplitAtCommas(v)) times.Times.emplace_back(piece);
            if (!setTimes(std::move(times))) return false;
        } else if (a == "--all-steps") {
            if (!setTimes(EveryStep{})) return false;
        } else if (!peaks && (a == "--columns" || a == "--rows")) {
            r.Sheet.TimesInColumns = a == "--columns";
        } else if (peaks && a == "--over") {
            if (!value(v)) return false;
            if (v != "steps" && v != "items") {
                error = "unknown --over '" + v + "' (steps or items)";
                return false;
            }
            o.Over = v == "steps" ? PeaksOver::Steps : PeaksOver::Items;
        } else if (peaks && a == "--json") {
            o.Json = true;
        } else if (peaks && (a == "--columns" || a == "--rows")) {
            error = a + " does not apply to peaks: its table has a row per item or step";
            return false;
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
    else if (!peaks && !follow && r.Sheet.Path.empty())
        error = "no output file given (-o OUT)";
    else if (o.Json && !r.Sheet.Path.empty())
        error = "--json prints the table; it cannot be given with -o";
    else if (items && hasRange)
        error = "--items cannot be given with --from, --to or --step";
    else if (r.EveryVectorKind && (!vectors.empty() || vectorIndex))
        error = "--all-vectors cannot be given with --vector or --vector-index";
    else if (follow && vectors.size() > 1)
        error = "follow prints one vector kind; give --vector once";
    else if (vectors.size() > 1 && vectorIndex)
        error = "--vector-index names one vector kind; give it with one --vector at most";
    if (!error.empty()) return false;

    if (items)
        r.Items = ItemListText{*items};
    else
        r.Items = range;
    for (const auto& text : vectors) r.VectorKinds.push_back({text, std::nullopt});
    if (vectorIndex) {
        if (r.VectorKinds.empty()) r.VectorKinds.emplace_back();
        r.VectorKinds.front().Index = *vectorIndex;
    }
    return true;
}

}  // namespace

bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error) {
    return ParseArgs(args, o, error, Command::Export);
}

bool ParsePeaksArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error) {
    return ParseArgs(args, o, error, Command::Peaks);
}

bool ParseFollowArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error) {
    return ParseArgs(args, o, error, Command::Follow);
}

}  // namespace vx::cli
