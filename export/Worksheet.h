#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "reader/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "reader/ValueTable.h"

namespace vx {

// The word that names the vectors on the sheet ("Node", "Beam", "Fiber", ...); empty
// for a name in no row.
std::string_view RecordLabel(std::string_view variable);
// The label of one vector on the sheet: the record label, a space and the number
// ("Node 5", "Beam 3").
std::string VectorLabel(std::string_view variable, std::int16_t vector);

// Writes the sheet of one extraction: a heading block (variable, vector kind), then
// the times across and the vectors down (TimesInColumns) or the other way round, with
// the value of vector k at time t taken from table row Vectors[k], column t. Checks the
// 256-column and 65536-row limits before the file is touched; shows its own messages
// and never passes a failure on.
void WriteWorksheet(const std::string& path, const ExtractionRequest& request,
                    const OutputFileModel& model, const ValueTable& table, Services& services);

// Reads the values of a request into `table`: the temperatures of a thermal listing or
// one structural variable, on worker threads, reporting progress and showing its own
// messages. Writes no file. False when nothing could be read for this kind of listing
// (a torsion or an unread one) or the user asked to stop meanwhile.
bool ExtractValues(const OutputFileModel& model, const ExtractionRequest& request,
                   ValueTable& table, Services& services);

// What Save does once its request is built: read the values (temperatures or a
// structural variable) and, unless the user asked to stop meanwhile, write the sheet.
void ExtractAndWrite(const OutputFileModel& model, const ExtractionRequest& request,
                     ValueTable& table, Services& services);

}  // namespace vx
