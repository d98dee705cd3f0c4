#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "export/ExportPlan.h"
#include "export/ResultTable.h"
#include "extraction/ExtractionRequest.h"
#include "extraction/Peaks.h"
#include "reader/OutputFileModel.h"

// The peaks of a request as a table, the same for every door: the command-line tool's CSV
// and JSON, a sheet in any format, the Python module's frame.
namespace vx {

// The columns of each direction, in order.
std::span<const TableColumn> PeaksColumns(PeaksOver over);

// The request of the peaks of `request`: every vector kind in one table, and the items
// asked of a variable without a range ("Eigen Values") passed over, as the window passes
// over its boxes.
ExportRequest PeaksRequest(ExportRequest request);

// A row per item (over steps) or per step (over items) of every reading, readings in
// order, rows in the request's order. As a sheet: the header in row 1, a row each below.
// The model, the readings and the peaks are read when a cell is asked for, so they must
// outlive the table.
class PeaksTable final : public ResultTable {
public:
    PeaksTable(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
               const std::vector<KindPeaks>& peaks, PeaksOver over);

    std::span<const TableColumn> Header() const override { return PeaksColumns(m_over); }
    std::int32_t DataRows() const override { return m_rows; }
    TableCell Cell(std::int32_t r, std::size_t c) const override;
    std::string Name() const override { return "Peaks"; }

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
