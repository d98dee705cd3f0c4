#pragma once

#include <span>
#include <string>

#include "export/SheetFormats.h"
#include "export/SheetLayout.h"
#include "reader/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "reader/ValueTable.h"

namespace vx {

// Writes the sheet of one extraction (SheetLayout) to `path` in `format`. Checks the
// format's row and column limits before the file is touched; shows its own messages
// and never passes a failure on. This is the one call that writes a sheet whose values
// are already in `table`.
void WriteSheet(SheetFormat format, const std::string& path, const ExtractionRequest& request,
                const OutputFileModel& model, const ValueTable& table, Services& services);

// The .xls of one extraction: WriteSheet with SheetFormat::Xls.
void WriteWorksheet(const std::string& path, const ExtractionRequest& request,
                    const OutputFileModel& model, const ValueTable& table, Services& services);

// Reads the values of a request into `table`: the temperatures of a thermal listing or
// one structural variable, on worker threads, reporting progress and showing its own
// messages. Writes no file. False when nothing could be read for this kind of listing
// (a torsion or an unread one) or the user asked to stop meanwhile.
bool ExtractValues(const OutputFileModel& model, const ExtractionRequest& request,
                   ValueTable& table, Services& services);

// What Save does once its request is built: read the values (temperatures or a
// structural variable) and, unless the user asked to stop meanwhile, write the sheet
// to request.OutputPath in `format`.
void ExtractAndWrite(const OutputFileModel& model, const ExtractionRequest& request,
                     ValueTable& table, Services& services, SheetFormat format = SheetFormat::Xls);

// The same for several requests into one file, one sheet each in their order (the
// requests differ in their vector kind; the path is the first one's). Each is read just
// before its sheet is written, so `table` holds one of them at a time; a stop or a
// failure leaves no file of a format that keeps earlier files (see SheetWriter).
// Several sheets need a format that takes them.
void ExtractAndWrite(const OutputFileModel& model, std::span<const ExtractionRequest> requests,
                     ValueTable& table, Services& services, SheetFormat format);

}  // namespace vx
