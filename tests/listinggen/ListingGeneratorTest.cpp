// The generator is the independent witness the reader is checked against: where its
// values stand is checked by reading them back (tests/reader GeneratedListingTest,
// tests/app CliEndToEndTest). Here: what those checks take for granted.
#include "tools/listinggen/ListingGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx::gen {
namespace {

using test::TempDir;

std::string_view Terminator(LineEnding e) {
    return e == LineEnding::CRLF ? "\r\n" : e == LineEnding::CR ? "\r" : "\n";
}

struct Listing {
    std::string bytes;
    std::vector<std::string> lines;
    int steps = 0;
};

Listing Generate(const ListingSpec& spec) {
    TempDir dir;
    const auto file = dir.Path() / "listing.out";
    Listing l;
    l.steps = WriteListingFile(spec, file.string());
    l.bytes = test::ReadBytes(file);
    const std::string_view eol = Terminator(spec.lineEnding);
    for (std::size_t at = 0; at < l.bytes.size();) {
        const std::size_t end = l.bytes.find(eol, at);
        if (end == std::string::npos) break;  // a last line without its end shows as missing
        l.lines.push_back(l.bytes.substr(at, end - at));
        at = end + eol.size();
    }
    return l;
}

std::size_t CountLines(const Listing& l, std::string_view marker) {
    std::size_t n = 0;
    for (const auto& line : l.lines) n += line.find(marker) != std::string::npos;
    return n;
}

TEST(ListingBytes, LineEndsAreExactlyTheRequestedOnesAndTheLinesTheSame) {
    for (const ListingSpec& base : {test::EveryBlockSpec(3), test::ThermalSpec(12, 3)}) {
        std::size_t lineCount = 0;
        for (auto ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
            ListingSpec spec = base;
            spec.lineEnding = ending;
            const Listing l = Generate(spec);
            ASSERT_TRUE(l.bytes.ends_with(Terminator(ending)));
            // No line holds another line end: a bare CR or LF would show here.
            for (const auto& line : l.lines)
                ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos);
            EXPECT_TRUE(lineCount == 0 || l.lines.size() == lineCount) << l.lines.size();
            lineCount = l.lines.size();
        }
    }
}

// A reader that takes the wrong step, record, field or fibre block reads another number
// only if the numbers differ: the end-to-end comparisons rely on this.
TEST(ListingValues, DifferBetweenStepsRecordsFieldsAndBlocks) {
    for (int ndim : {2, 3}) {
        const ListingSpec spec = test::EveryBlockSpec(ndim);
        std::set<float> seen;
        std::size_t count = 0;
        auto add = [&](Block b, int step, int record, int field, int sub) {
            seen.insert(ExpectedValue(spec, b, step, record, field, sub));
            ++count;
        };
        for (int step = 1; step <= spec.steps; ++step) {
            add(Block::EigenValue, step, 1, 0, 0);
            for (int n = 1; n <= spec.nodes; ++n)
                for (int d = 1; d <= (ndim == 3 ? 7 : 3); ++d)
                    add(Block::Displacements, step, n, d, 0);
            for (int e = 1; e <= spec.trusses; ++e) add(Block::Truss, step, e, 1, 0);
            for (int e = 1; e <= spec.beams; ++e)
                for (int p = 0; p < spec.beamPoints; ++p)
                    for (int f = 2; f <= (ndim == 2 ? 3 : 6); ++f) add(Block::Beam, step, e, f, p);
            for (Block b : {Block::Membrane, Block::Bending})
                for (int e = 1; e <= spec.shells; ++e)
                    for (int s = 0; s < spec.shellSurfaces; ++s)
                        for (int f = 5; f <= 13; f += 2) add(b, step, e, f, s);
            for (int e = 1; e <= spec.soils; ++e)
                for (int f = 1; f <= 2; ++f) add(Block::Soil, step, e, f, 0);
            for (int f = 1; f <= spec.fibers; ++f) {
                for (int k = 0; k < static_cast<int>(spec.stressPoints.size()); ++k)
                    add(Block::BeamStress, step, f, 0, k);
                add(Block::BeamTangent, step, f, 0, 0);
            }
        }
        EXPECT_GT(static_cast<double>(seen.size()), 0.97 * static_cast<double>(count)) << ndim;
    }
    // Temperatures below zero try the sign inside the six-character column.
    const ListingSpec thermal = test::ThermalSpec(12, 6);
    bool negative = false;
    for (int step = 1; step <= thermal.steps; ++step)
        for (int n = 1; n <= thermal.nodes; ++n)
            negative = negative || ExpectedValue(thermal, Block::Temperature, step, n, 0) < 0;
    EXPECT_TRUE(negative);
    // Another seed, other values (the same seed gives the same bytes: DynamicExampleIsCurrent).
    ListingSpec reseeded = test::EveryBlockSpec(3);
    reseeded.seed = 78;
    EXPECT_NE(ExpectedValue(reseeded, Block::Displacements, 1, 1, 1),
              ExpectedValue(test::EveryBlockSpec(3), Block::Displacements, 1, 1, 1));
}

TEST(ListingGeneration, TargetSizeAddsStepsUntilReached) {
    ListingSpec spec;
    spec.kind = AnalysisKind::Static;
    spec.steps = 1;
    spec.targetBytes = 80'000;
    const Listing l = Generate(spec);
    EXPECT_GE(static_cast<std::int64_t>(l.bytes.size()), spec.targetBytes);
    EXPECT_LT(static_cast<std::int64_t>(l.bytes.size()),
              spec.targetBytes + 3000);  // one step more at most
    EXPECT_EQ(CountLines(l, marker::kTime), static_cast<std::size_t>(l.steps));
    spec.targetBytes = 1;  // already passed: the listed steps still all come
    spec.steps = 5;
    EXPECT_EQ(Generate(spec).steps, 5);
}

TEST(ListingGeneration, DroppedBlocksLeaveOnlyDisplacementsFromTheGivenStep) {
    ListingSpec spec = test::EveryBlockSpec(3);
    spec.dropBlocksFromStep = 3;
    const Listing l = Generate(spec);
    EXPECT_EQ(CountLines(l, marker::kDisplacementHeader), 5u);
    for (auto m : {"RELATIVE EIGEN VALUE", marker::kTrussHeader, marker::kBeamHeader3D,
                   marker::kTangentHeader, marker::kMembraneHeader, marker::kBendingHeader,
                   marker::kSoilHeader})
        EXPECT_EQ(CountLines(l, m), 2u) << m;
    EXPECT_EQ(CountLines(l, marker::kStressHeader), 4u);
    ListingSpec thermal = test::ThermalSpec(7, 3);
    thermal.dropBlocksFromStep = 2;
    EXPECT_EQ(CountLines(Generate(thermal), marker::kTemperatureHeader), 1u);
}

// The checked-in example must be what the generator writes today.
TEST(ListingGeneration, DynamicExampleIsCurrent) {
    ListingSpec example = test::EveryBlockSpec(3);
    example.nodes = 10;
    example.steps = 6;
    example.tangentPoints = {{2, 1}};
    EXPECT_EQ(test::ReadBytes(test::SourceDir() / "examples" / "dynamic3d.out"),
              Generate(example).bytes);
}

// The example the plot is shown with: a structure ringing down. Its displacements are a
// time history, not noise: near from one step to the next, wider along the cantilever,
// and dying away.
TEST(ListingGeneration, VibrationExampleIsCurrentAndRingsDown) {
    ListingSpec example;
    example.ndim = 2;
    example.nodes = 24;
    example.steps = 60;
    example.firstTime = 0.05;
    example.timeIncrement = 0.05;
    example.waves = true;
    EXPECT_EQ(test::ReadBytes(test::SourceDir() / "examples" / "vibration2d.out"),
              Generate(example).bytes);
    auto swing = [&](int node, int from, int to) {
        double largest = 0;
        for (int step = from; step <= to; ++step)
            largest = std::max<double>(
                largest, std::abs(ExpectedValue(example, Block::Displacements, step, node, 1)));
        return largest;
    };
    double jump = 0;
    for (int step = 2; step <= example.steps; ++step)
        jump = std::max<double>(
            jump, std::abs(ExpectedValue(example, Block::Displacements, step, 24, 1) -
                           ExpectedValue(example, Block::Displacements, step - 1, 24, 1)));
    EXPECT_LT(jump, 0.4 * swing(24, 1, 60));
    EXPECT_GT(swing(24, 1, 60), 3 * swing(1, 1, 60));
    EXPECT_GT(swing(24, 1, 20), 1.5 * swing(24, 41, 60));
}

}  // namespace
}  // namespace vx::gen
