#include "export/PeaksTable.h"

#include <algorithm>
#include <array>

#include "common/Failure.h"

namespace vx {

namespace {

using T = TableCellType;

constexpr std::array<TableColumn, 11> kOverSteps = {{
    {"Vector", "Vector", T::Text},
    {"Item", "Item", T::Whole},
    {"Max", "Max", T::Single},
    {"Time of max", "TimeOfMax", T::Single},
    {"Step of max", "StepOfMax", T::Whole},
    {"Min", "Min", T::Single},
    {"Time of min", "TimeOfMin", T::Single},
    {"Step of min", "StepOfMin", T::Whole},
    {"Abs max", "AbsMax", T::Single},
    {"Time of abs max", "TimeOfAbsMax", T::Single},
    {"Step of abs max", "StepOfAbsMax", T::Whole},
}};

constexpr std::array<TableColumn, 8> kOverItems = {{
    {"Vector", "Vector", T::Text},
    {"Step", "Step", T::Whole},
    {"Time", "Time", T::Single},
    {"Max", "Max", T::Single},
    {"Item of max", "ItemOfMax", T::Whole},
    {"Min", "Min", T::Single},
    {"Item of min", "ItemOfMin", T::Whole},
    {"Mean", "Mean", T::Double},
}};

}  // namespace

std::span<const TableColumn> PeaksColumns(PeaksOver over) {
    if (over == PeaksOver::Steps) return kOverSteps;
    return kOverItems;
}

PeaksTable::PeaksTable(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                       const std::vector<KindPeaks>& peaks, PeaksOver over)
    : m_model(model), m_readings(readings), m_peaks(peaks), m_over(over) {
    for (std::size_t i = 0; i < std::min(readings.size(), peaks.size()); ++i) {
        m_firstRow.push_back(m_rows);
        m_rows += static_cast<std::int32_t>(over == PeaksOver::Steps ? peaks[i].Items.size()
                                                                     : peaks[i].Steps.size());
    }
}

float PeaksTable::Time(const ExtractionRequest& reading, std::int32_t place) const {
    const std::int16_t step = reading.SelectedTimes.at(static_cast<std::size_t>(place));
    if (step < 1 || step > static_cast<std::int32_t>(m_model.Times.size()))
        Raise(fail::SubscriptOutOfRange);
    return m_model.Times[static_cast<std::size_t>(step - 1)].Time;
}

TableCell PeaksTable::Cell(std::int32_t r, std::size_t c) const {
    const auto at = std::upper_bound(m_firstRow.begin(), m_firstRow.end(), r) - 1;
    const auto kind = static_cast<std::size_t>(at - m_firstRow.begin());
    const ExtractionRequest& reading = m_readings[kind];
    const auto row = static_cast<std::size_t>(r - *at);
    if (c == 0) return reading.VectorKind;
    auto step = [&](std::int32_t place) -> std::int64_t {
        return reading.SelectedTimes.at(static_cast<std::size_t>(place));
    };
    auto item = [&](std::int32_t place) -> std::int64_t {
        return reading.Vectors.at(static_cast<std::size_t>(place));
    };
    if (m_over == PeaksOver::Steps) {
        const ItemPeaks& p = m_peaks[kind].Items.at(row);
        switch (c) {
            case 1:
                return item(static_cast<std::int32_t>(row));
            case 2:
                return p.Max;
            case 3:
                return Time(reading, p.MaxAt);
            case 4:
                return step(p.MaxAt);
            case 5:
                return p.Min;
            case 6:
                return Time(reading, p.MinAt);
            case 7:
                return step(p.MinAt);
            case 8:
                return p.AbsMax;
            case 9:
                return Time(reading, p.AbsMaxAt);
            default:
                return step(p.AbsMaxAt);
        }
    }
    const StepPeaks& p = m_peaks[kind].Steps.at(row);
    switch (c) {
        case 1:
            return step(static_cast<std::int32_t>(row));
        case 2:
            return Time(reading, static_cast<std::int32_t>(row));
        case 3:
            return p.Max;
        case 4:
            return item(p.MaxAt);
        case 5:
            return p.Min;
        case 6:
            return item(p.MinAt);
        default:
            return p.Mean;
    }
}

ExportRequest PeaksRequest(ExportRequest request) {
    request.SheetPerVectorKind = false;
    request.IgnoreItemsWithoutRange = true;
    return request;
}

}  // namespace vx
