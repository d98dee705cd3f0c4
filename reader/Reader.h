#pragma once

#include "common/Outcome.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

// The output-file reader: identification and the two scans. None of these passes a
// failure to its caller: each shows its own messages and returns them.
namespace vx {

// Recognises the listing named by model.FilePath, reads its header and runs the
// structural or the thermal scan. The model must have been Reset() first. A scan told to
// stop (Services::StopScan) ends without a message at its next progress report, with no
// time step indexed; the outcome then says it was stopped.
Outcome ReadOutputFile(OutputFileModel& model, Services& services);

// The scans themselves, as ReadOutputFile runs them. The structural scan passes its
// failures on (ReadOutputFile reports them); the thermal scan shows its missing
// landmarks and ends its read failures quietly. Both throw ScanStopped when told to stop.
void ScanStructuralFile(OutputFileModel& model, Services& services);
void ScanThermalFile(OutputFileModel& model, Services& services, Outcome& outcome);

}  // namespace vx
