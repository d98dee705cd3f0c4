// The peaks of a request against the full extraction: for every variable and vector kind of
// generated listings of every block, in both directions, with steps and items in any order
// and repeated, read a few steps at a time; and the fold itself on the cases a listing
// seldom gives (ties, one step, one item, values all negative, all zero).
#include "extraction/Peaks.h"

#include <gtest/gtest.h>

#include <cmath>

#include "extraction/Extraction.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

// The peaks worked out plainly from the whole table of a request: the first of equal
// values in the request's order.
KindPeaks Plainly(const ValueTable& table, const ExtractionRequest& r, PeaksOver over) {
    KindPeaks out;
    const auto items = static_cast<std::int32_t>(r.Vectors.size());
    const auto steps = static_cast<std::int32_t>(r.SelectedTimes.size());
    auto at = [&](std::int32_t k, std::int32_t t) {
        return table.At(r.Vectors[static_cast<std::size_t>(k)], t + 1);
    };
    if (over == PeaksOver::Steps) {
        for (std::int32_t k = 0; k < items; ++k) {
            ItemPeaks p{at(k, 0), at(k, 0), at(k, 0), 0, 0, 0};
            for (std::int32_t t = 1; t < steps; ++t) {
                const float v = at(k, t);
                if (v > p.Max) p.Max = v, p.MaxAt = t;
                if (v < p.Min) p.Min = v, p.MinAt = t;
                if (std::fabs(v) > std::fabs(p.AbsMax)) p.AbsMax = v, p.AbsMaxAt = t;
            }
            out.Items.push_back(p);
        }
    } else {
        for (std::int32_t t = 0; t < steps; ++t) {
            StepPeaks p{at(0, t), at(0, t), 0, 0, 0};
            double sum = 0;
            for (std::int32_t k = 0; k < items; ++k) {
                const float v = at(k, t);
                if (v > p.Max) p.Max = v, p.MaxAt = k;
                if (v < p.Min) p.Min = v, p.MinAt = k;
                sum += v;
            }
            p.Mean = sum / items;
            out.Steps.push_back(p);
        }
    }
    return out;
}

TEST(Peaks, EveryVariableAndKindAsTheFullExtractionGivesThem) {
    test::TempDir dir;
    auto dynamic = test::EveryBlockSpec(3);
    auto statics = test::EveryBlockSpec(2, gen::AnalysisKind::Static);
    auto thermal = test::ThermalSpec(13, 5);
    for (const auto* spec : {&dynamic, &statics, &thermal}) {
        test::Scanned listing;
        listing.Open(test::Generate(*spec, dir.Path() / "listing.out"));
        ASSERT_FALSE(listing.Read.Failed());
        const auto& m = listing.Model;
        for (const auto& v : OfferedVariables(m)) {
            std::vector<ExtractionRequest> kinds;
            std::vector<KindPeaks> alone[2];  // by direction, one entry per kind
            for (int k = v.VectorKinds.empty() ? -1 : 0; k < static_cast<int>(v.VectorKinds.size());
                 ++k) {
                SCOPED_TRACE(v.Name + " kind " + std::to_string(k));
                ExtractionRequest r{v.Name,
                                    k < 0 ? "" : v.VectorKinds[static_cast<std::size_t>(k)],
                                    static_cast<std::int16_t>(k),
                                    {},
                                    {}};
                // Items from the last down with a repeat; steps out of order with repeats.
                for (std::int16_t item = std::max<std::int16_t>(v.Bound, 1); item >= 1; --item)
                    r.Vectors.push_back(item);
                r.Vectors.push_back(r.Vectors.front());
                for (std::int16_t t : {3, 1, 5, 3, 2, 4}) r.SelectedTimes.push_back(t);
                if (m.TimeCount < 5) r.SelectedTimes = {2, 1, 2};

                test::FakeServices host;
                auto services = host.Get();
                ValueTable table;
                ASSERT_FALSE(ExtractValues(m, r, table, services).Failed());
                for (PeaksOver over : {PeaksOver::Steps, PeaksOver::Items}) {
                    // Two steps a reading, so that the batches meet in the middle of it.
                    services.Reading.ReductionBatchSteps = 2;
                    std::vector<KindPeaks> peaks;
                    const ExtractionRequest one[] = {r};
                    ASSERT_FALSE(ReducePeaks(m, one, over, peaks, services).Failed());
                    ASSERT_EQ(peaks.size(), 1u);
                    const KindPeaks plain = Plainly(table, r, over);
                    EXPECT_EQ(peaks[0].Items, plain.Items);
                    EXPECT_EQ(peaks[0].Steps, plain.Steps);
                    alone[static_cast<int>(over)].push_back(peaks[0]);
                }
                kinds.push_back(r);
            }
            // Every kind in one reading, a few steps a batch: each as when it is alone.
            for (PeaksOver over : {PeaksOver::Steps, PeaksOver::Items}) {
                test::FakeServices host;
                auto services = host.Get();
                services.Reading.ReductionBatchSteps = 4;
                std::vector<KindPeaks> peaks;
                ASSERT_FALSE(ReducePeaks(m, kinds, over, peaks, services).Failed()) << v.Name;
                ASSERT_EQ(peaks.size(), kinds.size());
                for (std::size_t k = 0; k < kinds.size(); ++k) {
                    EXPECT_EQ(peaks[k].Items, alone[static_cast<int>(over)][k].Items) << v.Name;
                    EXPECT_EQ(peaks[k].Steps, alone[static_cast<int>(over)][k].Steps) << v.Name;
                }
            }
        }
    }
}

TEST(Peaks, TheFirstOfEqualValuesAndTheCasesOfOneStepOrOneItem) {
    // Three items over four steps: ties, a series all negative, one all zero.
    const float values[4][3] = {{1, -2, 0}, {3, -5, 0}, {3, -1, 0}, {-3, -5, 0}};
    auto fold = [&](PeaksOver over, std::size_t items, std::size_t steps) {
        PeaksFold f(over, items, steps);
        for (std::size_t t = 0; t < steps; ++t)
            f.Step(static_cast<std::int32_t>(t), [&](std::size_t k) { return values[t][k]; });
        return f.Take();
    };
    const KindPeaks overSteps = fold(PeaksOver::Steps, 3, 4);
    // Item 1: 3 first at step 2; |-3| ties |3|, the first stays.
    EXPECT_EQ(overSteps.Items[0], (ItemPeaks{3, -3, 3, 1, 3, 1}));
    EXPECT_EQ(overSteps.Items[1], (ItemPeaks{-1, -5, -5, 2, 1, 1}));
    EXPECT_EQ(overSteps.Items[2], (ItemPeaks{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fold(PeaksOver::Steps, 1, 1).Items, (std::vector<ItemPeaks>{{1, 1, 1, 0, 0, 0}}));

    const KindPeaks overItems = fold(PeaksOver::Items, 3, 4);
    ASSERT_EQ(overItems.Steps.size(), 4u);
    EXPECT_EQ(overItems.Steps[1], (StepPeaks{3, -5, 0, 1, -2.0 / 3.0}));
    EXPECT_EQ(overItems.Steps[3], (StepPeaks{0, -5, 2, 1, -8.0 / 3.0}));
    EXPECT_EQ(fold(PeaksOver::Items, 1, 2).Steps[1], (StepPeaks{3, 3, 0, 0, 3}));
}

}  // namespace
}  // namespace vx
