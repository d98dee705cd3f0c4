#include "extraction/Peaks.h"

#include <algorithm>
#include <cmath>
#include <new>

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

namespace {

// Reduces readings that share their items and steps (the kinds of one variable) in one
// reading of the listing, a batch of steps at a time, each kind exactly as if it were
// reduced alone, one after the other: the first kind in order that fails is the one whose
// message is shown, and none is reduced further. The kinds after one that failed are no
// longer read; those before it are read to their end, where one may fail in its turn.
void ReduceTogether(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                    PeaksOver over, std::vector<KindPeaks>& peaks, Services& services,
                    Outcome& outcome, double& done, double total) {
    const ExtractionRequest& shared = readings.front();
    const std::size_t steps = shared.SelectedTimes.size();
    std::vector<PeaksFold> folds;
    for (std::size_t k = 0; k < readings.size(); ++k)
        folds.emplace_back(over, shared.Vectors.size(), steps);
    // As many steps a batch as keep the tables of the items read within their bytes.
    const std::size_t perStep = ValueTable::ColumnBytes(shared.Vectors) * readings.size();
    const std::size_t batch =
        services.Reading.ReductionBatchSteps > 0
            ? static_cast<std::size_t>(services.Reading.ReductionBatchSteps)
            : std::clamp<std::size_t>(kBatchBytes / perStep, 1, kMostStepsABatch);
    std::size_t reading = readings.size();  // the kinds still read: those before one that failed
    std::vector<Notice> failed;             // what the first of them to fail showed
    for (std::size_t first = 0; first < std::max<std::size_t>(steps, 1) && reading > 0;
         first += batch) {
        const std::size_t count = std::min(batch, steps - std::min(first, steps));
        std::vector<ExtractionRequest> parts(
            readings.begin(), readings.begin() + static_cast<std::ptrdiff_t>(reading));
        for (auto& part : parts)
            part.SelectedTimes.assign(
                shared.SelectedTimes.begin() + static_cast<std::ptrdiff_t>(first),
                shared.SelectedTimes.begin() + static_cast<std::ptrdiff_t>(first + count));
        BatchProgress progress(services.Progress, done, static_cast<double>(count),
                               std::max(total, 1.0));
        Services batchServices{services.Notices, progress, services.AbortRequested,
                               services.StopScan, services.Reading};
        std::vector<ValueTable> tables(parts.size());
        const std::vector<Outcome> read = ExtractKinds(model, parts, tables, batchServices);
        for (std::size_t k = 0; k < parts.size(); ++k) {
            if (read[k].Stopped) {
                outcome.Stopped = true;
                return;
            }
            if (read[k].Failed()) {
                reading = k;
                failed = read[k].Notices;
                break;
            }
            try {
                for (std::size_t t = 0; t < count; ++t) {
                    const auto column = static_cast<std::int32_t>(t + 1);
                    folds[k].Step(static_cast<std::int32_t>(first + t), [&](std::size_t i) {
                        return tables[k].At(shared.Vectors[i], column);
                    });
                }
            } catch (const Failure& failure) {
                reading = k;
                failed = {{FailureKind::ReadFailed, failure.Number(),
                           FailureText(failure.Number(), failure.Description()), MsgIcon::None}};
                break;
            }
        }
        done += static_cast<double>(count);
    }
    for (auto& notice : failed) services.Report(outcome, std::move(notice));
    if (outcome.Failed()) return;
    for (auto& fold : folds) peaks.push_back(fold.Take());
}

}  // namespace

Outcome ReducePeaks(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                    PeaksOver over, std::vector<KindPeaks>& peaks, Services& services) {
    Outcome outcome;
    peaks.clear();
    if (readings.empty()) return outcome;
    const bool together = std::all_of(readings.begin(), readings.end(), [&](const auto& r) {
        return r.Vectors == readings.front().Vectors &&
               r.SelectedTimes == readings.front().SelectedTimes;
    });
    const double total = static_cast<double>(readings.front().SelectedTimes.size()) *
                         (together ? 1.0 : static_cast<double>(readings.size()));
    double done = 0;
    if (together) {
        ReduceTogether(model, readings, over, peaks, services, outcome, done, total);
        return outcome;
    }
    for (std::size_t k = 0; k < readings.size() && !outcome.Failed() && !outcome.Stopped; ++k)
        ReduceTogether(model, readings.subspan(k, 1), over, peaks, services, outcome, done, total);
    return outcome;
}

}  // namespace vx
