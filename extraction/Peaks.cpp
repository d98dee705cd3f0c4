#include "extraction/Peaks.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <set>

#include "common/Failure.h"
#include "extraction/Extraction.h"
#include "extraction/ValueTable.h"

namespace vx {

namespace {

// The values in hand at once: a batch of steps of every requested item.
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;
constexpr std::size_t kMostStepsABatch = 256;

// The progress of a whole reduction as each batch's extraction reports its own part.
class BatchProgress : public ProgressService {
public:
    BatchProgress(ProgressService& host, double done, double count, double total)
        : m_host(host), m_done(done), m_count(count), m_total(total) {}
    void UpdateProgress(float sngPercent, std::string_view szText) override {
        m_host.UpdateProgress(static_cast<float>((m_done + sngPercent * m_count) / m_total),
                              szText);
    }

private:
    ProgressService& m_host;
    double m_done, m_count, m_total;
};

}  // namespace

PeaksFold::PeaksFold(PeaksOver over, std::size_t items, std::size_t steps)
    : m_over(over), m_items(items) {
    if (over == PeaksOver::Steps)
        m_peaks.Items.resize(items);
    else
        m_peaks.Steps.reserve(steps);
}

void PeaksFold::Step(std::int32_t t, const std::function<float(std::size_t)>& value) {
    if (m_over == PeaksOver::Steps) {
        const bool first = m_folded == 0;
        for (std::size_t k = 0; k < m_items; ++k) {
            const float v = value(k);
            ItemPeaks& p = m_peaks.Items[k];
            if (first) {
                p = {v, v, v, t, t, t};
                continue;
            }
            if (v > p.Max) p.Max = v, p.MaxAt = t;
            if (v < p.Min) p.Min = v, p.MinAt = t;
            if (std::fabs(v) > std::fabs(p.AbsMax)) p.AbsMax = v, p.AbsMaxAt = t;
        }
    } else {
        StepPeaks p;
        double sum = 0;
        for (std::size_t k = 0; k < m_items; ++k) {
            const float v = value(k);
            const auto at = static_cast<std::int32_t>(k);
            if (k == 0 || v > p.Max) p.Max = v, p.MaxAt = at;
            if (k == 0 || v < p.Min) p.Min = v, p.MinAt = at;
            sum += v;
        }
        p.Mean = m_items ? sum / static_cast<double>(m_items) : 0;
        m_peaks.Steps.push_back(p);
    }
    ++m_folded;
}

Outcome ReducePeaks(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                    PeaksOver over, std::vector<KindPeaks>& peaks, Services& services) {
    Outcome outcome;
    peaks.clear();
    double total = 0;
    for (const auto& reading : readings) total += static_cast<double>(reading.SelectedTimes.size());
    double done = 0;
    for (const auto& reading : readings) {
        const std::size_t steps = reading.SelectedTimes.size();
        PeaksFold fold(over, reading.Vectors.size(), steps);
        // As many steps a batch as keep the table of the items read within its bytes.
        const std::set<std::int16_t> rows(reading.Vectors.begin(), reading.Vectors.end());
        const std::size_t perStep = std::max<std::size_t>(rows.size(), 1) * sizeof(float);
        const std::size_t batch =
            services.Reading.ReductionBatchSteps > 0
                ? static_cast<std::size_t>(services.Reading.ReductionBatchSteps)
                : std::clamp<std::size_t>(kBatchBytes / perStep, 1, kMostStepsABatch);
        for (std::size_t first = 0; first < std::max<std::size_t>(steps, 1); first += batch) {
            const std::size_t count = std::min(batch, steps - std::min(first, steps));
            ExtractionRequest part = reading;
            part.SelectedTimes.assign(
                reading.SelectedTimes.begin() + static_cast<std::ptrdiff_t>(first),
                reading.SelectedTimes.begin() + static_cast<std::ptrdiff_t>(first + count));
            BatchProgress progress(services.Progress, done, static_cast<double>(count),
                                   std::max(total, 1.0));
            Services batchServices{services.Notices, progress, services.AbortRequested,
                                   services.StopScan, services.Reading};
            ValueTable table;
            const Outcome read = ExtractValues(model, part, table, batchServices);
            outcome.Append(read);
            if (read.Failed() || read.Stopped) return outcome;
            try {
                for (std::size_t t = 0; t < count; ++t) {
                    const auto column = static_cast<std::int32_t>(t + 1);
                    fold.Step(static_cast<std::int32_t>(first + t),
                              [&](std::size_t k) { return table.At(reading.Vectors[k], column); });
                }
            } catch (const Failure& failure) {
                services.Report(
                    outcome, {FailureKind::ReadFailed, failure.Number(),
                              FailureText(failure.Number(), failure.Description()), MsgIcon::None});
                return outcome;
            }
            done += static_cast<double>(count);
        }
        peaks.push_back(fold.Take());
    }
    return outcome;
}

}  // namespace vx
