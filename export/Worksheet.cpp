#include "export/Worksheet.h"

#include <functional>
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
bool FitsLimits(const SheetLimits& limits, const Sheet& sheet, Services& services,
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

// Writes `count` sheets into one file, sheet i from makeSheet(i) once read(i) has said yes
// (the reading shows its own messages and is left out of the failure handling here). The
// writer goes before any message is shown, so that a file it leaves behind is complete
// (the .xls) or gone (the others) by then.
Outcome WriteSheets(const SheetTarget& target, std::size_t count,
                    const std::function<bool(std::size_t, Outcome&)>& read,
                    const std::function<std::shared_ptr<const Sheet>(std::size_t)>& makeSheet,
                    Services& services) {
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
    for (std::size_t i = 0; i < count; ++i) {
        if (!read(i, outcome)) return outcome;
        bool fits = true;
        const bool written = write([&] {
            const std::shared_ptr<const Sheet> sheet = makeSheet(i);
            if (!writer) {
                writer = MakeSheetWriter(target.Format);
                if (count > 1 && !writer->TakesSeveralSheets()) Raise(fail::InvalidCall);
                fits = FitsLimits(writer->Limits(), *sheet, services, outcome);
                if (!fits) return;
                writer->Create(target.OutputPath);
            }
            writer->Write(*sheet);
        });
        if (!written || !fits) return outcome;
    }
    if (writer) write([&] { writer->Close(); });
    return outcome;
}

}  // namespace

Outcome WriteWorksheet(const SheetTarget& target, const ExtractionRequest& reading,
                       const OutputFileModel& model, const ValueTable& table, Services& services) {
    return WriteSheets(
        target, 1, [](std::size_t, Outcome&) { return true; },
        [&](std::size_t) {
            return std::make_shared<SheetLayout>(reading, target.TimesInColumns, model, table);
        },
        services);
}

Outcome WriteTable(const SheetTarget& target, const Sheet& sheet, Services& services) {
    // The table is the caller's: held here, not owned.
    return WriteSheets(
        target, 1, [](std::size_t, Outcome&) { return true; },
        [&](std::size_t) { return std::shared_ptr<const Sheet>(&sheet, [](const Sheet*) {}); },
        services);
}

Outcome RunExport(const OutputFileModel& model, const ExportPlan& plan, ValueTable& table,
                  Services& services) {
    return WriteSheets(
        plan.Sheet, plan.Readings.size(),
        [&](std::size_t i, Outcome& outcome) {
            outcome.Append(ExtractValues(model, plan.Readings[i], table, services));
            return !outcome.Stopped;
        },
        [&](std::size_t i) {
            return std::make_shared<SheetLayout>(plan.Readings[i], plan.Sheet.TimesInColumns, model,
                                                 table);
        },
        services);
}

}  // namespace vx
