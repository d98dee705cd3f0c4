#include "export/Worksheet.h"

#include <memory>
#include <new>

#include "common/Failure.h"
#include "export/StructuralValues.h"
#include "reader/Reader.h"

namespace vx {

namespace {

constexpr std::string_view kFileLocked =
    "The file is locked. Please close the file in Excel and try again.";

void ShowCritical(Services& services, std::string_view text) {
    services.Messages.MsgBox(text, MsgButtons::Ok, MsgIcon::Critical);
}

// The format's limits, tested before the file is touched: columns first, then rows.
bool FitsLimits(const SheetLimits& limits, const SheetLayout& sheet, Services& services) {
    if (limits.Columns > 0 && sheet.Columns() > limits.Columns) {
        ShowCritical(services, limits.ColumnsMessage);
        return false;
    }
    if (limits.Rows > 0 && sheet.Rows() > limits.Rows) {
        ShowCritical(services, limits.RowsMessage);
        return false;
    }
    return true;
}

// Reads each request and writes its sheet, `table` holding the values of one request at a
// time. The reading shows its own messages and is left out of the failure handling
// here. The writer goes before any message is shown, so that a file it leaves behind is
// complete (the .xls) or gone (the others) by then.
template <typename Read>
void WriteSheets(SheetFormat format, const std::string& path,
                 std::span<const ExtractionRequest> requests, const OutputFileModel& model,
                 const ValueTable& table, Services& services, Read&& read) {
    std::unique_ptr<SheetWriter> writer;
    auto write = [&](auto&& step) {
        try {
            step();
            return true;
        } catch (const Failure& failure) {
            writer.reset();
            ShowCritical(services, failure.Number() == fail::PermissionDenied
                                       ? std::string(kFileLocked)
                                       : failure.Description());
        } catch (const std::bad_alloc&) {
            writer.reset();
            ShowCritical(services, DescribeFailure(fail::OutOfMemory));
        }
        return false;
    };
    for (const auto& request : requests) {
        if (!read(request)) return;
        bool fits = true;
        const bool written = write([&] {
            SheetLayout sheet(request, model, table);
            if (!writer) {
                writer = MakeSheetWriter(format);
                if (requests.size() > 1 && !writer->TakesSeveralSheets()) Raise(fail::InvalidCall);
                fits = FitsLimits(writer->Limits(), sheet, services);
                if (!fits) return;
                writer->Create(path);
            }
            writer->Write(sheet);
        });
        if (!written || !fits) return;
    }
    if (writer) write([&] { writer->Close(); });
}

}  // namespace

void WriteSheet(SheetFormat format, const std::string& path, const ExtractionRequest& request,
                const OutputFileModel& model, const ValueTable& table, Services& services) {
    WriteSheets(format, path, std::span(&request, 1), model, table, services,
                [](const ExtractionRequest&) { return true; });
}

void WriteWorksheet(const std::string& path, const ExtractionRequest& request,
                    const OutputFileModel& model, const ValueTable& table, Services& services) {
    WriteSheet(SheetFormat::Xls, path, request, model, table, services);
}

bool ExtractValues(const OutputFileModel& model, const ExtractionRequest& request,
                   ValueTable& table, Services& services) {
    switch (model.AnalysisType) {
        case AnalysisThermal:
            ReadTemperatures(model, request, table, services);
            break;
        case AnalysisStatic:
        case AnalysisDynamic:
            ReadStructuralValues(model, request, table, services);
            break;
        default:
            return false;
    }
    return !services.AbortRequested;
}

void ExtractAndWrite(const OutputFileModel& model, const ExtractionRequest& request,
                     ValueTable& table, Services& services, SheetFormat format) {
    ExtractAndWrite(model, std::span(&request, 1), table, services, format);
}

void ExtractAndWrite(const OutputFileModel& model, std::span<const ExtractionRequest> requests,
                     ValueTable& table, Services& services, SheetFormat format) {
    if (requests.empty()) return;
    WriteSheets(format, requests.front().OutputPath, requests, model, table, services,
                [&](const ExtractionRequest& request) {
                    return ExtractValues(model, request, table, services);
                });
}

}  // namespace vx
