#include "export/SheetFormats.h"

#include <array>

#include "biff/XlsSheetWriter.h"
#include "csv/CsvFile.h"
#include "xlsx/XlsxFile.h"

namespace vx {

namespace {

constexpr std::array kFormats = {
    SheetFormatInfo{SheetFormat::Xls, "xls", ".xls", "Excel File (*.xls)"},
    SheetFormatInfo{SheetFormat::Xlsx, "xlsx", ".xlsx", "Excel Workbook (*.xlsx)"},
    SheetFormatInfo{SheetFormat::Csv, "csv", ".csv", "CSV File (*.csv)"},
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) return false;
    text.remove_prefix(text.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i)
        if (Lower(text[i]) != Lower(end[i])) return false;
    return true;
}

}  // namespace

std::span<const SheetFormatInfo> SheetFormats() {
    return kFormats;
}

const SheetFormatInfo& FormatInfo(SheetFormat format) {
    for (const auto& info : kFormats)
        if (info.Format == format) return info;
    return kFormats.front();
}

std::optional<SheetFormat> FormatNamed(std::string_view name) {
    for (const auto& info : kFormats)
        if (info.Name == name) return info.Format;
    return std::nullopt;
}

std::optional<SheetFormat> FormatOfPath(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    for (const auto& info : kFormats)
        if (name.size() > info.Extension.size() && EndsWithIgnoringCase(name, info.Extension))
            return info.Format;
    return std::nullopt;
}

std::unique_ptr<SheetWriter> MakeSheetWriter(SheetFormat format) {
    switch (format) {
        case SheetFormat::Xlsx:
            return std::make_unique<XlsxSheetWriter>();
        case SheetFormat::Csv:
            return std::make_unique<CsvSheetWriter>();
        case SheetFormat::Xls:
            break;
    }
    return std::make_unique<XlsSheetWriter>();
}

}  // namespace vx
