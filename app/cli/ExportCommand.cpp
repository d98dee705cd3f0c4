#include <cstdio>

#include "app/cli/Commands.h"

namespace vx::cli {

int RunExport(const std::vector<std::string>&) {
    std::fprintf(stderr, "voraxextract-cli export: not available in this build yet\n");
    return kExitUsage;
}

}  // namespace vx::cli
