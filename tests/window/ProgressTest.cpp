// The progress indicator and the centred message box as numbers.

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "window/FormLayout.h"
#include "window/Progress.h"

namespace vx {
namespace {

TEST(Progress, TheFigureNeverReadsZeroOrAHundred) {
    struct {
        float Fraction;
        const char* Text;
    } cases[] = {{0.0f, "1%"},    {0.004f, "1%"},  {0.005f, "1%"}, {0.374f, "37%"},
                 {0.375f, "38%"}, {0.995f, "99%"}, {1.0f, "99%"},  {1.5f, "150%"}};
    for (const auto& c : cases) EXPECT_EQ(ProgressText(c.Fraction), c.Text) << c.Fraction;
}

TEST(Progress, TheFigureIsCentredAndTheBarFollowsTheFraction) {
    auto p = LayoutProgress(0.5f, {1000, 17}, {137, 13});
    EXPECT_EQ(p.TextX, 432) << "431.5 rounds to the even neighbour";
    EXPECT_EQ(p.TextY, 2);
    EXPECT_DOUBLE_EQ(p.BarWidth, 500);
    // Whether the bar is filled at all, at 0 and at a half: ProgressPainting (MainWindowTest).
    EXPECT_DOUBLE_EQ(LayoutProgress(1.5f, {1000, 17}, {30, 13}).BarWidth, 1500);
}

TEST(Progress, TheBarSitsInTheSecondPanelAndStaysPutWhenItCannot) {
    auto place = ProgressPlacement(5000, kFormWidth);
    ASSERT_TRUE(place);
    EXPECT_EQ(std::tie(place->Left, place->Top, place->Width, place->Height),
              std::tuple(5060, 60, kFormWidth - 5000 - 135, 195));
    EXPECT_FALSE(ProgressPlacement(5000, 5100));
}

TEST(CentredMessageBox, StandsInTheMiddleOfItsOwner) {
    auto at = CentredBoxPosition({100, 100, 701, 500}, {0, 0, 300, 120});
    EXPECT_EQ(at.X, 250) << "250.5 rounds to the even neighbour";
    EXPECT_EQ(at.Y, 240);
}

TEST(FormLayout, EveryControlHasItsPlaceAndTheTabOrderIsUnique) {
    std::vector<int> tabs;
    for (const auto& c : FormLayout()) {
        EXPECT_GT(c.Width, 0) << c.Name;
        if (c.Container.empty() && c.Name != "lstHidden") {
            EXPECT_LE(c.Left + c.Width, kFormWidth) << c.Name;
        }
        tabs.push_back(c.TabIndex);
    }
    std::sort(tabs.begin(), tabs.end());
    EXPECT_EQ(std::adjacent_find(tabs.begin(), tabs.end()), tabs.end());
}

}  // namespace
}  // namespace vx
