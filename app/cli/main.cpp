// voraxextract-cli: the reader, extraction and writer of VoraxExtract without a window,
// for scripts and batch work.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/cli/Commands.h"

namespace {

constexpr const char* kUsage =
    "usage: voraxextract-cli info FILE [--json]\n"
    "       voraxextract-cli export FILE -o OUT [--format xls|xlsx|csv] [--variable NAME]\n"
    "                       [--vector KIND ... | --all-vectors | --vector-index K]\n"
    "                       [--from TEXT] [--to TEXT] [--step TEXT] | [--items LIST]\n"
    "                       [--steps LIST | --times LIST | --all-steps] [--columns | --rows] "
    "[--quiet]\n"
    "       voraxextract-cli peaks FILE [-o OUT [--format xls|xlsx|csv] | --json]\n"
    "                       [--over steps|items] and the request options of export\n"
    "       voraxextract-cli compare A B [-o OUT [--format xls|xlsx|csv] | --json]\n"
    "                       [--variable NAME ...] [--rtol R] [--atol T] [--quiet]\n"
    "       voraxextract-cli follow FILE [--from-now] [--until-idle SECONDS] [--variable NAME]\n"
    "                       [--vector KIND | --vector-index K] [--from TEXT] [--to TEXT]\n"
    "                       [--step TEXT] | [--items LIST] [--quiet]\n";

// --help adds what the synopsis cannot say.
constexpr const char* kHelp =
    "\n"
    "export writes OUT as an Excel 2.x .xls (the default, values to six decimals), an Excel\n"
    "workbook .xlsx or a .csv (UTF-8, commas, CR LF line ends), the values in full;\n"
    "without --format OUT's extension decides (.xlsx, .csv; anything else .xls).\n"
    "  --items LIST     items by number instead of From/To/Step, in the order given:\n"
    "                   N, A-B or A-B:S pieces separated by commas (1,5,9-20,100-200:10)\n"
    "  --vector KIND    more than once, or --all-vectors: one sheet per vector kind (xlsx)\n"
    "\n"
    "peaks prints, as CSV on standard output (or --json, or into OUT), the largest and\n"
    "smallest value of each item over the chosen steps and the steps where they stand\n"
    "(--over steps), or of each step over the chosen items with their mean (--over items);\n"
    "every vector kind asked for in one table.\n"
    "\n"
    "compare reads two listings side by side and compares every value of every variable\n"
    "and vector kind both offer (or those named with --variable), steps and items matched\n"
    "by number: a and b agree when |a - b| <= T + R * max(|a|, |b|). It prints a line per\n"
    "variable and kind (the times first) with the largest differences and where the worst\n"
    "one stands; differences of structure go to standard error. Exit 0 when the listings\n"
    "agree, 1 when they do not (or a message was shown), 2 for a usage error.\n"
    "\n"
    "follow prints, like tail -f, a CSV line of each step's values (Step,Time,items...) as\n"
    "the step is completed in a listing VORAX is still writing: when the next step's time\n"
    "line is written, or when the listing has not grown for --until-idle seconds (then it\n"
    "ends). --from-now starts with the first step completed after it starts; Ctrl+C ends it.\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return vx::cli::kExitUsage;
    }
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "info") return vx::cli::RunInfo(args);
    if (command == "export") return vx::cli::RunExport(args);
    if (command == "peaks") return vx::cli::RunPeaks(args);
    if (command == "compare") return vx::cli::RunCompare(args);
    if (command == "follow") return vx::cli::RunFollow(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return vx::cli::kExitOk;
    }
    std::fprintf(stderr, "voraxextract-cli: unknown command '%s'\n%s", command.c_str(), kUsage);
    return vx::cli::kExitUsage;
}
