#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The one seam between the worksheet layout and the file formats. The layout describes
// a sheet cell by cell and lets any cell be asked for in any order; each format's writer
// walks the cells in the order its file needs (the .xls its heading block first, the
// row-by-row formats strictly row after row, left to right).
namespace vx {

// Number is a single-precision value, as the listing states it; Double a value worked out
// in double precision (a mean), which the formats that keep values in full keep whole.
enum class CellKind : std::uint8_t { Empty, Text, Number, Double };

// One worksheet as the writers read it. Rows and columns are numbered from 1. A writer
// may ask for cells from several threads at once.
class Sheet {
public:
    virtual ~Sheet() = default;

    // The sheet's name inside a workbook (Latin-1); formats without names ignore it.
    virtual std::string Name() const = 0;
    virtual std::int32_t Rows() const = 0;
    virtual std::int32_t Columns() const = 0;
    virtual CellKind Kind(std::int32_t row, std::int32_t col) const = 0;
    // The text of a text cell: the listing's Latin-1 bytes.
    virtual std::string Text(std::int32_t row, std::int32_t col) const = 0;
    // The value of a number cell, single precision as the listing states it. Throws
    // vx::Failure when the value cannot be had (a vector that is not a row of the table).
    virtual float Number(std::int32_t row, std::int32_t col) const = 0;
    // The value of a Double cell.
    virtual double Double(std::int32_t row, std::int32_t col) const { return Number(row, col); }
};

// The largest sheet a format holds, and the message shown for a larger one.
struct SheetLimits {
    std::int64_t Rows = 0;     // 0: no limit
    std::int64_t Columns = 0;  // 0: no limit
    std::string_view RowsMessage;
    std::string_view ColumnsMessage;
};

// One file format. A writer makes one file: Create, Write for each sheet, Close. Every
// call throws vx::Failure on any failure. Only Close puts a complete file in place;
// what a writer destroyed before Close leaves behind is the format's own affair (the
// .xls completes what it has, the others leave no file and any earlier one untouched).
class SheetWriter {
public:
    virtual ~SheetWriter() = default;

    virtual SheetLimits Limits() const = 0;
    // Whether one file holds more than one sheet.
    virtual bool TakesSeveralSheets() const = 0;
    virtual void Create(const std::string& path) = 0;
    virtual void Write(const Sheet& sheet) = 0;
    virtual void Close() = 0;
};

// Hands every cell of `sheet` (or of its rows first..last) to `file` row after row, left
// to right, skipping empty cells: the order of the formats that stream their rows.
template <typename File>
void WriteByRows(const Sheet& sheet, File& file, std::int32_t first = 1, std::int32_t last = -1) {
    const std::int32_t rows = last < 0 ? sheet.Rows() : last, columns = sheet.Columns();
    for (std::int32_t row = first; row <= rows; ++row) {
        for (std::int32_t col = 1; col <= columns; ++col) {
            switch (sheet.Kind(row, col)) {
                case CellKind::Text:
                    file.Text(row, col, sheet.Text(row, col));
                    break;
                case CellKind::Number:
                    file.Number(row, col, sheet.Number(row, col));
                    break;
                case CellKind::Double:
                    file.Number(row, col, sheet.Double(row, col));
                    break;
                case CellKind::Empty:
                    break;
            }
        }
    }
}

}  // namespace vx
