#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/Outcome.h"
#include "extraction/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

// The peaks of a request: the largest and smallest values and where they stand, reduced as
// the values are read, so that what is held grows with the items, never with the steps
// times the items.
namespace vx {

enum class PeaksOver : std::uint8_t {
    Steps,  // a row per item: its peaks over the chosen steps
    Items,  // a row per chosen step: the peaks over the chosen items, and their mean
};

// The peaks of one item over the steps. Places are 0-based, into the request's lists
// (Vectors, SelectedTimes), so that repeats stay apart.
struct ItemPeaks {
    float Max = 0, Min = 0;
    float AbsMax = 0;                                 // the signed value whose magnitude is largest
    std::int32_t MaxAt = 0, MinAt = 0, AbsMaxAt = 0;  // places in SelectedTimes
    bool operator==(const ItemPeaks&) const = default;
};

// The peaks of one step over the items.
struct StepPeaks {
    float Max = 0, Min = 0;
    std::int32_t MaxAt = 0, MinAt = 0;  // places in Vectors
    double Mean = 0;                    // summed in double precision, repeats counted
    bool operator==(const StepPeaks&) const = default;
};

// The peaks of one reading (one vector kind): a row per item (over steps) or per step
// (over items), in the request's order, repeats kept.
struct KindPeaks {
    std::vector<ItemPeaks> Items;
    std::vector<StepPeaks> Steps;
};

// Folds the values of a request, one step after the other: each peak is the first in the
// request's order (an equal value at a later place leaves it, one at an earlier place takes
// it, so that the steps may come in any order), ties between items go to the first item in
// the request's order. Over the items, each step's row is added as it comes.
class PeaksFold {
public:
    PeaksFold(PeaksOver over, std::size_t items, std::size_t steps);
    // The values of the step at place `t` (0-based): value(k) is item place k's. (A
    // template: it runs for every value read.)
    template <typename Value>
    void Step(std::int32_t t, Value&& value) {
        if (m_over == PeaksOver::Steps) {
            const bool first = m_folded == 0;
            for (std::size_t k = 0; k < m_items; ++k) {
                const float v = value(k);
                ItemPeaks& p = m_peaks.Items[k];
                if (first) {
                    p = {v, v, v, t, t, t};
                    continue;
                }
                // Strictly between the peaks (so nearer 0 than the largest absolute
                // value): nothing changes. Most values, once a few steps are folded.
                if (v > p.Min && v < p.Max) continue;
                if (v > p.Max || (v == p.Max && t < p.MaxAt)) p.Max = v, p.MaxAt = t;
                if (v < p.Min || (v == p.Min && t < p.MinAt)) p.Min = v, p.MinAt = t;
                const float a = std::fabs(v), most = std::fabs(p.AbsMax);
                if (a > most || (a == most && t < p.AbsMaxAt)) p.AbsMax = v, p.AbsMaxAt = t;
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
    KindPeaks Take() { return std::move(m_peaks); }

private:
    PeaksOver m_over;
    std::size_t m_items;
    std::int32_t m_folded = 0;
    KindPeaks m_peaks;
};

// Reads each reading (the same variable, items and steps, one per vector kind) and
// reduces it; `peaks` receives one entry per reading, in order. Steps are read a batch at
// a time, few enough that the values in hand stay within a few MB. Failures are shown and
// returned as the extraction shows them; a reading that failed or was stopped leaves its
// peaks unfinished, and the caller shows none.
Outcome ReducePeaks(const OutputFileModel& model, std::span<const ExtractionRequest> readings,
                    PeaksOver over, std::vector<KindPeaks>& peaks, Services& services);

}  // namespace vx
