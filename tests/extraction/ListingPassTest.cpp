// One reading of a listing with its values read as the scan goes (ListingPass), the steps
// read by the scan's thread alone or by it and helpers: the same steps delivered in the same
// order with the same values, each request's first failure once and at its step, whichever
// thread read which step.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "extraction/ListingPass.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"

namespace vx {
namespace {

struct Delivered {
    std::vector<std::int16_t> Steps;
    std::vector<std::vector<std::uint32_t>> Values;   // each step's, bit patterns
    std::vector<std::vector<std::uint32_t>> Columns;  // each step's first table column
    std::vector<std::tuple<std::int16_t, std::size_t, std::string>> Failures;
    bool ReadToEnd = false;
    bool operator==(const Delivered&) const = default;
};

// Every kind of one variable, every item; each step but those `skip` divides; no more
// values wanted after step `last` (0: all).
Delivered Read(const std::string& path, const std::string& variable, int threads, int skip,
               int last) {
    Delivered got;
    ListingPass* reading = nullptr;
    ListingPass pass(
        [&](const OutputFileModel& model) {
            std::vector<ExtractionRequest> requests;
            for (const OfferedVariable& offered : OfferedVariables(model)) {
                if (offered.Name != variable) continue;
                for (std::size_t k = 0; k < offered.VectorKinds.size(); ++k) {
                    ExtractionRequest& r = requests.emplace_back();
                    r.Variable = variable;
                    r.VectorKind = offered.VectorKinds[k];
                    r.VectorKindIndex = static_cast<std::int16_t>(k);
                    for (std::int16_t item = 1; item <= offered.Bound; ++item)
                        r.Vectors.push_back(item);
                }
            }
            return requests;
        },
        [&](std::int16_t step, std::span<const float> values) {
            got.Steps.push_back(step);
            auto& bits = got.Values.emplace_back();
            for (float v : values) bits.push_back(std::bit_cast<std::uint32_t>(v));
            auto& column = got.Columns.emplace_back();
            for (float v : reading->Column(0)) column.push_back(std::bit_cast<std::uint32_t>(v));
            return last == 0 || step < last;
        },
        [&](std::int16_t step, float) { return skip == 0 || step % skip != 0; }, true);
    reading = &pass;
    test::FakeServices host;
    auto services = host.Get();
    services.Reading.Threads = threads;
    services.Reading.HelperValues = 1;  // however few values a step gives
    OutputFileModel model;
    model.FilePath = path;
    model.Reset();
    pass.Run(model, services);
    for (const auto& failed : pass.Failures())
        got.Failures.emplace_back(failed.Step, failed.Request, failed.What.Text);
    got.ReadToEnd = pass.ReadToEnd();
    return got;
}

TEST(ListingPass, DeliversWhatOneThreadDeliversWhicheverThreadReadsAStep) {
    test::TempDir dir;
    const auto path = dir.Path() / "listing.out";
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 40;
    test::Generate(spec, path);
    // One kind fails at several steps (a value too large for a single), another at one,
    // a step without displacements reads the next step's, and the last step has none: every
    // kind still read fails there.
    std::string bytes = test::ReadBytes(path);
    const std::string header = gen::marker::kDisplacementHeader;
    auto tooLarge = [](std::size_t at) {
        return [at](std::string line) { return line.replace(line.find('E', at) - 1, 5, "1E+99"); };
    };
    for (int step : {4, 9, 10, 23, 31})
        bytes = test::EditLine(bytes, header, step, 3, tooLarge(20));
    bytes = test::EditLine(bytes, header, 12, 5, tooLarge(44));
    bytes = test::EditLine(bytes, header, 27, 0, [](std::string) { return " "; });
    std::ofstream(path, std::ios::binary) << bytes.substr(0, bytes.rfind(header));

    for (const int skip : {0, 3}) {
        for (const int last : {0, 17}) {
            SCOPED_TRACE("skip " + std::to_string(skip) + ", last " + std::to_string(last));
            const Delivered alone = Read(path.string(), "Displacements", 1, skip, last);
            ASSERT_FALSE(alone.Steps.empty());
            EXPECT_EQ(alone.ReadToEnd, last == 0);
            // Each request's first failure only.
            std::vector<std::size_t> requests;
            for (const auto& [step, request, text] : alone.Failures) requests.push_back(request);
            std::sort(requests.begin(), requests.end());
            EXPECT_EQ(std::adjacent_find(requests.begin(), requests.end()), requests.end());
            if (last == 0) {
                EXPECT_GE(alone.Failures.size(), skip == 0 ? 3u : 2u);
            }
            for (const int threads : {2, 4})
                for (int run = 0; run < 4; ++run)
                    EXPECT_EQ(Read(path.string(), "Displacements", threads, skip, last), alone)
                        << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace vx
