#pragma once

#include "reader/LineReader.h"
#include "reader/OutputFileModel.h"
#include "reader/ScanProgress.h"

namespace vx {

// Indexes every time line from the reader's position to the end of the file: the time
// and the offset of the line after it. Sets Times and TimeCount only when it gets to
// the end; 32767 or more time steps overflow the step counter (a read failure).
void IndexTimeSteps(LineReader& in, OutputFileModel& model, ScanProgress& progress);

}  // namespace vx
