#include "app/cli/ExportOptions.h"

namespace vx::cli {

bool ParseExportArgs(const std::vector<std::string>& args, ExportOptions& o, std::string& error) {
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
            if (!value(v)) return false;
            o.Variable = v;
        } else if (a == "--vector") {
            if (!value(v)) return false;
            o.Vectors.push_back(v);
        } else if (a == "--all-vectors") {
            o.AllVectors = true;
        } else if (a == "--vector-index") {
            if (!value(v)) return false;
            o.VectorIndex = v;
        } else if (a == "--from" || a == "--to" || a == "--step") {
            if (!value(a == "--from" ? o.From : a == "--to" ? o.To : o.Step)) return false;
            o.HasRange = true;
        } else if (a == "--items") {
            if (!value(v)) return false;
            o.Items = v;
        } else if (a == "--format") {
            if (!value(v)) return false;
            o.Format = FormatNamed(v);
            if (!o.Format) {
                error = "unknown format '" + v + "' (xls, xlsx or csv)";
                return false;
            }
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
    else if (o.Items && o.HasRange)
        error = "--items cannot be given with --from, --to or --step";
    else if (o.AllVectors && (!o.Vectors.empty() || o.VectorIndex))
        error = "--all-vectors cannot be given with --vector or --vector-index";
    else if (o.Vectors.size() > 1 && o.VectorIndex)
        error = "--vector-index names one vector kind; give it with one --vector at most";
    return error.empty();
}

}  // namespace vx::cli
