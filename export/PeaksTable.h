#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "export/ExportPlan.h"
#include "extraction/ExtractionRequest.h"
#include "extraction/Peaks.h"
#include "reader/OutputFileModel.h"
#include "sheet/Sheet.h"

// The peaks of a request as a table, the same for every door: the command-line tool's CSV
// and JSON, a sheet in any format, the Python module's frame.
namespace vx {

enum class PeaksCellType : std::uint8_t { Text, Whole, Single, Double };

struct PeaksColumn {
    std::string_view Header;  // "Time of max", as the CSV's first line and a sheet's first row
    std::string_view Key;     // "TimeOfMax", as JSON names it
    PeaksCellType Type;
};

// The columns of each direction, in order.
std::span<const PeaksColumn> PeaksColumns(PeaksOver over);

// The request of the peaks of `request`: every vector kind in one table, and the items
// asked of a variable without a range ("Eigen Values") passed over, as the window passes
// over its boxes.
ExportRequest PeaksRequest(ExportRequest request);

// One cell: a text (the listing's Latin-1), a whole number, a single or a double.
using PeaksCell = std::variant<std::string, std::int64_t, float, double>;

// A row per item (over steps) or per step (over items) of every reading, readings in
// order, rows in the request's order. As a sheet: the header in row 1, a row each below.
// The model, the readings and the peaks are read when a cell is asked for, so they must
// outlive the table.
class PeaksTable final : public Sheet {
public:
    PeaksTable(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
               const std::vector<KindPeaks>& peaks, PeaksOver over);

    std::span<const PeaksColumn> Header() const { return PeaksColumns(m_over); }
    std::int32_t DataRows() const { return m_rows; }
    // Data row r (0-based), column c (0-based).
    PeaksCell Cell(std::int32_t r, std::size_t c) const;

    std::string Name() const override { return "Peaks"; }
    std::int32_t Rows() const override { return m_rows + 1; }
    std::int32_t Columns() const override;
    CellKind Kind(std::int32_t row, std::int32_t col) const override;
    std::string Text(std::int32_t row, std::int32_t col) const override;
    float Number(std::int32_t row, std::int32_t col) const override;
    double Double(std::int32_t row, std::int32_t col) const override;

private:
    float Time(const ExtractionRequest& reading, std::int32_t place) const;

    const OutputFileModel& m_model;
    std::span<const ExtractionRequest> m_readings;
    const std::vector<KindPeaks>& m_peaks;
    PeaksOver m_over;
    std::int32_t m_rows = 0;
    std::vector<std::int32_t> m_firstRow;  // of each reading
};

}  // namespace vx
