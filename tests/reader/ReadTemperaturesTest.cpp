// How temperatures read is checked against a plain reading in ExtractionEquivalenceTest;
// here, the node counter that a plain reading does not have.
#include <gtest/gtest.h>

#include "reader/Reader.h"
#include "tests/support/FakeServices.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

TEST(ReadTemperatures, The32767thNodeOverflowsTheNodeCounter) {
    test::TempDir dir;
    const auto big = test::ThermalSpec(32767, 1);
    OutputFileModel model;
    model.FilePath = test::Generate(big, dir.Path() / "big.out");
    test::FakeServices host;
    auto services = host.Get();
    ReadOutputFile(model, services);
    ASSERT_TRUE(host.Messages.empty());
    ExtractionRequest request;
    request.Variable = "Temperature";
    request.SelectedTimes = {1};
    ValueTable table;
    ReadTemperatures(model, request, table, services);
    EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"6: Overflow"});
    EXPECT_EQ(table.At(32767, 1), gen::ExpectedValue(big, gen::Block::Temperature, 1, 32767, 0));
}

}  // namespace
}  // namespace vx
