// Temperatures of generated thermal listings against what the generator wrote: the last
// line of a table full (10 and 5 nodes) or not (12, 1), every line ending; and the node
// counter, which a plain reading does not have. (How they read next to the plain reading
// is ExtractionEquivalenceTest's.)
#include <gtest/gtest.h>

#include "extraction/Extraction.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using gen::LineEnding;
using test::TempDir;

// Every temperature of every step of `spec`'s listing, as an export of them all reads it.
struct AllTemperatures {
    test::Scanned Listing;
    ValueTable Table;
    Outcome Read;

    AllTemperatures(const gen::ListingSpec& spec, const TempDir& dir) {
        Listing.Open(test::Generate(spec, dir.Path() / "thermal.out"));
        EXPECT_FALSE(Listing.Read.Failed());
        ExtractionRequest request;
        request.Variable = "Temperature";
        for (std::int16_t t = 1; t <= Listing.Model.TimeCount; ++t)
            request.SelectedTimes.push_back(t);
        auto services = Listing.Host.Get();
        Read = ReadTemperatures(Listing.Model, request, Table, services);
    }
};

TEST(ReadTemperatures, EveryNodeOfEveryStepAsTheGeneratorWroteIt) {
    TempDir dir;
    for (LineEnding ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
        for (int nodes : {12, 10, 5, 1}) {
            SCOPED_TRACE("ending " + std::to_string(static_cast<int>(ending)) + ", nodes " +
                         std::to_string(nodes));
            auto spec = test::ThermalSpec(nodes);
            spec.lineEnding = ending;
            const AllTemperatures read(spec, dir);
            EXPECT_FALSE(read.Read.Failed()) << read.Read.Notices[0].Text;
            for (int t = 1; t <= spec.steps; ++t)
                for (int n = 1; n <= nodes; ++n)
                    ASSERT_EQ(read.Table.At(n, t),
                              gen::ExpectedValue(spec, gen::Block::Temperature, t, n, 0))
                        << "node " << n << ", step " << t;
        }
    }
}

TEST(ReadTemperatures, The32767thNodeOverflowsTheNodeCounter) {
    TempDir dir;
    const auto big = test::ThermalSpec(32767, 1);
    const AllTemperatures read(big, dir);
    EXPECT_EQ(read.Read.Notices,
              (std::vector<Notice>{{FailureKind::ValueTooLarge, 6, "6: Overflow", MsgIcon::None}}));
    EXPECT_EQ(read.Listing.Host.Messages, read.Read.Notices) << "shown as returned";
    EXPECT_EQ(read.Table.At(32767, 1),
              gen::ExpectedValue(big, gen::Block::Temperature, 1, 32767, 0));
}

}  // namespace
}  // namespace vx
