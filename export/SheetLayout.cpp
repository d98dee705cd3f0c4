#include "export/SheetLayout.h"

#include <algorithm>
#include <limits>

#include "common/Failure.h"
#include "extraction/Variables.h"

namespace vx {

SheetLayout::SheetLayout(const ExtractionRequest& request, bool timesInColumns,
                         const OutputFileModel& model, const ValueTable& table)
    : m_request(request),
      m_timesInColumns(timesInColumns),
      m_model(model),
      m_table(table),
      m_label(RecordLabel(request.Variable)) {
    const auto times = static_cast<std::int64_t>(request.SelectedTimes.size());
    const auto vectors = static_cast<std::int64_t>(request.Vectors.size());
    m_across = timesInColumns ? times : vectors;
    m_down = timesInColumns ? vectors : times;
}

std::string SheetLayout::Name() const {
    return m_request.VectorKind.empty() ? m_request.Variable : m_request.VectorKind;
}

// A sheet too large for 32-bit numbering is beyond every format's limit; the counts
// stop there rather than wrap.
std::int32_t SheetLayout::Rows() const {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(3 + m_down, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t SheetLayout::Columns() const {
    return static_cast<std::int32_t>(std::min<std::int64_t>(
        std::max<std::int64_t>(2, 1 + m_across), std::numeric_limits<std::int32_t>::max()));
}

CellKind SheetLayout::Kind(std::int32_t row, std::int32_t col) const {
    if (row < 1 || col < 1 || row > 3 + m_down) return CellKind::Empty;
    if (row <= 2) return col <= 2 ? CellKind::Text : CellKind::Empty;
    if (col > 1 + m_across) return CellKind::Empty;
    if (col == 1) return row == 3 || m_timesInColumns ? CellKind::Text : CellKind::Number;
    if (row == 3) return m_timesInColumns ? CellKind::Number : CellKind::Text;
    return CellKind::Number;
}

std::string SheetLayout::Text(std::int32_t row, std::int32_t col) const {
    if (row == 1) return col == 1 ? "Variable" : m_request.Variable;
    if (row == 2) return col == 1 ? "Vector" : m_request.VectorKind;
    if (row == 3 && col == 1) return m_timesInColumns ? std::string(m_label) : "Time";
    return VectorLabel(m_timesInColumns ? row - 3 : col - 1);
}

float SheetLayout::Number(std::int32_t row, std::int32_t col) const {
    if (m_timesInColumns) {
        if (row == 3) return Time(col - 1);
        const std::int16_t vector = m_request.Vectors[static_cast<std::size_t>(row - 4)];
        return m_table.At(vector, col - 1);
    }
    if (col == 1) return Time(row - 3);
    const std::int16_t vector = m_request.Vectors[static_cast<std::size_t>(col - 2)];
    return m_table.At(vector, row - 3);
}

float SheetLayout::Time(std::int64_t t) const {
    const std::int16_t step = m_request.SelectedTimes[static_cast<std::size_t>(t - 1)];
    if (step < 1 || step > static_cast<std::int64_t>(m_model.Times.size()))
        Raise(fail::SubscriptOutOfRange);
    return m_model.Times[static_cast<std::size_t>(step - 1)].Time;
}

std::string SheetLayout::VectorLabel(std::int64_t k) const {
    return vx::VectorLabel(m_request.Variable, m_request.Vectors[static_cast<std::size_t>(k - 1)]);
}

}  // namespace vx
