#pragma once

#include <functional>
#include <vector>

#include "reader/LineReader.h"
#include "reader/OutputFileModel.h"
#include "reader/ScanProgress.h"
#include "reader/Services.h"

namespace vx {

// Indexes every time line from the reader's position to the end of the file: the time
// and the offset of the line after it. Sets Times and TimeCount only when it gets to
// the end; 32767 or more time steps overflow the step counter (a read failure).
//
// On a large file the index is made by several threads (options.Threads), each taking
// the next piece of the file (options.TimeIndexPieceBytes) in turn; the outcome is that
// of one reading from front to back.
//
// With `found`, the index is made in one reading from front to back, and `found` is
// told of every step as it is found, with the steps found so far.
using StepsFound = std::function<void(const std::vector<TimeStep>& times)>;
void IndexTimeSteps(LineReader& in, OutputFileModel& model, ScanProgress& progress,
                    const ReadingOptions& options, const StepsFound& found = {});

// Goes on with the index of `model` from the reader's position, a line start: the steps
// whose time line starts there or later are dropped and found again, with those after.
// Reads in one reading from front to back.
void ResumeTimeIndex(LineReader& in, OutputFileModel& model, ScanProgress& progress);

}  // namespace vx
