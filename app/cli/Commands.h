#pragma once

#include <string>
#include <vector>

namespace vx::cli {

// Exit statuses of the command-line tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitMessage = 1;  // a message was shown
inline constexpr int kExitUsage = 2;    // usage error or refused request: nothing written

// `info FILE [--json]` and `export FILE -o OUT [options]`; arguments after the command
// name. Each returns the exit status.
int RunInfo(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);

}  // namespace vx::cli
