#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "sheet/Sheet.h"

namespace vx {

// The file formats a sheet is written in. Xls, the Excel 2.x file, is the default.
enum class SheetFormat { Xls, Xlsx, Csv };

struct SheetFormatInfo {
    SheetFormat Format;
    std::string_view Name;        // as --format and the settings give it: "xls"
    std::string_view Extension;   // with its dot: ".xls"
    std::string_view DialogType;  // the save dialog's entry: "Excel File (*.xls)"
};

// Every format, the default first, in the order the save dialog offers them.
std::span<const SheetFormatInfo> SheetFormats();
const SheetFormatInfo& FormatInfo(SheetFormat format);
// The format of that name ("xls", exact), if any.
std::optional<SheetFormat> FormatNamed(std::string_view name);
// The format whose extension ends the path (the case of its letters aside), if any.
std::optional<SheetFormat> FormatOfPath(std::string_view path);

std::unique_ptr<SheetWriter> MakeSheetWriter(SheetFormat format);

}  // namespace vx
