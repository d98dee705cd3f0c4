#include "export/ExportPlan.h"

#include <gtest/gtest.h>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

std::vector<std::int16_t> Vectors(std::string_view from, std::string_view to, std::string_view step,
                                  std::string_view variable = "Displacements") {
    std::vector<std::int16_t> vectors = {99};
    std::string reason;
    if (!BuildVectors(variable, from, to, step, vectors, reason)) return {};
    return vectors;
}

TEST(BuildVectors, CountFromTheDifferenceThenStepFromFrom) {
    using V = std::vector<std::int16_t>;
    EXPECT_EQ(Vectors("1", "10", "3"), (V{1, 4, 7, 10}));
    EXPECT_EQ(Vectors("5", "5", "1"), (V{5}));
    EXPECT_EQ(Vectors("8", "3", "-1"), (V{8, 7, 6, 5, 4, 3}));
    EXPECT_EQ(Vectors("1", "10", "4"), (V{1, 5, 9})) << "the count truncates toward zero";
    EXPECT_EQ(Vectors("1.5", "4", "1"), (V{2, 3, 4})) << "2.5 rounds to 2: three vectors, 2 to 4";
    EXPECT_EQ(Vectors("x", "y", "z", "Eigen Values"), (V{1})) << "the boxes play no part";
    EXPECT_EQ(Vectors("1", "3", "1.5"), (V{1, 3})) << "Step 1.5 rounds to 2";
}

TEST(BuildVectors, RunsThatEndSilentlyGiveTheirReason) {
    struct Case {
        const char *from, *to, *step, *says;
    } cases[] = {
        {"1", "10", "0.4", "Step 0"},  // rounds to 0: no division by it
        {"1", "32768", "1", "between 1 and 32767"},
        {"1", "10", "40000", "cannot be used: Overflow"},
        {"2147483648", "0", "-1", "between 1 and 32767"},  // -2147483648 / -1 is no 32-bit number
    };
    for (const auto& c : cases) {
        std::vector<std::int16_t> vectors = {42};
        std::string reason;
        EXPECT_FALSE(BuildVectors("Displacements", c.from, c.to, c.step, vectors, reason))
            << c.says;
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
        EXPECT_EQ(vectors, std::vector<std::int16_t>{42}) << "the previous list stays";
    }
}

TEST(BuildSelectedTimes, HiddenTextsInListOrder) {
    std::vector<std::int16_t> times = {7};
    std::string reason;
    EXPECT_FALSE(BuildSelectedTimes({}, times, reason));
    EXPECT_FALSE(BuildSelectedTimes({"1", "two"}, times, reason));
    EXPECT_EQ(times, std::vector<std::int16_t>{7}) << "the previous list stays";
    ASSERT_TRUE(BuildSelectedTimes({"3", "1", "3"}, times, reason));
    EXPECT_EQ(times, (std::vector<std::int16_t>{3, 1, 3}));
}

// What a door's request becomes against the example listing (10 nodes, 6 steps at 60 to
// 360, 3 trusses, beams with 3 points and 2 stress blocks): the reading, apart from
// where the sheet goes.
class PlanExportTest : public ::testing::Test {
protected:
    void SetUp() override { m_listing.Open(test::Example("dynamic3d.out")); }

    Planned Plan(ExportRequest request) const { return PlanExport(m_listing.Model, request); }
    const Refusal& Refused(ExportRequest request) {
        m_planned = Plan(std::move(request));
        EXPECT_TRUE(std::holds_alternative<Refusal>(m_planned));
        static const Refusal none{RefusalRule::NoVariableOffered, "planned", false, ""};
        return std::holds_alternative<Refusal>(m_planned) ? std::get<Refusal>(m_planned) : none;
    }

    test::Scanned m_listing;
    Planned m_planned;
};

// Each way of naming items and steps gives the reading the window's lists would give,
// and the sheet goes apart from it.
TEST_F(PlanExportTest, EachDoorsWordsGiveTheWindowsReading) {
    ExportRequest r;
    r.Variable = "Beam Stresses";
    r.EveryVectorKind = true;
    r.Items = ItemListText{"12,1-5:2"};
    r.Steps = StepTimes{{"240", "60", "120", "240"}};
    r.Sheet = {"out.XLSX", std::nullopt, true};
    Planned planned = Plan(r);
    ASSERT_TRUE(std::holds_alternative<ExportPlan>(planned));
    const ExportPlan& plan = std::get<ExportPlan>(planned);
    using V = std::vector<std::int16_t>;
    ASSERT_EQ(plan.Readings.size(), 2u) << "one reading per stress block";
    for (std::int16_t k = 0; k < 2; ++k) {
        const ExtractionRequest& reading = plan.Readings[static_cast<std::size_t>(k)];
        EXPECT_EQ(reading.VectorKindIndex, k);
        EXPECT_EQ(reading.VectorKind, m_listing.Model.StressPoints[static_cast<std::size_t>(k)]);
        EXPECT_EQ(reading.Vectors, (V{12, 1, 3, 5}));
        // Sorted by time, the repeat skipped, as double-clicks add them.
        EXPECT_EQ(reading.SelectedTimes, (V{1, 2, 4}));
    }
    EXPECT_EQ(plan.Sheet, (SheetTarget{"out.XLSX", SheetFormat::Xlsx, true}));

    r = {};
    r.Items = ItemNumbers{{5, 1, 5}};
    r.Steps = StepNumbers{{std::int64_t{3}, std::string(" 1.0 "), std::int64_t{3}}};
    planned = Plan(r);
    ASSERT_TRUE(std::holds_alternative<ExportPlan>(planned));
    const ExtractionRequest& first = std::get<ExportPlan>(planned).Readings.at(0);
    EXPECT_EQ(first.Variable, "Displacements") << "the first offered";
    EXPECT_EQ(first.VectorKind, "DOF1");
    EXPECT_EQ(first.Vectors, (V{5, 1, 5}));
    EXPECT_EQ(first.SelectedTimes, (V{3, 1, 3}));
    EXPECT_EQ(std::get<ExportPlan>(planned).Sheet.OutputPath, "") << "nothing to write";

    r.Items = EveryItem{};
    r.Steps = SelectedList{{"2", "6"}};
    planned = Plan(r);
    ASSERT_TRUE(std::holds_alternative<ExportPlan>(planned));
    EXPECT_EQ(std::get<ExportPlan>(planned).Readings.at(0).Vectors.size(), 10u);
    EXPECT_EQ(std::get<ExportPlan>(planned).Readings.at(0).SelectedTimes, (V{2, 6}));
}

// The rule of each refusal, which the doors word in their own way, in the order the
// window's rules apply: the variable, its vector kind, the steps, the items, the boxes.
TEST_F(PlanExportTest, RefusalsNameTheirRuleInTheWindowsOrder) {
    using R = RefusalRule;
    auto request = [](std::function<void(ExportRequest&)> change) {
        ExportRequest r;
        r.Steps = EveryStep{};
        change(r);
        return r;
    };
    const struct {
        ExportRequest Request;
        R Rule;
        bool SaveStaysDisabled;
        const char* Says;
    } cases[] = {
        {request([](auto& r) { r.Variable = "Temperature"; }), R::VariableNotOffered, false,
         "variable 'Temperature' is not offered by this listing (offered: Displacements, "},
        // The kind comes before the steps, the steps before the items.
        {request([](auto& r) {
             r.VectorKinds = {{"DOF1", std::int64_t{1}}};
             r.Steps = StepNumbers{{std::int64_t{9}}};
         }),
         R::VectorChoicesDiffer, false, "different entries"},
        {request([](auto& r) {
             r.VectorKinds = {{std::nullopt, std::string("1.5")}};
         }),
         R::VectorIndexNotAnEntry, false, "vector index '1.5' is not an entry of 'Displacements'"},
        {request([](auto& r) {
             r.Steps = StepNumbers{{std::int64_t{9}}};
             r.Items = ItemNumbers{{0}};
         }),
         R::StepNotInListing, false, "time step '9' is not a number from 1 to 6"},
        {request([](auto& r) { r.Steps = StepTimes{{"61"}}; }), R::TimeNotAvailable, false,
         "time '61'"},
        {request([](auto& r) { r.Items = ItemNumbers{{11}}; }), R::ItemOutOfRange, false,
         "item 11 is outside the range (1 to 10)"},
        {request([](auto& r) { r.Items = ItemListText{"1-x"}; }), R::ItemListInvalid, false,
         "item '1-x'"},
        {request([](auto& r) {
             r.Variable = "Eigen Values";
             r.Items = ItemNumbers{{1}};
         }),
         R::ItemsNotApplicable, false, "'Eigen Values' has no items to choose"},
        {request([](auto& r) {
             r.Items = ItemRange{"1", "11", "1"};
         }),
         R::RangeNotReady, true, "To is outside the range (1 to 10)"},
        {request([](auto& r) { r.Steps = NoSteps{}; }), R::NoStepSelected, true,
         "no time step is selected"},
        // "Eigen Values" needs no range and Save is usable without a time; its run ends.
        {request([](auto& r) {
             r.Variable = "Eigen Values";
             r.Steps = SelectedList{};
         }),
         R::NoStepSelected, false, "no time step is selected"},
        {request([](auto& r) {
             r.Items = ItemRange{"1", "10", "0"};
         }),
         R::RangeUnusable, false, "Step 0 gives no vector list"},
        {request([](auto& r) {
             r.Steps = SelectedList{{"1", "two"}};
         }),
         R::StepsUnusable, false, "a selected time step number cannot be used"},
        {request([](auto& r) {
             r.VectorKinds = {{"DOF1", std::nullopt}, {"DOF2", std::nullopt}};
             r.Sheet.Path = "two.csv";
         }),
         R::SeveralKindsNeedWorkbook, false, "a csv file holds one sheet"},
    };
    for (const auto& c : cases) {
        const Refusal& refused = Refused(c.Request);
        EXPECT_EQ(refused.Rule, c.Rule) << c.Says;
        EXPECT_EQ(refused.SaveStaysDisabled, c.SaveStaysDisabled) << c.Says;
        EXPECT_NE(refused.Reason.find(c.Says), std::string::npos) << refused.Reason;
    }
}

// Never over the listing: the same file, also through a link, whatever else is asked.
TEST_F(PlanExportTest, TheListingIsNeverTheSheet) {
    test::TempDir dir;
    const auto link = dir.Path() / "link.xls";
    std::filesystem::create_symlink(m_listing.Model.FilePath, link);
    for (const auto& path : {m_listing.Model.FilePath, link.string()}) {
        ExportRequest r;
        r.Variable = "Temperature";
        r.Sheet.Path = path;
        EXPECT_EQ(Refused(r).Rule, RefusalRule::OutputIsListing) << path;
        EXPECT_TRUE(CheckSheetPath(m_listing.Model.FilePath, path)) << path;
    }
    EXPECT_FALSE(CheckSheetPath(m_listing.Model.FilePath, (dir.Path() / "new.xls").string()));
}

}  // namespace
}  // namespace vx
