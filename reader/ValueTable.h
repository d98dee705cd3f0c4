#pragma once

#include <cstdint>
#include <vector>

namespace vx {

// The values of one extraction: row r is the r-th record of the block read (a node,
// an element or a fibre), column t the t-th selected time, both numbered from 1.
// Reading or writing outside the table is a failure (9, subscript out of range).
class ValueTable {
public:
    // Discards the contents and makes a rows x columns table of zeros.
    void Resize(std::int32_t rows, std::int32_t columns);
    void Clear() { Resize(0, 0); }

    std::int32_t Rows() const { return m_rows; }
    std::int32_t Columns() const { return m_columns; }

    float At(std::int32_t row, std::int32_t column) const;
    void Set(std::int32_t row, std::int32_t column, float value);

    // Column t as a contiguous run of Rows() values (t checked), for fast filling.
    float* ColumnData(std::int32_t column);

private:
    std::size_t Index(std::int32_t row, std::int32_t column) const;

    std::int32_t m_rows = 0;
    std::int32_t m_columns = 0;
    std::vector<float> m_values;  // column after column
};

}  // namespace vx
