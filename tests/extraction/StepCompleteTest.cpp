// A last step is complete once every block of it is written to its last record's line end:
// cut anywhere in the last step of generated listings of every block, StepIsComplete says
// so exactly from the end of the line where every value of that step first reads as in the
// whole listing.
#include <gtest/gtest.h>

#include <fstream>

#include "extraction/Extraction.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

// Every value of every variable and kind of step `step`, as the extraction reads them; empty
// when a reading fails.
std::vector<float> StepOf(const OutputFileModel& m, std::int16_t step) {
    std::vector<float> values;
    for (const auto& v : OfferedVariables(m)) {
        const std::size_t kinds = std::max<std::size_t>(v.VectorKinds.size(), 1);
        for (std::size_t k = 0; k < kinds; ++k) {
            ExtractionRequest r{v.Name,
                                v.VectorKinds.empty() ? "" : v.VectorKinds[k],
                                static_cast<std::int16_t>(v.VectorKinds.empty() ? -1 : k),
                                {},
                                {step}};
            for (std::int16_t i = 1; i <= std::max<std::int16_t>(v.Bound, 1); ++i)
                r.Vectors.push_back(i);
            test::FakeServices host;
            auto services = host.Get();
            ValueTable table;
            if (ExtractValues(m, r, table, services).Failed()) return {};
            for (std::int16_t i : r.Vectors) values.push_back(table.At(i, 1));
        }
    }
    return values;
}

TEST(StepComplete, FromTheLastRecordsLineEndOn) {
    test::TempDir dir;
    auto dynamic = test::EveryBlockSpec(3);
    const gen::ListingSpec specs[] = {dynamic, test::ThermalSpec(13, 4)};
    for (const auto& spec : specs) {
        const auto whole = dir.Path() / "whole.out", cut = dir.Path() / "cut.out";
        test::Generate(spec, whole);
        std::ifstream in(whole, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        test::Scanned full;
        full.Open(whole);
        const std::int16_t last = full.Model.TimeCount;
        EXPECT_TRUE(StepIsComplete(full.Model, last));
        EXPECT_TRUE(StepIsComplete(full.Model, 1));
        EXPECT_FALSE(StepIsComplete(full.Model, last + 1));
        const std::vector<float> wanted = StepOf(full.Model, last);
        ASSERT_FALSE(wanted.empty());

        auto open = [&](std::size_t size) {
            std::ofstream(cut, std::ios::binary | std::ios::trunc)
                .write(bytes.data(), static_cast<std::streamsize>(size));
            test::Scanned s;
            s.Open(cut);
            return s.Model;
        };
        // The first size from which the last step reads as in the whole listing.
        std::size_t low = static_cast<std::size_t>(full.Model.Times.back().Position),
                    high = bytes.size();
        while (low < high) {
            const std::size_t mid = (low + high) / 2;
            const OutputFileModel m = open(mid);
            if (m.TimeCount == last && StepOf(m, last) == wanted)
                high = mid;
            else
                low = mid + 1;
        }
        // ... and from its line end on (a CR alone ends a line; digits that change nothing,
        // "519." for "519.0", may stand before it).
        const std::size_t complete = bytes.find_first_of("\r\n", low) + 1;
        for (std::size_t size = static_cast<std::size_t>(full.Model.Times.back().Position);
             size <= bytes.size();
             size += (size + 3 >= complete && size <= complete + 3) ? 1 : 11) {
            const OutputFileModel m = open(size);
            ASSERT_EQ(m.TimeCount, last);
            EXPECT_EQ(StepIsComplete(m, last), size >= complete)
                << "cut at " << size << " of " << bytes.size();
        }
    }
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

// A request that reaches into the step cut short names the first of its items not written.
TEST(StepComplete, ARequestNamesItsFirstItemNotWritten) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    const auto whole = dir.Path() / "whole.out", cut = dir.Path() / "cut.out";
    test::Generate(spec, whole);
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::size_t header = bytes.rfind("TOTAL DISPLACEMENTS");
    std::size_t node5 = header;
    for (int line = 0; line < 6; ++line) node5 = bytes.find('\n', node5) + 1;  // node 5's record
    auto cutAt = [&](std::size_t size) {
        std::ofstream(cut, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(size));
        test::Scanned s;
        s.Open(cut);
        return s.Model;
    };
    auto request = [](std::string variable, std::vector<std::int16_t> items, std::int16_t step) {
        return ExtractionRequest{std::move(variable), "", 0, std::move(items), {1, step}};
    };
    for (std::size_t size : {node5 + 20, node5, node5 - 1}) {
        const OutputFileModel m = cutAt(size);
        const std::int16_t last = m.TimeCount;
        // Cut inside node 5's line, at its start, or between node 4's CR and LF.
        auto found = RequestCutShort(m, request("Displacements", {1, 2, 3, 4, 5, 6}, last));
        ASSERT_TRUE(found) << size;
        EXPECT_EQ(found->Step, last);
        EXPECT_EQ(found->Item, 5);
        found = RequestCutShort(m, request("Displacements", {9, 2, 7}, last));
        ASSERT_TRUE(found);
        EXPECT_EQ(found->Item, 9) << "the first in the request's order";
        EXPECT_FALSE(RequestCutShort(m, request("Displacements", {4, 1}, last)));
        EXPECT_FALSE(
            RequestCutShort(m, request("Displacements", {5}, static_cast<std::int16_t>(last - 1))));
        found = RequestCutShort(m, request("Beam Axial Force", {3, 1}, last));
        ASSERT_TRUE(found) << "a block not begun";
        EXPECT_EQ(found->Item, 3);
        EXPECT_EQ(CutShortText(m, request("Beam Axial Force", {3}, last), *found),
                  "step 5 (time 300) is not complete in the listing: Beam 3 of it is not written "
                  "yet (nor what follows)");
    }
    EXPECT_FALSE(RequestCutShort(cutAt(bytes.size()), request("Displacements", {13}, 5)));
}

}  // namespace
}  // namespace vx
