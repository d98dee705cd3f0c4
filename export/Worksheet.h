#pragma once

#include "common/Outcome.h"
#include "export/ExportPlan.h"
#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "sheet/Sheet.h"

namespace vx {

// Writes the sheet of one extraction (SheetLayout), whose values are already in `table`,
// where `target` says. Checks the format's row and column limits before the file is
// touched; shows its own messages and returns them, never passing a failure on.
Outcome WriteWorksheet(const SheetTarget& target, const ExtractionRequest& reading,
                       const OutputFileModel& model, const ValueTable& table, Services& services);

// Writes one sheet of any kind (a table of peaks, say) where `target` says, as
// WriteWorksheet writes a worksheet: limits first, messages shown and returned.
Outcome WriteTable(const SheetTarget& target, const Sheet& sheet, Services& services);

// What Save does once its plan is made: for each reading, read the values and, unless
// the user asked to stop meanwhile, write its sheet, all into the one file of the plan.
// `table` holds the values of one reading at a time; a stop or a failure leaves no file
// of a format that keeps earlier files (see SheetWriter). A failure of the reading is
// shown and the sheet written all the same, with the values read up to it.
Outcome RunExport(const OutputFileModel& model, const ExportPlan& plan, ValueTable& table,
                  Services& services);

}  // namespace vx
