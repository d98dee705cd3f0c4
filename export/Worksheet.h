#pragma once

#include <cstddef>
#include <span>

#include "common/Outcome.h"
#include "export/ExportPlan.h"
#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "sheet/Sheet.h"

namespace vx {

// The most the value tables of the sheets of several vector kinds may take together for
// them to be read in one reading of the listing; past it each is read for its sheet.
inline constexpr std::size_t kSeveralSheetsBytes = std::size_t{512} << 20;

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

// The same with the values already read: tables[i] and read[i] (its notice not yet shown)
// for reading i, as ExtractKinds gives them; each notice is shown before its sheet is
// written, as when the sheets are read one after the other.
Outcome RunExport(const OutputFileModel& model, const ExportPlan& plan,
                  std::span<const ValueTable> tables, std::span<const Outcome> read,
                  Services& services);

}  // namespace vx
