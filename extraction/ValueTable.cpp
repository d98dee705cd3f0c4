#include "extraction/ValueTable.h"

#include <algorithm>
#include <new>

#include "common/Failure.h"

namespace vx {

std::size_t ValueTable::ColumnBytes(const std::vector<std::int16_t>& keep) {
    std::vector<std::int16_t> rows(keep);
    std::sort(rows.begin(), rows.end());
    const auto distinct =
        static_cast<std::size_t>(std::unique(rows.begin(), rows.end()) - rows.begin());
    return std::max<std::size_t>(distinct, 1) * sizeof(float);
}

void ValueTable::Resize(std::int32_t rows, std::int32_t columns) {
    Resize(rows, columns, {});
}

void ValueTable::Resize(std::int32_t rows, std::int32_t columns,
                        const std::vector<std::int16_t>& keep) {
    if (rows < 0 || columns < 0) Raise(fail::SubscriptOutOfRange);
    m_values.clear();
    m_values.shrink_to_fit();
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_kept.clear();
    m_rows = m_columns = m_stored = 0;
    try {
        std::int32_t stored = rows;
        if (!keep.empty()) {
            m_slots.assign(static_cast<std::size_t>(rows) + 1, -1);
            for (std::int16_t row : keep)
                if (row >= 1 && row <= rows) m_slots[static_cast<std::size_t>(row)] = 0;
            stored = 0;
            for (std::int32_t row = 1; row <= rows; ++row) {
                if (m_slots[static_cast<std::size_t>(row)] < 0) continue;
                m_slots[static_cast<std::size_t>(row)] = stored++;
                m_kept.push_back(row);
            }
        }
        m_values.assign(static_cast<std::size_t>(stored) * static_cast<std::size_t>(columns), 0.0f);
        m_stored = stored;
    } catch (const std::bad_alloc&) {
        m_slots.clear();
        m_kept.clear();
        Raise(fail::OutOfMemory);
    }
    m_rows = rows;
    m_columns = columns;
}

void ValueTable::OutOfRange() {
    Raise(fail::SubscriptOutOfRange);
}

void ValueTable::Assemble(std::int32_t rows, std::int32_t columns,
                          const std::vector<std::int16_t>& keep,
                          const std::function<std::span<const float>(std::int32_t)>& column) {
    Resize(rows, 0, keep);
    if (columns < 0) Raise(fail::SubscriptOutOfRange);
    const auto stored = static_cast<std::size_t>(m_stored);
    try {
        m_values.reserve(stored * static_cast<std::size_t>(columns));
        for (std::int32_t t = 1; t <= columns; ++t) {
            const std::span<const float> values = column(t);
            if (values.empty())
                m_values.resize(m_values.size() + stored, 0.0f);
            else if (values.size() == stored)
                m_values.insert(m_values.end(), values.begin(), values.end());
            else
                Raise(fail::SubscriptOutOfRange);
        }
    } catch (const std::bad_alloc&) {
        Clear();
        Raise(fail::OutOfMemory);
    }
    m_columns = columns;
}

std::span<const float> ValueTable::Column(std::int32_t column) const {
    if (column < 1 || column > m_columns) Raise(fail::SubscriptOutOfRange);
    return std::span(m_values).subspan(static_cast<std::size_t>(column - 1) * m_stored,
                                       static_cast<std::size_t>(m_stored));
}

void ValueTable::ClearColumn(std::int32_t column) {
    if (column < 1 || column > m_columns) Raise(fail::SubscriptOutOfRange);
    auto first = m_values.begin() + static_cast<std::ptrdiff_t>(column - 1) * m_stored;
    std::fill(first, first + m_stored, 0.0f);
}

std::vector<float> ValueTable::TakeValues() {
    std::vector<float> values = std::move(m_values);
    Clear();
    return values;
}

}  // namespace vx
