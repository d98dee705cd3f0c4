#include "export/ComparisonTable.h"

#include <array>

namespace vx {

namespace {

using T = TableCellType;

constexpr std::array<TableColumn, 12> kColumns = {{
    {"Variable", "Variable", T::Text},
    {"Vector", "Vector", T::Text},
    {"Items", "Items", T::Whole},
    {"Steps", "Steps", T::Whole},
    {"Max abs diff", "MaxAbsDiff", T::Double},
    {"Max rel diff", "MaxRelDiff", T::Double},
    {"Item", "Item", T::Whole},
    {"Step", "Step", T::Whole},
    {"Time", "Time", T::Single},
    {"A", "A", T::Single},
    {"B", "B", T::Single},
    {"Agree", "Agree", T::YesNo},
}};

}  // namespace

std::span<const TableColumn> ComparisonColumns() {
    return kColumns;
}

TableCell ComparisonTable::Cell(std::int32_t r, std::size_t c) const {
    const ComparedLine& line = m_comparison.Lines.at(static_cast<std::size_t>(r));
    const Differences& found = line.Found;
    const bool placed = found.Compared > 0;
    switch (c) {
        case 0:
            return line.Variable;
        case 1:
            if (line.Vector.empty()) return {};
            return line.Vector;
        case 2:
            return std::int64_t{line.Items};
        case 3:
            return std::int64_t{line.Steps};
        case 4:
            return found.MaxAbs;
        case 5:
            return found.MaxRel;
        case 6:
            if (!placed || line.IsTimes) return {};
            return std::int64_t{found.Item};
        case 7:
            if (!placed) return {};
            return std::int64_t{found.Step};
        case 8:
            if (!placed) return {};
            return found.Time;
        case 9:
            if (!placed) return {};
            return found.A;
        case 10:
            if (!placed) return {};
            return found.B;
        default:
            return found.Agree;
    }
}

}  // namespace vx
