// Where the links of help pages lead: the resolver the help window follows clicks and
// loads pictures with (HelpWindowTest shows it does), and HelpFileTest checks the built
// help file with.
#include <gtest/gtest.h>

#include "desktop/help/HelpLinks.h"

namespace vx::help {
namespace {

// The forms our pages and sitemaps use, and the links that lead out of the help.
TEST(ResolveLinkTest, RelativeLinksAndAnchorsResolveAgainstThePagesFolder) {
    EXPECT_EQ(ResolveLink("/index.html", "images/sheet-rows.png"), "/images/sheet-rows.png");
    EXPECT_EQ(ResolveLink("/guide/part/page.html", "../other.html#x"), "/guide/other.html#x");
    EXPECT_EQ(ResolveLink("/page.html", "../../above.html"), "/above.html")
        << "the root has no parent";
    EXPECT_EQ(ResolveLink("/guide/page.html", "/top.html"), "/top.html");
    EXPECT_EQ(ResolveLink("/VoraxExtract.hhc", " saving.html#limits "), "/saving.html#limits");
    EXPECT_EQ(ResolveLink("/guide/page.html#old", "#top"), "/guide/page.html#top");
    EXPECT_EQ(ResolveLink("/page.html", "my%20page.html"), "/my page.html");
    // Written the Windows way, and as a viewer hands such a link over, encoded.
    EXPECT_EQ(ResolveLink("/index.html", "images\\sheet-rows.png"), "/images/sheet-rows.png");
    EXPECT_EQ(ResolveLink("/index.html", "images%5Csheet-rows.png"), "/images/sheet-rows.png");
    EXPECT_EQ(ResolveLink("/page.html", "ms-its:VoraxExtract.chm::/range.html#save"),
              "/range.html#save");
    EXPECT_FALSE(ResolveLink("/page.html", "http://example.org/vorax.html"));
    EXPECT_FALSE(ResolveLink("/page.html", "   "));
}

}  // namespace
}  // namespace vx::help
