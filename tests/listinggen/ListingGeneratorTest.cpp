#include "tools/listinggen/ListingGenerator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

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

std::vector<std::string> Words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!word.empty()) words.push_back(std::exchange(word, {}));
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string Trim(std::string_view s) {
    const auto a = s.find_first_not_of(' ');
    if (a == std::string_view::npos) return {};
    return std::string(s.substr(a, s.find_last_not_of(' ') - a + 1));
}

bool Contains(std::string_view line, std::string_view marker) {
    return line.find(marker) != std::string_view::npos;
}

float Number(const std::string& word) {
    return static_cast<float>(std::strtod(word.c_str(), nullptr));
}

// Index of the first line at or after `from` that contains `marker`; lines.size() if none.
std::size_t Find(const Listing& l, std::size_t from, std::string_view marker) {
    while (from < l.lines.size() && !Contains(l.lines[from], marker)) ++from;
    return from;
}

// The time line of each step of a structural listing: those after the first convergence.
std::vector<std::size_t> StructuralTimeLines(const Listing& l) {
    std::vector<std::size_t> result;
    std::size_t i = 0;
    while (i < l.lines.size() && Trim(l.lines[i]) != marker::kConvergence) ++i;
    for (++i; i < l.lines.size(); ++i)
        if (Contains(l.lines[i], marker::kTime)) result.push_back(i);
    return result;
}

// Word `word` of the line `offset` lines after the first `header` line found after `from`.
float ValueAt(const Listing& l, std::size_t from, std::string_view header, std::size_t offset,
              std::size_t word) {
    const std::size_t h = Find(l, from + 1, header);
    EXPECT_LT(h + offset, l.lines.size()) << header;
    if (h + offset >= l.lines.size()) return -1e30f;
    const auto words = Words(l.lines[h + offset]);
    EXPECT_LT(word, words.size()) << l.lines[h + offset];
    return word < words.size() ? Number(words[word]) : -1e30f;
}

ListingSpec EveryBlock(int ndim) {
    ListingSpec s;
    s.kind = AnalysisKind::Dynamic;
    s.ndim = ndim;
    s.seed = 77;
    s.nodes = 11;
    s.trusses = 3;
    s.beams = 4;
    s.beamPoints = 3;
    s.shells = 2;
    s.shellSurfaces = 4;
    s.soils = 2;
    s.fibers = 12;
    s.stressPoints = {{2, 1}, {3, 2}};
    s.tangentPoints = {{2, 1}};
    s.steps = 4;
    return s;
}

ListingSpec Thermal(int nodes) {
    ListingSpec s;
    s.kind = AnalysisKind::Thermal;
    s.nodes = nodes;
    s.solids = 4;
    s.steps = 3;
    s.seed = 5;
    return s;
}

TEST(ListingBytes, LineEndsAreExactlyTheRequestedOnes) {
    for (auto kind : {AnalysisKind::Dynamic, AnalysisKind::Thermal}) {
        std::size_t lineCount = 0;
        for (auto ending : {LineEnding::CRLF, LineEnding::CR, LineEnding::LF}) {
            ListingSpec spec = kind == AnalysisKind::Thermal ? Thermal(12) : EveryBlock(3);
            spec.lineEnding = ending;
            const Listing l = Generate(spec);
            const std::string_view eol = Terminator(ending);
            ASSERT_TRUE(l.bytes.ends_with(eol));
            std::size_t cr = 0, lf = 0;
            for (std::size_t i = 0; i < l.bytes.size(); ++i) {
                cr += l.bytes[i] == '\r';
                lf += l.bytes[i] == '\n';
                if (ending == LineEnding::CRLF && l.bytes[i] == '\r') {
                    ASSERT_EQ(l.bytes[i + 1], '\n') << "bare CR at " << i;
                }
                if (ending == LineEnding::CRLF && l.bytes[i] == '\n') {
                    ASSERT_EQ(l.bytes[i - 1], '\r') << "bare LF at " << i;
                }
            }
            EXPECT_EQ(cr, ending == LineEnding::LF ? 0 : l.lines.size());
            EXPECT_EQ(lf, ending == LineEnding::CR ? 0 : l.lines.size());
            // Same lines whatever the ending.
            if (lineCount != 0) {
                EXPECT_EQ(l.lines.size(), lineCount);
            }
            lineCount = l.lines.size();
        }
    }
}

TEST(ListingBytes, SuperscriptTwoIsTheSingleLatin1Byte) {
    const Listing l = Generate(EveryBlock(3));
    std::size_t b2 = 0;
    for (unsigned char c : l.bytes) {
        ASSERT_TRUE(c < 0x80 || c == 0xB2) << "byte " << int(c);
        b2 += c == 0xB2;
    }
    const std::size_t stress = Find(l, 0, "STRESSES IN N/mm\xB2 IN BEAM ELEMENT    2, POINT  1");
    ASSERT_LT(stress, l.lines.size());
    EXPECT_TRUE(Contains(l.lines[stress], marker::kStressHeader));
    // Stress (2), tangent, soil header and the local shell stresses, in each step.
    EXPECT_EQ(b2, 5u * static_cast<std::size_t>(l.steps));
}

TEST(ListingHeader, IdentificationDimensionAndKeywordFollowTheSearchOrder) {
    const std::vector<std::string> keywords = {"TEMPERAT", "STATIC", "TORSION", "DYNAMIC"};
    for (auto kind : {AnalysisKind::Thermal, AnalysisKind::Static, AnalysisKind::Dynamic}) {
        ListingSpec spec = kind == AnalysisKind::Thermal ? Thermal(3) : EveryBlock(2);
        spec.kind = kind;
        spec.version = "  V8.0-beta ";
        const Listing l = Generate(spec);
        const std::size_t id = Find(l, 0, "PROGRAM 'VORAX'");
        ASSERT_LT(id, l.lines.size());
        // The version is the second comma-separated piece, trimmed.
        const std::string& line = l.lines[id];
        const auto c1 = line.find(','), c2 = line.find(',', c1 + 1);
        EXPECT_EQ(Trim(line.substr(c1 + 1, c2 - c1 - 1)), "V8.0-beta");
        EXPECT_EQ(ExpectedVersion(spec), "V8.0-beta");

        const std::size_t ndim = Find(l, id, "NDIM");
        ASSERT_LT(ndim, l.lines.size());
        EXPECT_EQ(Words(l.lines[ndim]).at(1), std::to_string(spec.ndim));
        std::size_t key = ndim;
        auto hasKeyword = [&](const std::string& s) {
            for (const auto& k : keywords)
                if (Contains(s, k)) return true;
            return false;
        };
        while (key < l.lines.size() && !hasKeyword(l.lines[key])) ++key;
        ASSERT_LT(key, l.lines.size());
        const char* expected = kind == AnalysisKind::Thermal  ? "TEMPERAT"
                               : kind == AnalysisKind::Static ? "STATIC"
                                                              : "DYNAMIC";
        for (const auto& k : keywords) EXPECT_EQ(Contains(l.lines[key], k), k == expected) << k;
    }
}

// The counts of the input echo, read the way a reader must: up to the first convergence
// line, skipping the beam-section description between its group line and its
// discretisation line.
TEST(ListingEcho, CountLinesCarryEveryCountAndTheSectionNodeCountIsSkippable) {
    const ListingSpec spec = EveryBlock(3);
    const Listing l = Generate(spec);
    int nodes = 0, trusses = 0, beams = 0, shells = 0, soils = 0, points = 0, surfaces = 0,
        fibers = 0, decoys = 0;
    for (std::size_t i = 0; i < l.lines.size() && Trim(l.lines[i]) != marker::kConvergence; ++i) {
        std::string line = l.lines[i];
        if (Contains(line, "GROUP OF GEOM. PROP.")) {
            for (; !Contains(l.lines[i], "THIS BEAM SECTION TYPE IS DISCRETIZED BY"); ++i)
                decoys += Contains(l.lines[i], "THERE ARE") && Contains(l.lines[i], "NODES");
            continue;
        }
        const auto w = Words(line);
        if (Contains(line, "THERE ARE")) {
            if (Contains(line, "NODES")) nodes = std::stoi(w.at(3));
            if (Contains(line, "TRUSS ELEMENTS")) trusses = std::stoi(w.at(3));
            if (Contains(line, "BEAM ELEMENTS")) beams = std::stoi(w.at(3));
            if (Contains(line, "SHELL ELEMENTS")) shells = std::stoi(w.at(3));
            if (Contains(line, "SOIL ELEMENTS")) soils = std::stoi(w.at(3));
        }
        if (Contains(line, "EACH OF THEM HAS")) points = std::stoi(w.at(4));
        if (Contains(line, "INTEGRATION POINTS ON THE AREA")) surfaces = std::stoi(w.at(0));
        if (Contains(line, "LONGITUDINAL FIBERS")) {
            for (std::string cut : {"LONGITUDINAL FIBERS.", "AND"})
                for (auto p = line.find(cut); p != std::string::npos; p = line.find(cut))
                    line.erase(p, cut.size());
            fibers = static_cast<int>(std::strtod(line.c_str(), nullptr));
        }
    }
    EXPECT_EQ(nodes, spec.nodes);
    EXPECT_EQ(trusses, spec.trusses);
    EXPECT_EQ(beams, spec.beams);
    EXPECT_EQ(shells, spec.shells);
    EXPECT_EQ(soils, spec.soils);
    EXPECT_EQ(points, spec.beamPoints);
    EXPECT_EQ(surfaces, spec.shellSurfaces);
    EXPECT_EQ(fibers, spec.fibers);
    EXPECT_EQ(decoys, 1);
}

// Every marker stands once per step (per block entry for the fibre blocks) and nowhere
// else, so no filler line can be mistaken for a block.
TEST(ListingSteps, EachMarkerStandsOncePerStepAndTheExactOnesAreExact) {
    for (int ndim : {2, 3}) {
        const ListingSpec spec = EveryBlock(ndim);
        const Listing l = Generate(spec);
        const std::size_t steps = static_cast<std::size_t>(spec.steps);
        ASSERT_EQ(l.steps, spec.steps);
        auto count = [&](std::string_view m, bool exact) {
            std::size_t n = 0;
            for (const auto& line : l.lines) n += exact ? Trim(line) == m : Contains(line, m);
            return n;
        };
        EXPECT_EQ(count(marker::kConvergence, true), steps);
        EXPECT_EQ(count("CONVERGENCE", false), steps);
        EXPECT_EQ(count(marker::kTime, false), steps);
        EXPECT_EQ(StructuralTimeLines(l).size(), steps);
        EXPECT_EQ(count("TOTAL DISPLACEMENTS.", true), steps);
        EXPECT_EQ(count(marker::kDisplacementHeader, true), steps);
        EXPECT_EQ(count("RELATIVE EIGEN VALUE", false), steps);
        EXPECT_EQ(count("INTERNAL SOLLICITATIONS IN THE TRUSS ELEMENTS.", true), steps);
        EXPECT_EQ(count(marker::kTrussHeader, true), steps);
        EXPECT_EQ(count("INTERNAL SOLLICITATIONS IN THE BEAM ELEMENTS.", true), steps);
        EXPECT_EQ(count(ndim == 2 ? marker::kBeamHeader2D : marker::kBeamHeader3D, true), steps);
        EXPECT_EQ(count(marker::kBeamHeader2D, false), steps);  // a prefix of the 3D one
        EXPECT_EQ(count(marker::kStressHeader, false), 2 * steps);
        EXPECT_EQ(count(marker::kTangentHeader, false), steps);
        EXPECT_EQ(count(marker::kMembraneHeader, true), steps);
        EXPECT_EQ(count(marker::kBendingHeader, true), steps);
        EXPECT_EQ(count("INTERNAL FORCE IN THE SOIL ELEMENTS.", true), steps);
        EXPECT_EQ(count(marker::kSoilHeader, true), steps);
        EXPECT_EQ(count("LOCAL STRESSES IN THE SHELL ELEMENTS [N/mm\xB2].", true), steps);
        EXPECT_EQ(std::string(marker::kDisplacementHeader).size(), 73u);
        EXPECT_EQ(std::string(marker::kBeamHeader2D).size(), 26u);
        EXPECT_EQ(std::string(marker::kBeamHeader3D).size(), 63u);
        EXPECT_EQ(std::string(marker::kSoilHeader).size(), 28u);
        for (std::size_t s = 0; s < steps; ++s)
            EXPECT_EQ(ExpectedTime(spec, static_cast<int>(s) + 1),
                      Number(Words(l.lines[StructuralTimeLines(l)[s]]).at(2)));
    }
}

// Each value is read back from where the block rules put it (header, lead, stride, word)
// and must be the number ExpectedValue promises.
TEST(ListingValues, EveryStructuralRecordStandsWhereTheBlockRulesSay) {
    for (int ndim : {2, 3}) {
        const ListingSpec spec = EveryBlock(ndim);
        const Listing l = Generate(spec);
        const auto times = StructuralTimeLines(l);
        ASSERT_EQ(times.size(), 4u);
        std::set<float> seen;
        std::size_t checks = 0;
        for (int step = 1; step <= spec.steps; ++step) {
            const std::size_t t = times[static_cast<std::size_t>(step - 1)];
            auto check = [&](float read, Block b, int rec, int field, int sub) {
                EXPECT_EQ(read, ExpectedValue(spec, b, step, rec, field, sub))
                    << "block " << int(b) << " step " << step << " record " << rec << " field "
                    << field << " sub " << sub;
                seen.insert(read);
                ++checks;
            };
            for (int n = 1; n <= spec.nodes; ++n)
                for (int d = 1; d <= (ndim == 3 ? 7 : 3); ++d)
                    check(ValueAt(l, t, marker::kDisplacementHeader, n, d), Block::Displacements, n,
                          d, 0);
            check(ValueAt(l, t, "RELATIVE EIGEN VALUE", 0, 7), Block::EigenValue, 1, 0, 0);
            for (int e = 1; e <= spec.trusses; ++e)
                check(ValueAt(l, t, marker::kTrussHeader, e, 1), Block::Truss, e, 1, 0);
            const char* beamHeader = ndim == 2 ? marker::kBeamHeader2D : marker::kBeamHeader3D;
            for (int e = 1; e <= spec.beams; ++e)
                for (int p = 0; p < spec.beamPoints; ++p)
                    for (int f = 2; f <= (ndim == 2 ? 3 : 6); ++f)
                        check(ValueAt(l, t, beamHeader,
                                      std::size_t(p + 1 + (e - 1) * spec.beamPoints), f),
                              Block::Beam, e, f, p);
            for (auto [b, header] : {std::pair{Block::Membrane, marker::kMembraneHeader},
                                     std::pair{Block::Bending, marker::kBendingHeader}})
                for (int e = 1; e <= spec.shells; ++e)
                    for (int s = 0; s < spec.shellSurfaces; ++s)
                        for (int f = 5; f <= 13; f += 2)
                            check(ValueAt(l, t, header,
                                          std::size_t(s + 3 + (e - 1) * spec.shellSurfaces), f),
                                  b, e, f, s);
            for (int e = 1; e <= spec.soils; ++e)
                for (int f = 1; f <= 2; ++f)
                    check(ValueAt(l, t, marker::kSoilHeader, e, f), Block::Soil, e, f, 0);
            // Fibre blocks: the k-th block of a kind after the time line, pairs from line 4.
            for (auto [b, header, count] :
                 {std::tuple{Block::BeamStress, marker::kStressHeader, spec.stressPoints.size()},
                  std::tuple{Block::BeamTangent, marker::kTangentHeader,
                             spec.tangentPoints.size()}}) {
                std::size_t at = t;
                for (std::size_t k = 0; k < count; ++k) {
                    at = Find(l, at + 1, header);
                    for (int f = 1; f <= spec.fibers; ++f)
                        check(ValueAt(l, at - 1, header, std::size_t(4 + (f - 1) / 5),
                                      std::size_t(2 * ((f - 1) % 5) + 1)),
                              b, f, 0, static_cast<int>(k));
                }
            }
        }
        // Values differ between steps, records and fields: a reader off by one is caught.
        EXPECT_GT(static_cast<double>(seen.size()), 0.97 * static_cast<double>(checks));
    }
}

TEST(ListingValues, ThermalTablesHoldEachTemperatureInItsSixCharacterColumn) {
    bool negative = false;
    for (int nodes : {10, 12}) {
        const ListingSpec spec = Thermal(nodes);
        const Listing l = Generate(spec);
        const std::size_t desc = Find(l, 0, "DESCRIPTION OF THE STRUCTURE.");
        ASSERT_EQ(Trim(l.lines.at(desc)), "DESCRIPTION OF THE STRUCTURE.");
        const std::size_t position = Find(l, desc, "POSITION OF THE NODES");
        EXPECT_EQ(Words(l.lines.at(Find(l, desc, "NODES."))).at(3), std::to_string(nodes));
        EXPECT_EQ(Words(l.lines.at(Find(l, desc, "SOLID ELEMENTS"))).at(3), "4");
        std::size_t at = position, steps = 0;
        while ((at = Find(l, at + 1, marker::kTime)) < l.lines.size()) {
            ++steps;
            const int step = static_cast<int>(steps);
            EXPECT_EQ(Number(Words(l.lines[at]).at(2)), ExpectedTime(spec, step));
            const std::size_t h = Find(l, at + 1, marker::kTemperatureHeader);
            for (int n = 1; n <= nodes; ++n) {
                const std::string& line = l.lines.at(h + 1 + std::size_t(n - 1) / 5);
                const std::size_t column = std::size_t((n - 1) % 5) * 11;
                EXPECT_EQ(std::stoi(line.substr(column, 5)), n);
                const float t = Number(line.substr(column + 5, 6));
                EXPECT_EQ(t, ExpectedValue(spec, Block::Temperature, step, n, 0));
                negative = negative || t < 0;
            }
            EXPECT_EQ(l.lines.at(h + 1 + std::size_t(nodes - 1) / 5).size(),
                      std::size_t(nodes % 5 == 0 ? 5 : nodes % 5) * 11);
        }
        EXPECT_EQ(steps, 3u);
    }
    EXPECT_TRUE(negative) << "no temperature below zero to try the sign in its column";
}

TEST(ListingValues, WordsA2DLineDoesNotPrintAreZeroAndUnknownRecordsAreRefused) {
    const ListingSpec spec = EveryBlock(2);
    EXPECT_EQ(ExpectedValue(spec, Block::Displacements, 1, 1, 4), 0.0f);
    EXPECT_EQ(ExpectedValue(spec, Block::Beam, 1, 1, 4), 0.0f);
    EXPECT_THROW(ExpectedValue(spec, Block::Displacements, 1, spec.nodes + 1, 1),
                 std::invalid_argument);
    EXPECT_THROW(ExpectedValue(spec, Block::Membrane, 1, 1, 6), std::invalid_argument);
    EXPECT_THROW(ExpectedValue(spec, Block::BeamTangent, 1, 1, 0, 1), std::invalid_argument);
}

TEST(ListingGeneration, SameSeedSameBytesOtherSeedOtherValues) {
    ListingSpec spec = EveryBlock(3);
    const Listing a = Generate(spec), b = Generate(spec);
    EXPECT_EQ(a.bytes, b.bytes);
    spec.seed = 78;
    const Listing c = Generate(spec);
    EXPECT_EQ(a.lines.size(), c.lines.size());
    EXPECT_NE(a.bytes, c.bytes);
    EXPECT_NE(ExpectedValue(spec, Block::Soil, 2, 1, 2),
              ExpectedValue(EveryBlock(3), Block::Soil, 2, 1, 2));
}

TEST(ListingGeneration, TargetSizeAddsStepsUntilReached) {
    ListingSpec spec;
    spec.kind = AnalysisKind::Static;
    spec.steps = 1;
    int previous = 0;
    for (std::int64_t target : {20'000, 80'000, 320'000}) {
        spec.targetBytes = target;
        const Listing l = Generate(spec);
        EXPECT_GE(static_cast<std::int64_t>(l.bytes.size()), target);
        EXPECT_LT(static_cast<std::int64_t>(l.bytes.size()),
                  target + 3000);  // one step more at most
        EXPECT_GT(l.steps, previous);
        EXPECT_EQ(StructuralTimeLines(l).size(), static_cast<std::size_t>(l.steps));
        previous = l.steps;
    }
    spec.targetBytes = 1;  // already passed: the listed steps still all come
    spec.steps = 5;
    EXPECT_EQ(Generate(spec).steps, 5);
}

TEST(ListingGeneration, DroppedBlocksLeaveOnlyDisplacementsFromTheGivenStep) {
    ListingSpec spec = EveryBlock(3);
    spec.dropBlocksFromStep = 3;
    const Listing l = Generate(spec);
    const auto times = StructuralTimeLines(l);
    ASSERT_EQ(times.size(), 4u);
    for (std::size_t s = 0; s < times.size(); ++s) {
        const std::size_t end = s + 1 < times.size() ? times[s + 1] : l.lines.size();
        auto inStep = [&](std::string_view m) { return Find(l, times[s], m) < end; };
        EXPECT_TRUE(inStep(marker::kDisplacementHeader));
        for (auto m : {"RELATIVE EIGEN VALUE", marker::kTrussHeader, marker::kBeamHeader3D,
                       marker::kStressHeader, marker::kTangentHeader, marker::kMembraneHeader,
                       marker::kBendingHeader, marker::kSoilHeader})
            EXPECT_EQ(inStep(m), s < 2) << m << " step " << s + 1;
    }
    ListingSpec thermal = Thermal(7);
    thermal.dropBlocksFromStep = 2;
    const Listing t = Generate(thermal);
    std::size_t tables = 0;
    for (const auto& line : t.lines) tables += Contains(line, marker::kTemperatureHeader);
    EXPECT_EQ(tables, 1u);
}

// The checked-in example must be what the generator writes today.
TEST(ListingGeneration, DynamicExampleIsCurrent) {
    ListingSpec spec = EveryBlock(3);
    spec.seed = 1;
    spec.nodes = 10;
    spec.steps = 6;
    const Listing l = Generate(spec);
    EXPECT_EQ(test::ReadBytes(test::SourceDir() / "examples" / "dynamic3d.out"), l.bytes);
}

}  // namespace
}  // namespace vx::gen
