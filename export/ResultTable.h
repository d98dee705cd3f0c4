#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "sheet/Sheet.h"

// A table of results worked out from listings (peaks, a comparison), the same for every
// door: the command-line tool's CSV and JSON, a sheet in any format, the Python module's
// frame. The header is the sheet's first row, a row of data each below.
namespace vx {

enum class TableCellType : std::uint8_t { Text, Whole, Single, Double, YesNo };

struct TableColumn {
    std::string_view Header;  // "Time of max", as the CSV's first line and a sheet's first row
    std::string_view Key;     // "TimeOfMax", as JSON names it
    TableCellType Type;
};

// One cell: empty, a text (the listing's Latin-1), a whole number, a single, a double, or
// yes/no.
using TableCell = std::variant<std::monostate, std::string, std::int64_t, float, double, bool>;

class ResultTable : public Sheet {
public:
    virtual std::span<const TableColumn> Header() const = 0;
    virtual std::int32_t DataRows() const = 0;
    // Data row r (0-based), column c (0-based).
    virtual TableCell Cell(std::int32_t r, std::size_t c) const = 0;

    std::int32_t Rows() const override { return DataRows() + 1; }
    std::int32_t Columns() const override { return static_cast<std::int32_t>(Header().size()); }
    CellKind Kind(std::int32_t row, std::int32_t col) const override;
    std::string Text(std::int32_t row, std::int32_t col) const override;
    float Number(std::int32_t row, std::int32_t col) const override;
    double Double(std::int32_t row, std::int32_t col) const override;
};

// The text of a yes/no cell.
inline std::string_view YesNo(bool yes) {
    return yes ? "yes" : "no";
}

}  // namespace vx
