#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/OutputFileModel.h"
#include "sheet/Sheet.h"

namespace vx {

// The word that names the vectors on the sheet ("Node", "Beam", "Fiber", ...); empty
// for a name in no row.
std::string_view RecordLabel(std::string_view variable);
// The label of one vector on the sheet: the record label, a space and the number
// ("Node 5", "Beam 3").
std::string VectorLabel(std::string_view variable, std::int16_t vector);

// The sheet of one extraction, the same in every format: a heading block (variable,
// vector kind) in rows 1 and 2, then in row 3 and below the times across and the
// vectors down (times in columns) or the other way round. The value of vector k at time
// t is table row Vectors[k], column t. The request, the model and the table are read
// when a cell is asked for, so they must outlive the layout.
class SheetLayout final : public Sheet {
public:
    SheetLayout(const ExtractionRequest& request, bool timesInColumns, const OutputFileModel& model,
                const ValueTable& table);

    // The number of items across (times or vectors) and down, the counts the formats'
    // limits are stated in.
    std::int64_t Across() const { return m_across; }
    std::int64_t Down() const { return m_down; }

    // Named after the vector kind, or the variable when it has none.
    std::string Name() const override;
    std::int32_t Rows() const override;
    std::int32_t Columns() const override;
    CellKind Kind(std::int32_t row, std::int32_t col) const override;
    std::string Text(std::int32_t row, std::int32_t col) const override;
    float Number(std::int32_t row, std::int32_t col) const override;

private:
    float Time(std::int64_t t) const;
    std::string VectorLabel(std::int64_t k) const;

    const ExtractionRequest& m_request;
    const bool m_timesInColumns;
    const OutputFileModel& m_model;
    const ValueTable& m_table;
    std::string_view m_label;
    std::int64_t m_across, m_down;
};

}  // namespace vx
