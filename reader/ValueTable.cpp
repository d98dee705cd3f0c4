#include "reader/ValueTable.h"

#include <new>

#include "common/Failure.h"

namespace vx {

void ValueTable::Resize(std::int32_t rows, std::int32_t columns) {
    if (rows < 0 || columns < 0) Raise(fail::SubscriptOutOfRange);
    m_values.clear();
    m_values.shrink_to_fit();
    m_rows = m_columns = 0;
    try {
        m_values.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 0.0f);
    } catch (const std::bad_alloc&) {
        Raise(fail::OutOfMemory);
    }
    m_rows = rows;
    m_columns = columns;
}

std::size_t ValueTable::Index(std::int32_t row, std::int32_t column) const {
    if (row < 1 || row > m_rows || column < 1 || column > m_columns)
        Raise(fail::SubscriptOutOfRange);
    return static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(m_rows) +
           static_cast<std::size_t>(row - 1);
}

float ValueTable::At(std::int32_t row, std::int32_t column) const {
    return m_values[Index(row, column)];
}

void ValueTable::Set(std::int32_t row, std::int32_t column, float value) {
    m_values[Index(row, column)] = value;
}

float* ValueTable::ColumnData(std::int32_t column) {
    if (column < 1 || column > m_columns) Raise(fail::SubscriptOutOfRange);
    return m_values.data() + static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(m_rows);
}

}  // namespace vx
