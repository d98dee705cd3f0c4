#pragma once

#include <span>
#include <string>
#include <vector>

#include "common/Outcome.h"
#include "export/ExportPlan.h"
#include "reader/LineReader.h"

namespace vx::cli {

// Exit statuses of the command-line tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitMessage = 1;  // a message was shown
inline constexpr int kExitUsage = 2;    // usage error or refused request: nothing written

// The exit status of a run by what it reported: 0 when it reported nothing, 1 for any
// failure (a box of the window) or a run the user stopped.
int ExitStatus(const Outcome& outcome);

// A refused request as the tool words it: the plain reason, where the window would
// keep Save disabled after "Save would stay disabled: ", and the tool's options named
// where the reason is about them. `format`: the format the request asks for.
std::string RefusalText(const Refusal& refusal, SheetFormat format);

// Warns on standard error, once, when a reading reaches into a step cut short (the last
// step of a listing still being written); the exit status stays as it is.
// `held`: the bytes a reading just read, looked at rather than read again.
void WarnIfCutShort(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                    SharedBytes* held = nullptr);

// `info FILE [--json]` and `export FILE -o OUT [options]`; arguments after the command
// name. Each returns the exit status.
int RunInfo(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
// `peaks FILE [options]`: the largest and smallest values of a request and where they are.
int RunPeaks(const std::vector<std::string>& args);
// `compare A B [options]`: two listings value by value; 0 when they agree.
int RunCompare(const std::vector<std::string>& args);
// `follow FILE [options]`: each step's values as the step is completed in a listing still
// being written.
int RunFollow(const std::vector<std::string>& args);

}  // namespace vx::cli
