#include "export/Worksheet.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <vector>

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

Outcome RunExport(const OutputFileModel& model, const ExportPlan& plan,
                  std::span<const ValueTable> tables, std::span<const Outcome> read,
                  Services& services) {
    return WriteSheets(
        plan.Sheet, plan.Readings.size(),
        [&](std::size_t i, Outcome& written) {
            // Each reading's message in its turn, as when the sheets are read one by one.
            for (const auto& notice : read[i].Notices) services.Notices.Show(notice);
            written.Append(read[i]);
            return !written.Stopped;
        },
        [&](std::size_t i) {
            return std::make_shared<SheetLayout>(plan.Readings[i], plan.Sheet.TimesInColumns, model,
                                                 tables[i]);
        },
        services);
}

Outcome RunExport(const OutputFileModel& model, const ExportPlan& plan, ValueTable& table,
                  Services& services) {
    // The sheets of several vector kinds come from one reading of the listing, when their
    // tables together fit in kSeveralSheetsBytes; else each is read for its sheet.
    const auto& readings = plan.Readings;
    auto bytes = [&] {
        return static_cast<double>(ValueTable::ColumnBytes(readings.front().Vectors)) *
               static_cast<double>(readings.front().SelectedTimes.size()) *
               static_cast<double>(readings.size());
    };
    const bool together =
        readings.size() > 1 && bytes() <= static_cast<double>(kSeveralSheetsBytes);
    std::vector<ValueTable> tables;
    std::vector<Outcome> read;
    if (together) {
        tables.resize(readings.size());
        read = ExtractKinds(model, readings, tables, services);
    }
    if (together) {
        const Outcome outcome = RunExport(model, plan, tables, read, services);
        table = std::move(tables.back());
        return outcome;
    }
    return WriteSheets(
        plan.Sheet, readings.size(),
        [&](std::size_t i, Outcome& written) {
            written.Append(ExtractValues(model, readings[i], table, services));
            return !written.Stopped;
        },
        [&](std::size_t i) {
            return std::make_shared<SheetLayout>(readings[i], plan.Sheet.TimesInColumns, model,
                                                 table);
        },
        services);
}

}  // namespace vx
