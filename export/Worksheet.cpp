#include "export/Worksheet.h"

#include <memory>
#include <new>
#include <span>

#include "common/Failure.h"
#include "export/SheetLayout.h"
#include "extraction/Extraction.h"

namespace vx {

namespace {

constexpr std::string_view kFileLocked =
    "The file is locked. Please close the file in Excel and try again.";

void ShowCritical(Services& services, Outcome& outcome, FailureKind kind, std::string_view text) {
    services.Report(outcome, {kind, 0, std::string(text), MsgIcon::Critical});
}

// The format's limits, tested before the file is touched: columns first, then rows.
bool FitsLimits(const SheetLimits& limits, const SheetLayout& sheet, Services& services,
                Outcome& outcome) {
    if (limits.Columns > 0 && sheet.Columns() > limits.Columns) {
        ShowCritical(services, outcome, FailureKind::FormatLimit, limits.ColumnsMessage);
        return false;
    }
    if (limits.Rows > 0 && sheet.Rows() > limits.Rows) {
        ShowCritical(services, outcome, FailureKind::FormatLimit, limits.RowsMessage);
        return false;
    }
    return true;
}

// Reads each reading and writes its sheet, `table` holding the values of one at a time.
// The reading shows its own messages and is left out of the failure handling here. The
// writer goes before any message is shown, so that a file it leaves behind is complete
// (the .xls) or gone (the others) by then.
template <typename Read>
Outcome WriteSheets(const SheetTarget& target, std::span<const ExtractionRequest> readings,
                    const OutputFileModel& model, const ValueTable& table, Services& services,
                    Read&& read) {
    Outcome outcome;
    std::unique_ptr<SheetWriter> writer;
    auto write = [&](auto&& step) {
        try {
            step();
            return true;
        } catch (const Failure& failure) {
            writer.reset();
            const FailureKind kind = WritingFailureKind(failure);
            ShowCritical(
                services, outcome, kind,
                kind == FailureKind::FileLocked ? std::string(kFileLocked) : failure.Description());
        } catch (const std::bad_alloc&) {
            writer.reset();
            ShowCritical(services, outcome, FailureKind::WriteFailed,
                         DescribeFailure(fail::OutOfMemory));
        }
        return false;
    };
    for (const auto& reading : readings) {
        if (!read(reading, outcome)) return outcome;
        bool fits = true;
        const bool written = write([&] {
            SheetLayout sheet(reading, target.TimesInColumns, model, table);
            if (!writer) {
                writer = MakeSheetWriter(target.Format);
                if (readings.size() > 1 && !writer->TakesSeveralSheets()) Raise(fail::InvalidCall);
                fits = FitsLimits(writer->Limits(), sheet, services, outcome);
                if (!fits) return;
                writer->Create(target.OutputPath);
            }
            writer->Write(sheet);
        });
        if (!written || !fits) return outcome;
    }
    if (writer) write([&] { writer->Close(); });
    return outcome;
}

}  // namespace

Outcome WriteWorksheet(const SheetTarget& target, const ExtractionRequest& reading,
                       const OutputFileModel& model, const ValueTable& table, Services& services) {
    return WriteSheets(target, std::span(&reading, 1), model, table, services,
                       [](const ExtractionRequest&, Outcome&) { return true; });
}

Outcome RunExport(const OutputFileModel& model, const ExportPlan& plan, ValueTable& table,
                  Services& services) {
    return WriteSheets(plan.Sheet, plan.Readings, model, table, services,
                       [&](const ExtractionRequest& reading, Outcome& outcome) {
                           outcome.Append(ExtractValues(model, reading, table, services));
                           return !outcome.Stopped;
                       });
}

}  // namespace vx
