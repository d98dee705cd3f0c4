#pragma once

#include "export/ResultTable.h"
#include "extraction/Comparison.h"

namespace vx {

// The columns of a comparison, in order.
std::span<const TableColumn> ComparisonColumns();

// A row per line of a comparison, the times first: what was compared, the largest
// differences and where the difference measured against the tolerance is largest. Empty
// cells where there is nothing to say (the item of the times, a line without values).
// The comparison is read when a cell is asked for, so it must outlive the table.
class ComparisonTable final : public ResultTable {
public:
    explicit ComparisonTable(const Comparison& comparison) : m_comparison(comparison) {}

    std::span<const TableColumn> Header() const override { return ComparisonColumns(); }
    std::int32_t DataRows() const override {
        return static_cast<std::int32_t>(m_comparison.Lines.size());
    }
    TableCell Cell(std::int32_t r, std::size_t c) const override;
    std::string Name() const override { return "Comparison"; }

private:
    const Comparison& m_comparison;
};

}  // namespace vx
