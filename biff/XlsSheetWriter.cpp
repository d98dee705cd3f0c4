#include "biff/XlsSheetWriter.h"

#include <algorithm>

namespace vx {

namespace {

constexpr std::string_view kTooManyColumns =
    "The maximum number of columns in Excel is 256. Cannot create file.";
constexpr std::string_view kTooManyRows =
    "The maximum number of rows in Excel is 65536. Cannot create file.";

constexpr std::int32_t kText = 2, kNumber = 1;
constexpr std::int32_t kCellFontUsed = 0, kAlignment = 1, kHiddenLocked = 0;

}  // namespace

SheetLimits XlsSheetWriter::Limits() const {
    // The items down the sheet may number 65535, three rows short of the 65538 they then
    // fill: the row field holds the row less one modulo 65536, so the last two rows land
    // on rows 1 and 2, as they always have.
    return {65538, 256, kTooManyRows, kTooManyColumns};
}

void XlsSheetWriter::Create(const std::string& path) {
    m_file.CreateFile(path);
    m_file.SetFont("Arial", 10, 0);
}

void XlsSheetWriter::Cell(const Sheet& sheet, std::int32_t row, std::int32_t col) {
    switch (sheet.Kind(row, col)) {
        case CellKind::Text:
            m_file.WriteValue(kText, kCellFontUsed, kAlignment, kHiddenLocked, row, col,
                              sheet.Text(row, col));
            break;
        case CellKind::Number:
            m_file.WriteValue(kNumber, kCellFontUsed, kAlignment, kHiddenLocked, row, col,
                              static_cast<double>(sheet.Number(row, col)));
            break;
        case CellKind::Double:
            m_file.WriteValue(kNumber, kCellFontUsed, kAlignment, kHiddenLocked, row, col,
                              sheet.Double(row, col));
            break;
        case CellKind::Empty:
            break;
    }
}

void XlsSheetWriter::Write(const Sheet& sheet) {
    const std::int32_t rows = sheet.Rows(), columns = sheet.Columns();
    // Every .xls this program has written starts with the heading block column by
    // column, then goes on row by row.
    const std::int32_t headingRows = std::min(rows, 2), headingColumns = std::min(columns, 2);
    for (std::int32_t col = 1; col <= headingColumns; ++col)
        for (std::int32_t row = 1; row <= headingRows; ++row) Cell(sheet, row, col);
    for (std::int32_t row = 1; row <= rows; ++row)
        for (std::int32_t col = row <= headingRows ? headingColumns + 1 : 1; col <= columns; ++col)
            Cell(sheet, row, col);
}

void XlsSheetWriter::Close() {
    m_file.CloseFile();
}

}  // namespace vx
