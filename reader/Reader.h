#pragma once

#include "reader/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "reader/ValueTable.h"

// The output-file reader: identification, the two scans and the temperature reader.
// None of these passes a failure to its caller; each shows its own messages.
namespace vx {

// Recognises the listing named by model.FilePath, reads its header and runs the
// structural or the thermal scan. The model must have been Reset() first. A scan told to
// stop (Services::StopScan) ends without a message at its next progress report, with no
// time step indexed.
void ReadOutputFile(OutputFileModel& model, Services& services);

// The scans themselves, as ReadOutputFile runs them. The structural scan passes its
// failures on (ReadOutputFile reports them); the thermal scan ends its own quietly.
// Both throw ScanStopped when told to stop.
void ScanStructuralFile(OutputFileModel& model, Services& services);
void ScanThermalFile(OutputFileModel& model, Services& services);

// Reads the temperature of every node at each selected time step into `table`.
void ReadTemperatures(const OutputFileModel& model, const ExtractionRequest& request,
                      ValueTable& table, Services& services);

// "N: description", the text of the message that extraction failures show.
std::string FailureText(int number, std::string_view description);

}  // namespace vx
