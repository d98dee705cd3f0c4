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
    "       voraxextract-cli export FILE -o OUT [--variable NAME] [--vector KIND | --vector-index "
    "K]\n"
    "                       [--from TEXT] [--to TEXT] [--step TEXT]\n"
    "                       [--steps LIST | --times LIST | --all-steps] [--columns | --rows] "
    "[--quiet]\n";

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
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return vx::cli::kExitOk;
    }
    std::fprintf(stderr, "voraxextract-cli: unknown command '%s'\n%s", command.c_str(), kUsage);
    return vx::cli::kExitUsage;
}
