#include "export/ResultTable.h"

namespace vx {

CellKind ResultTable::Kind(std::int32_t row, std::int32_t col) const {
    if (row < 1 || row > Rows() || col < 1 || col > Columns()) return CellKind::Empty;
    if (row == 1) return CellKind::Text;
    const TableCell cell = Cell(row - 2, static_cast<std::size_t>(col - 1));
    if (std::holds_alternative<std::monostate>(cell)) return CellKind::Empty;
    if (const auto* text = std::get_if<std::string>(&cell))
        return text->empty() ? CellKind::Empty : CellKind::Text;
    if (std::holds_alternative<bool>(cell)) return CellKind::Text;
    if (std::holds_alternative<double>(cell)) return CellKind::Double;
    return CellKind::Number;
}

std::string ResultTable::Text(std::int32_t row, std::int32_t col) const {
    if (row == 1) return std::string(Header()[static_cast<std::size_t>(col - 1)].Header);
    const TableCell cell = Cell(row - 2, static_cast<std::size_t>(col - 1));
    if (const auto* yes = std::get_if<bool>(&cell)) return std::string(YesNo(*yes));
    return std::get<std::string>(cell);
}

float ResultTable::Number(std::int32_t row, std::int32_t col) const {
    const TableCell cell = Cell(row - 2, static_cast<std::size_t>(col - 1));
    if (const auto* whole = std::get_if<std::int64_t>(&cell)) return static_cast<float>(*whole);
    if (const auto* single = std::get_if<float>(&cell)) return *single;
    return static_cast<float>(std::get<double>(cell));
}

double ResultTable::Double(std::int32_t row, std::int32_t col) const {
    const TableCell cell = Cell(row - 2, static_cast<std::size_t>(col - 1));
    if (const auto* value = std::get_if<double>(&cell)) return *value;
    return Number(row, col);
}

}  // namespace vx
