#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vx {

// The values of one extraction: row r is the r-th record of the block read (a node,
// an element or a fibre), column t the t-th selected time, both numbered from 1.
// Reading or writing outside the table is a failure (9, subscript out of range).
//
// A table may keep only some of its rows, the ones a request names: an extraction of
// 255 nodes of a 30000-node listing then holds 255 rows per column, not 30000. A row
// that is not kept is still inside the table: writing it does nothing and reading it
// gives 0, the value of an entry that was never read.
class ValueTable {
public:
    // Discards the contents and makes a rows x columns table of zeros that keeps every row.
    void Resize(std::int32_t rows, std::int32_t columns);
    // The same, keeping only the rows listed (in any order, repeats allowed; numbers
    // outside 1..rows are left out).
    void Resize(std::int32_t rows, std::int32_t columns, const std::vector<std::int16_t>& keep);
    void Clear() { Resize(0, 0); }
    // Makes the table as Resize does, its columns handed over one after the other:
    // column(t) gives the stored values of column t (as Column gives them), or nothing for
    // a column of zeros. Each column is copied in turn, never the whole table at once.
    void Assemble(std::int32_t rows, std::int32_t columns, const std::vector<std::int16_t>& keep,
                  const std::function<std::span<const float>(std::int32_t column)>& column);

    std::int32_t Rows() const { return m_rows; }
    std::int32_t Columns() const { return m_columns; }

    float At(std::int32_t row, std::int32_t column) const {
        const std::int64_t at = Index(row, column);
        return at < 0 ? 0.0f : m_values[static_cast<std::size_t>(at)];
    }
    void Set(std::int32_t row, std::int32_t column, float value) {
        const std::int64_t at = Index(row, column);
        if (at >= 0) m_values[static_cast<std::size_t>(at)] = value;
    }

    // Whether every row is kept, and when not, the kept rows in increasing order.
    bool KeepsEveryRow() const { return m_slots.empty(); }
    const std::vector<std::int32_t>& KeptRows() const { return m_kept; }

    // The bytes a column takes when the table keeps the rows `keep` (at least one row's:
    // a request that names none keeps rows the listing's counts say, reckoned here as one).
    static std::size_t ColumnBytes(const std::vector<std::int16_t>& keep);

    // The stored values of column t (t checked): the kept rows in increasing order.
    std::span<const float> Column(std::int32_t column) const;

    // Sets every entry of column t to 0 (t checked).
    void ClearColumn(std::int32_t column);

    // Hands over the stored values, column after column, each the kept rows in increasing
    // order (every row when all are kept), and leaves the table empty: a host that wants
    // the values in that very order takes them without a copy.
    std::vector<float> TakeValues();

private:
    // Where entry (row, column) is stored, or -1 for a row that is not kept. (Inline: it
    // runs for every value read.)
    std::int64_t Index(std::int32_t row, std::int32_t column) const {
        if (row < 1 || row > m_rows || column < 1 || column > m_columns) OutOfRange();
        const std::int32_t slot =
            m_slots.empty() ? row - 1 : m_slots[static_cast<std::size_t>(row)];
        if (slot < 0) return -1;
        return static_cast<std::int64_t>(column - 1) * m_stored + slot;
    }
    [[noreturn]] static void OutOfRange();

    std::int32_t m_rows = 0;
    std::int32_t m_columns = 0;
    std::int32_t m_stored = 0;          // rows stored per column
    std::vector<std::int32_t> m_slots;  // row -> place in a column, -1 when not kept; empty: all
    std::vector<std::int32_t> m_kept;
    std::vector<float> m_values;  // column after column
};

}  // namespace vx
