#pragma once

#include <cstddef>
#include <vector>

#include "common/Outcome.h"
#include "reader/LineReader.h"
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

// Follows a structural scan step by step, so that each step's values can be read from the
// bytes the scan has just read: one reading of the listing for both.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    // Shared with the scan's reader, which leaves the bytes it reads there.
    virtual SharedBytes& Bytes() = 0;
    // Steps 1 to `complete` are complete: the scan has found the time line after the last
    // of them, or has come to the end. `model` holds the input echo's counts and the first
    // step's blocks (what decides the variables offered); `times`, the steps found so far.
    // Called on the scan's thread, in step order; must not throw.
    virtual void StepsComplete(const OutputFileModel& model, const std::vector<TimeStep>& times,
                               std::size_t complete) = 0;
};

// The same reading, followed by `observer`. The model and the outcome are exactly those
// of the reading without it. A thermal scan tells the observer the model with its
// temperatures offered (as they are once a step is found): what decides them is known
// before the first step.
Outcome ReadOutputFile(OutputFileModel& model, Services& services, ScanObserver* observer);

// A listing that may have changed since it was read (by ReadOutputFile or this): when it
// only grew, the time steps are looked for in what was added, from the start of the last
// line read on (what may have been cut short), so that the model is exactly the one a
// reading of the whole listing as it stands would give; when it shrank, was replaced (another
// file, other first bytes), or cannot be read on (its counts or first step were not settled,
// the last reading showed a message), it is read again from the start.
struct Refreshed {
    Outcome Read;      // the messages of a reading from the start
    int NewSteps = 0;  // time steps added (negative when a new reading found fewer)
    bool FromStart = false;
    bool Replaced = false;  // shrank or another file: read again from the start
    bool Gone = false;      // the file cannot be opened now: the model is left as it was
};
Refreshed RefreshOutputFile(OutputFileModel& model, Services& services);

// Records in model.Mark what a reading needs to go on later; ReadOutputFile calls it.
void MarkReading(OutputFileModel& model, const Outcome& outcome);

// The scans themselves, as ReadOutputFile runs them. The structural scan passes its
// failures on (ReadOutputFile reports them); the thermal scan shows its missing
// landmarks and ends its read failures quietly. Both throw ScanStopped when told to stop.
void ScanStructuralFile(OutputFileModel& model, Services& services,
                        ScanObserver* observer = nullptr);
void ScanThermalFile(OutputFileModel& model, Services& services, Outcome& outcome,
                     ScanObserver* observer = nullptr);

}  // namespace vx
