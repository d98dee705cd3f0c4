#include "app/cli/ExportOptions.h"

#include "scripting/ItemList.h"

namespace vx::cli {

bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error) {
    ScriptChoice& c = o.Choice;
    auto setTimes = [&](ScriptChoice::Times source, const std::string& list) {
        if (c.TimeSource != ScriptChoice::Times::None) {
            error = "give only one of --steps, --times and --all-steps";
            return false;
        }
        c.TimeSource = source;
        if (source != ScriptChoice::Times::All)
            for (std::string_view piece : SplitAtCommas(list)) c.TimeList.emplace_back(piece);
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
            o.Vectors.push_back(v);
        } else if (a == "--all-vectors") {
            o.AllVectors = true;
        } else if (a == "--vector-index") {
            if (!value(v)) return false;
            c.VectorIndex = v;
        } else if (a == "--from" || a == "--to" || a == "--step") {
            if (!value(a == "--from" ? c.From : a == "--to" ? c.To : c.Step)) return false;
            o.HasRange = true;
        } else if (a == "--items") {
            if (!value(v)) return false;
            c.ItemList = v;
        } else if (a == "--format") {
            if (!value(v)) return false;
            o.Format = FormatNamed(v);
            if (!o.Format) {
                error = "unknown format '" + v + "' (xls, xlsx or csv)";
                return false;
            }
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
    else if (c.ItemList && o.HasRange)
        error = "--items cannot be given with --from, --to or --step";
    else if (o.AllVectors && (!o.Vectors.empty() || c.VectorIndex))
        error = "--all-vectors cannot be given with --vector or --vector-index";
    else if (o.Vectors.size() > 1 && c.VectorIndex)
        error = "--vector-index names one vector kind; give it with one --vector at most";
    return error.empty();
}

}  // namespace vx::cli
