// The generator is the independent witness the reader is checked against: where its
// values stand is checked by reading them back (tests/reader GeneratedListingTest,
// tests/app CliEndToEndTest). Here: what those checks take for granted.
#include "tools/listinggen/ListingGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx::gen {
namespace {

struct Listing {
    std::string bytes;
    int steps = 0;
};

Listing Generate(const ListingSpec& spec) {
    test::TempDir dir;
    const auto file = dir.Path() / "listing.out";
    const int steps = WriteListingFile(spec, file.string());
    return {test::ReadBytes(file), steps};
}

// Every line ends in exactly the requested terminator, and the lines are the same
// whichever it is.
TEST(ListingBytes, LineEndsAreExactlyTheRequestedOnesAndTheLinesTheSame) {
    for (ListingSpec spec : {test::EveryBlockSpec(3), test::ThermalSpec(12, 3)}) {
        const std::string crlf = Generate(spec).bytes;
        EXPECT_TRUE(crlf.ends_with("\r\n"));
        for (auto [ending, end] : {std::pair{LineEnding::CR, '\r'}, {LineEnding::LF, '\n'}}) {
            std::string expected;
            for (std::size_t i = 0; i < crlf.size(); ++i) {
                const bool pair = crlf.compare(i, 2, "\r\n") == 0;
                ASSERT_TRUE(pair || (crlf[i] != '\r' && crlf[i] != '\n')) << "a bare end at " << i;
                expected += pair ? end : crlf[i];
                i += pair;
            }
            spec.lineEnding = ending;
            EXPECT_TRUE(Generate(spec).bytes == expected);
        }
    }
}

// A reader that takes the wrong step, record, field, point, surface or fibre block reads
// another number only if the numbers differ: the end-to-end comparisons rely on this.
TEST(ListingValues, DifferBetweenStepsRecordsFieldsAndBlocks) {
    const ListingSpec spec = test::EveryBlockSpec(3);
    std::set<float> seen;
    std::size_t count = 0;
    auto add = [&](Block b, int record, int field, int sub) {
        for (int step = 1; step <= spec.steps; ++step, ++count)
            seen.insert(ExpectedValue(spec, b, step, record, field, sub));
    };
    for (int n = 1; n <= spec.nodes; ++n)
        for (int dof = 1; dof <= 7; ++dof) add(Block::Displacements, n, dof, 0);
    for (int sub = 0; sub < 2; ++sub) {
        for (Block b : {Block::Beam, Block::Membrane, Block::Bending}) add(b, 1, 5, sub);
        add(Block::BeamStress, 1, 0, sub);
    }
    EXPECT_GT(static_cast<double>(seen.size()), 0.97 * static_cast<double>(count));
    // Temperatures below zero try the sign inside the six-character column.
    bool negative = false;
    for (int n = 1; n <= 12; ++n)
        negative |= ExpectedValue(test::ThermalSpec(12, 6), Block::Temperature, 1, n, 0) < 0;
    EXPECT_TRUE(negative);
}

TEST(ListingGeneration, TargetSizeAddsStepsUntilReached) {
    ListingSpec spec;
    spec.kind = AnalysisKind::Static;
    spec.steps = 1;
    spec.targetBytes = 80'000;
    const Listing l = Generate(spec);
    EXPECT_GE(l.bytes.size(), 80'000u);
    EXPECT_LT(l.bytes.size(), 83'000u) << "one step more at most";
    std::size_t times = 0;
    for (auto at = l.bytes.find(marker::kTime); at != std::string::npos;
         at = l.bytes.find(marker::kTime, at + 1))
        ++times;
    EXPECT_EQ(times, static_cast<std::size_t>(l.steps));
    spec.targetBytes = 1;  // already passed: the listed steps still all come
    spec.steps = 5;
    EXPECT_EQ(Generate(spec).steps, 5);
}

// The checked-in examples are what the generator writes today. The one the plot is shown
// with is a structure ringing down: its displacements are a time history, not noise: near
// from one step to the next, wider along the cantilever, and dying away.
TEST(ListingGeneration, ExamplesAreCurrentAndTheVibrationRingsDown) {
    ListingSpec dynamic = test::EveryBlockSpec(3);
    dynamic.nodes = 10;
    dynamic.steps = 6;
    dynamic.tangentPoints = {{2, 1}};
    ListingSpec vibration;
    vibration.ndim = 2;
    vibration.nodes = 24;
    vibration.steps = 60;
    vibration.firstTime = vibration.timeIncrement = 0.05;
    vibration.waves = true;
    for (const auto& [name, spec] :
         {std::pair{"dynamic3d.out", dynamic}, {"vibration2d.out", vibration}})
        EXPECT_TRUE(test::ReadBytes(test::SourceDir() / "examples" / name) == Generate(spec).bytes)
            << name;

    auto at = [&](int node, int step) {
        return ExpectedValue(vibration, Block::Displacements, step, node, 1);
    };
    float tip = 0, root = 0, early = 0, late = 0, jump = 0;
    for (int step = 1; step <= 60; ++step) {
        tip = std::max(tip, std::abs(at(24, step)));
        root = std::max(root, std::abs(at(1, step)));
        if (step <= 20) early = std::max(early, std::abs(at(24, step)));
        if (step > 40) late = std::max(late, std::abs(at(24, step)));
        if (step > 1) jump = std::max(jump, std::abs(at(24, step) - at(24, step - 1)));
    }
    EXPECT_LT(jump, 0.4f * tip);
    EXPECT_GT(tip, 3 * root);
    EXPECT_GT(early, 1.5f * late);
}

}  // namespace
}  // namespace vx::gen
