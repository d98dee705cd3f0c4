// Two listings compared value by value, against a witness: every line's values read whole
// by the extraction of the same request and their differences worked out plainly. Values
// changed at the first and last item of the first and last step of every variable and
// vector kind are found and placed; differences of structure are named; the tolerance
// holds at its bound.
#include "extraction/Comparison.h"
#include "tests/support/BytesRead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "extraction/Extraction.h"
#include "extraction/ValueText.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

// The request that reads a line's values from one listing, whole.
ExtractionRequest WholeLine(const OutputFileModel& m, const ComparedLine& line) {
    ExtractionRequest r;
    r.Variable = line.Variable;
    r.VectorKind = line.Vector;
    const Variable* v = FindVariable(line.Variable);
    const auto kinds = VectorKinds(*v, m);
    for (std::size_t k = 0; k < kinds.size(); ++k)
        if (kinds[k] == line.Vector) r.VectorKindIndex = static_cast<std::int16_t>(k);
    for (std::int32_t i = 1; i <= line.Items; ++i)
        r.Vectors.push_back(static_cast<std::int16_t>(i));
    for (std::int32_t t = 1; t <= line.Steps; ++t)
        r.SelectedTimes.push_back(static_cast<std::int16_t>(t));
    return r;
}

ValueTable ReadWhole(const OutputFileModel& m, const ExtractionRequest& r) {
    test::FakeServices host;
    auto services = host.Get();
    ValueTable table;
    EXPECT_FALSE(ExtractValues(m, r, table, services).Failed())
        << r.Variable << " " << r.VectorKind;
    return table;
}

// The differences of one line worked out plainly from both listings' whole tables.
Differences Witness(const OutputFileModel& a, const OutputFileModel& b, const ComparedLine& line,
                    const Tolerance& tol) {
    Differences d;
    if (line.IsTimes) {
        for (std::int32_t t = 1; t <= line.Steps; ++t) {
            const float x = a.Times[static_cast<std::size_t>(t - 1)].Time;
            d.Add(x, b.Times[static_cast<std::size_t>(t - 1)].Time, 0, t, x, tol);
        }
        return d;
    }
    if (line.Items == 0 || line.Steps == 0) return d;
    const ValueTable ta = ReadWhole(a, WholeLine(a, line)), tb = ReadWhole(b, WholeLine(b, line));
    bool first = true;
    for (std::int32_t t = 1; t <= line.Steps; ++t) {
        for (std::int32_t i = 1; i <= line.Items; ++i) {
            const double x = ta.At(i, t), y = tb.At(i, t);
            const double diff = std::fabs(x - y), larger = std::max(std::fabs(x), std::fabs(y));
            const double bound = tol.Absolute + tol.Relative * larger;
            const double measure = tol.Absolute == 0 && tol.Relative == 0 ? diff
                                   : diff == 0                            ? 0
                                                                          : diff / bound;
            if (first || measure > d.Worst) {
                d.Worst = measure;
                d.Item = i, d.Step = t, d.Time = a.Times[static_cast<std::size_t>(t - 1)].Time;
                d.A = static_cast<float>(x), d.B = static_cast<float>(y);
            }
            first = false;
            ++d.Compared;
            d.MaxAbs = std::max(d.MaxAbs, diff);
            d.MaxRel = std::max(d.MaxRel, larger == 0 ? 0 : diff / larger);
            d.Agree = d.Agree && diff <= bound;
        }
    }
    return d;
}

void ExpectSame(const Differences& got, const Differences& want, const std::string& what) {
    EXPECT_EQ(got.Compared, want.Compared) << what;
    EXPECT_EQ(got.MaxAbs, want.MaxAbs) << what;
    EXPECT_EQ(got.MaxRel, want.MaxRel) << what;
    EXPECT_EQ(got.Worst, want.Worst) << what;
    EXPECT_EQ(got.Step, want.Step) << what;
    EXPECT_EQ(got.Item, want.Item) << what;
    EXPECT_EQ(got.Time, want.Time) << what;
    EXPECT_EQ(got.A, want.A) << what;
    EXPECT_EQ(got.B, want.B) << what;
    EXPECT_EQ(got.Agree, want.Agree) << what;
}

struct Compared {
    Comparison Result;
    Outcome Run;
    std::vector<Notice> Shown;
};

Compared CompareModels(const OutputFileModel& a, const OutputFileModel& b,
                       const CompareRequest& request = {}, int threads = 0) {
    Compared c;
    EXPECT_FALSE(PlanComparison(a, b, request, c.Result));
    test::FakeServices host;
    auto services = host.Get();
    services.Reading.Threads = threads;
    c.Run = RunComparison(a, b, request, c.Result, services);
    c.Shown = host.Messages;
    return c;
}

// The same comparison from the paths: each listing read once, scan and values together.
ListingsCompared CompareFiles(const std::filesystem::path& a, const std::filesystem::path& b,
                              const CompareRequest& request = {}) {
    ListingsCompared c;
    test::FakeServices host;
    auto services = host.Get();
    const Outcome read = CompareListings(a.string(), b.string(), request, c, services);
    EXPECT_EQ(read.Notices, host.Messages);
    EXPECT_EQ(read.Notices, c.Read.Notices);
    return c;
}

// Both ways of comparing give the same lines to the last field.
void ExpectSameComparison(const Comparison& got, const Comparison& want, const std::string& what) {
    EXPECT_EQ(got.Structure, want.Structure) << what;
    ASSERT_EQ(got.Lines.size(), want.Lines.size()) << what;
    for (std::size_t l = 0; l < got.Lines.size(); ++l) {
        EXPECT_EQ(got.Lines[l].Variable, want.Lines[l].Variable) << what;
        EXPECT_EQ(got.Lines[l].Vector, want.Lines[l].Vector) << what;
        EXPECT_EQ(got.Lines[l].Items, want.Lines[l].Items) << what;
        EXPECT_EQ(got.Lines[l].Steps, want.Lines[l].Steps) << what;
        ExpectSame(got.Lines[l].Found, want.Lines[l].Found, what + ": " + got.Lines[l].Variable);
    }
}

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Changes, inside step t of the listing's bytes, every word that reads as `value`: its first
// mantissa digit moves on by one. Returns how many words changed.
int Plant(std::string& bytes, const OutputFileModel& m, std::int32_t t, float value) {
    const auto begin = static_cast<std::size_t>(m.Times[static_cast<std::size_t>(t - 1)].Position);
    const std::size_t end =
        t < m.TimeCount ? static_cast<std::size_t>(m.Times[static_cast<std::size_t>(t)].Position)
                        : bytes.size();
    int changed = 0;
    for (std::size_t p = begin; p < end;) {
        while (p < end && (bytes[p] == ' ' || bytes[p] == '\r' || bytes[p] == '\n')) ++p;
        std::size_t q = p;
        while (q < end && bytes[q] != ' ' && bytes[q] != '\r' && bytes[q] != '\n') ++q;
        const std::string_view word(bytes.data() + p, q - p);
        const auto point = word.find('.');
        if (!word.empty() && point != std::string_view::npos && point + 1 < word.size() &&
            SingleValue(word) == value) {
            char& digit = bytes[p + point + 1];
            if (digit >= '0' && digit <= '9')
                digit = digit == '9' ? '1' : static_cast<char>(digit + 1);
            ++changed;
        }
        p = q;
    }
    return changed;
}

TEST(Comparison, ValuesChangedAtTheEndsOfEveryLineAreFoundAndPlaced) {
    test::TempDir dir;
    const gen::ListingSpec specs[] = {test::EveryBlockSpec(3),
                                      test::EveryBlockSpec(2, gen::AnalysisKind::Static),
                                      test::ThermalSpec(13, 5)};
    int listing = 0;
    for (const auto& spec : specs) {
        const auto pathA = dir.Path() / ("a" + std::to_string(listing) + ".out");
        const auto pathB = dir.Path() / ("b" + std::to_string(listing++) + ".out");
        test::Generate(spec, pathA);
        test::Scanned a;
        a.Open(pathA);
        const std::string original = Bytes(pathA);

        // Itself: every line agrees, every value compared, the place the first one.
        const Compared same = CompareModels(a.Model, a.Model);
        EXPECT_TRUE(same.Result.Agree());
        ASSERT_GT(same.Result.Lines.size(), 1u);
        for (const auto& line : same.Result.Lines) {
            EXPECT_EQ(line.Found.Compared, line.IsTimes ? line.Steps : line.Items * line.Steps);
            EXPECT_EQ(line.Found.Step, 1);
            EXPECT_EQ(line.Found.Item, line.IsTimes ? 0 : 1) << line.Variable;
        }

        for (std::size_t l = 1; l < same.Result.Lines.size(); ++l) {
            const ComparedLine& line = same.Result.Lines[l];
            const ValueTable values = ReadWhole(a.Model, WholeLine(a.Model, line));
            for (const auto& [item, step] : {std::pair{1, 1}, std::pair{line.Items, line.Steps}}) {
                std::string bytes = original;
                const float value = values.At(item, step);
                const std::string what = line.Variable + " " + line.Vector + " item " +
                                         std::to_string(item) + " step " + std::to_string(step);
                ASSERT_GT(Plant(bytes, a.Model, step, value), 0) << what;
                Write(pathB, bytes);
                test::Scanned b;
                b.Open(pathB);
                std::vector<Differences> witness;
                for (const auto& other : same.Result.Lines)
                    witness.push_back(Witness(a.Model, b.Model, other, {}));
                const ListingsCompared once = CompareFiles(pathA, pathB);
                EXPECT_TRUE(once.Failures.empty()) << what;
                for (int threads : {1, 2}) {
                    const Compared got = CompareModels(a.Model, b.Model, {}, threads);
                    ExpectSameComparison(once.Result, got.Result, what + " (read once)");
                    ASSERT_FALSE(got.Run.Failed()) << what;
                    EXPECT_FALSE(got.Result.Agree()) << what;
                    EXPECT_TRUE(got.Result.Structure.empty()) << what;
                    const ComparedLine& found = got.Result.Lines[l];
                    EXPECT_FALSE(found.Found.Agree) << what;
                    EXPECT_EQ(found.Found.Step, step) << what;
                    EXPECT_EQ(found.Found.A, value) << what;
                    for (std::size_t o = 0; o < witness.size(); ++o)
                        ExpectSame(got.Result.Lines[o].Found, witness[o],
                                   what + ": " + got.Result.Lines[o].Variable + " " +
                                       got.Result.Lines[o].Vector);
                }
            }
        }
    }
}

TEST(Comparison, TolerancesHoldAtTheirBound) {
    // Two singles apart: equal to the bound agrees, the next single above it does not.
    const float a = 7.1074f, b = 7.1075f;
    const double diff = std::fabs(double{b} - double{a});
    EXPECT_TRUE(Agree(a, b, {0, diff}));
    EXPECT_FALSE(Agree(a, std::nextafter(b, 10.0f), {0, diff}));
    const double relative = diff / double{b};
    EXPECT_TRUE(Agree(a, b, {relative * (1 + 1e-15), 0}));
    EXPECT_FALSE(Agree(a, b, {relative * (1 - 1e-12), 0}));
    // The measure: the difference alone without a tolerance, 0 for two zeros.
    EXPECT_EQ(Measure(a, b, {}), diff);
    EXPECT_EQ(Measure(0, 0, {0.1, 0}), 0);
    EXPECT_EQ(Measure(1, 3, {0, 0.5}), 4);
    EXPECT_EQ(RelativeDifference(0, 0), 0);
    EXPECT_EQ(RelativeDifference(-2, 2), 2);

    // Through a whole comparison: the largest difference as the tolerance agrees.
    test::TempDir dir;
    const auto pathA = dir.Path() / "a.out", pathB = dir.Path() / "b.out";
    test::Generate(test::EveryBlockSpec(3), pathA);
    test::Scanned sa, sb;
    sa.Open(pathA);
    std::string bytes = Bytes(pathA);
    ExtractionRequest r{std::string(var::Displacements), "DOF2", 1, {3}, {2}};
    const float value = ReadWhole(sa.Model, r).At(3, 1);
    ASSERT_GT(Plant(bytes, sa.Model, 2, value), 0);
    Write(pathB, bytes);
    sb.Open(pathB);
    CompareRequest request{{std::string(var::Displacements)}, {}};
    const double largest = CompareModels(sa.Model, sb.Model, request).Result.Lines[2].Found.MaxAbs;
    ASSERT_GT(largest, 0);
    request.Within.Absolute = largest;
    EXPECT_TRUE(CompareModels(sa.Model, sb.Model, request).Result.Agree());
    request.Within.Absolute = std::nextafter(largest, 0.0);
    const Compared tight = CompareModels(sa.Model, sb.Model, request);
    EXPECT_FALSE(tight.Result.Agree());
    EXPECT_EQ(tight.Result.Lines[2].Found.Worst, largest / request.Within.Absolute);
}

TEST(Comparison, DifferencesOfStructureAreNamedAndTheRestCompared) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    const auto pathA = dir.Path() / "a.out", pathB = dir.Path() / "b.out";
    test::Generate(spec, pathA);
    test::Scanned a, b;
    a.Open(pathA);

    // More nodes and fewer steps in B: both counts named, the smaller ones compared.
    auto other = spec;
    other.nodes = spec.nodes + 2;
    other.steps = spec.steps - 2;
    test::Generate(other, pathB);
    b.Open(pathB);
    Compared c = CompareModels(a.Model, b.Model);
    EXPECT_EQ(c.Result.Structure, (std::vector<std::string>{"NodeCount: 13 in A, 15 in B",
                                                            "TimeCount: 5 in A, 3 in B"}));
    EXPECT_FALSE(c.Result.Agree());
    ExpectSameComparison(CompareFiles(pathA, pathB).Result, c.Result, "read once");
    for (const auto& line : c.Result.Lines) {
        EXPECT_EQ(line.Steps, 3);
        if (line.Variable == var::Displacements) {
            EXPECT_EQ(line.Items, 13);
        }
    }

    // A block B's first step lacks: its variables are A's only, and not compared.
    other = spec;
    other.trusses = 0;
    test::Generate(other, pathB);
    b.Open(pathB);
    c = CompareModels(a.Model, b.Model);
    EXPECT_NE(std::find(c.Result.Structure.begin(), c.Result.Structure.end(),
                        "Variable Truss Axial Force: offered by A only"),
              c.Result.Structure.end());
    for (const auto& line : c.Result.Lines) EXPECT_NE(line.Variable, var::TrussAxialForce);

    // Only the variables named are looked at; one neither offers is refused.
    Comparison plan;
    EXPECT_FALSE(PlanComparison(a.Model, b.Model, {{std::string(var::Displacements)}, {}}, plan));
    EXPECT_TRUE(plan.Structure.empty() || plan.Structure.front().starts_with("TrussCount"));
    ASSERT_EQ(plan.Lines.size(), 8u);  // the times and seven degrees of freedom
    EXPECT_EQ(plan.Lines[7].Vector, "DOF7");
    EXPECT_TRUE(PlanComparison(a.Model, b.Model, {{"Temperature"}, {}}, plan));

    // A time changed: the times' line names the step.
    std::string bytes = Bytes(pathA);
    const std::string time = "TIME =";
    std::size_t at = bytes.find(time);
    at = bytes.find(time, at + 1);  // the second step's
    ASSERT_NE(at, std::string::npos);
    const std::size_t digit = bytes.find_first_of("123456789", at);
    bytes[digit] = bytes[digit] == '9' ? '1' : static_cast<char>(bytes[digit] + 1);
    Write(pathB, bytes);
    b.Open(pathB);
    c = CompareModels(a.Model, b.Model);
    EXPECT_FALSE(c.Result.Lines.front().Found.Agree);
    EXPECT_EQ(c.Result.Lines.front().Found.Step, 2);
    EXPECT_TRUE(c.Result.Structure.empty());
}

// What each listing holds is read as its own extraction reads it: a record line cut short
// gives zeros where its words are missing, at that step only; beam points in another order
// are matched by their labels.
TEST(Comparison, EachListingIsReadAsItsOwnExtractionReadsIt) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    const auto pathA = dir.Path() / "a.out", pathB = dir.Path() / "b.out";
    test::Generate(spec, pathA);
    test::Scanned a, b;
    a.Open(pathA);

    std::string bytes = Bytes(pathA);
    std::size_t at =
        bytes.find("TOTAL DISPLACEMENTS", static_cast<std::size_t>(a.Model.Times[2].Position));
    for (int line = 0; line < 6; ++line) at = bytes.find('\n', at) + 1;  // node 5's record
    std::size_t cut = at;
    for (int word = 0; word < 4; ++word) {
        cut = bytes.find_first_not_of(' ', cut);
        cut = bytes.find(' ', cut);
    }
    bytes.erase(cut, bytes.find('\r', cut) - cut);
    Write(pathB, bytes);
    b.Open(pathB);
    Compared c = CompareModels(a.Model, b.Model, {{std::string(var::Displacements)}, {}});
    for (const auto& line : c.Result.Lines)
        ExpectSame(line.Found, Witness(a.Model, b.Model, line, {}), line.Vector);
    EXPECT_TRUE(c.Result.Lines[3].Found.Agree);
    EXPECT_FALSE(c.Result.Lines[4].Found.Agree);
    EXPECT_EQ(c.Result.Lines[4].Found.B, 0);
    EXPECT_EQ(c.Result.Lines[4].Found.Step, 3);

    auto other = spec;
    std::reverse(other.stressPoints.begin(), other.stressPoints.end());
    ASSERT_GT(other.stressPoints.size(), 1u);
    test::Generate(other, pathB);
    b.Open(pathB);
    c = CompareModels(a.Model, b.Model, {{std::string(var::BeamStresses)}, {}});
    EXPECT_TRUE(c.Result.Structure.empty());
    for (const auto& line : c.Result.Lines)
        ExpectSame(line.Found, Witness(a.Model, b.Model, line, {}), line.Vector);
}

TEST(Comparison, AListingCutInItsLastStepEndsInItsMessage) {
    test::TempDir dir;
    const auto pathA = dir.Path() / "a.out", pathB = dir.Path() / "b.out";
    test::Generate(test::EveryBlockSpec(3), pathA);
    test::Scanned a, b;
    a.Open(pathA);
    std::string bytes = Bytes(pathA);
    // Cut just after the last step's time line: no block of that step is left.
    bytes.resize(static_cast<std::size_t>(a.Model.Times.back().Position));
    Write(pathB, bytes);
    b.Open(pathB);
    ASSERT_FALSE(b.Read.Failed());
    const Compared c = CompareModels(a.Model, b.Model);
    ASSERT_TRUE(c.Run.Failed());
    ASSERT_EQ(c.Shown.size(), 1u);
    EXPECT_EQ(c.Shown.front().Text, "62: Input past end of file");
    EXPECT_EQ(c.Run.Notices, c.Shown);
    // Read once: the same failure, kept for the caller to show after the structure.
    const ListingsCompared once = CompareFiles(pathA, pathB);
    EXPECT_FALSE(once.Read.Failed());
    EXPECT_EQ(once.Result.Structure, c.Result.Structure);
    EXPECT_EQ(once.Failures, c.Shown);
    // A scan that fails on either side: its message, as opening the listing shows it.
    Write(pathB, "no listing\n");
    const ListingsCompared notListing = CompareFiles(pathB, pathA);
    ASSERT_EQ(notListing.Read.Notices.size(), 1u);
    EXPECT_EQ(notListing.Read.Notices.front().Text, "Read File Error 62: Input past end of file");
}

// Read once is read once: the bytes both listings hold, and little more.
TEST(Comparison, EachListingIsReadOnce) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.targetBytes = std::int64_t{24} << 20;
    const auto pathA = dir.Path() / "a.out", pathB = dir.Path() / "b.out";
    test::Generate(spec, pathA);
    spec.seed = 2;
    test::Generate(spec, pathB);
    const auto sizes =
        static_cast<double>(std::filesystem::file_size(pathA) + std::filesystem::file_size(pathB));
    const std::int64_t before = test::BytesRead();
    if (before < 0) GTEST_SKIP() << "no /proc/self/io here";
    const ListingsCompared c = CompareFiles(pathA, pathB);
    const auto read = static_cast<double>(test::BytesRead() - before);
    EXPECT_FALSE(c.Result.Agree());
    EXPECT_GT(c.Result.Lines.size(), 50u);
    EXPECT_LE(read, 1.05 * sizes) << read / sizes;
}

}  // namespace
}  // namespace vx
