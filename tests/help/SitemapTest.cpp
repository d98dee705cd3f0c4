// Reading of contents and index files (the sitemap format), in the forms our own help
// project writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/help/Sitemap.h"

namespace vx::help {
namespace {

std::string Entry(const std::string& name, const std::string& local) {
    return R"(<LI><OBJECT type="text/sitemap"><param name="Name" value=")" + name +
           R"("><param name="Local" value=")" + local + "\"></OBJECT>\n";
}

// "Title=local" per entry, children in brackets: compact to compare whole trees.
std::string Shape(const std::vector<TocEntry>& entries) {
    std::string out;
    for (const auto& entry : entries) {
        if (!out.empty()) out += ' ';
        out += entry.Title + "=" + entry.Local;
        if (!entry.Children.empty()) out += " [" + Shape(entry.Children) + "]";
    }
    return out;
}

TEST(SitemapTest, ListsNestUnderTheEntryBeforeThem) {
    const std::string hhc = "<HTML><BODY>\n<UL>\n" + Entry("Help", "index.html") + "<UL>\n" +
                            Entry("Steps", "index.html#steps") +
                            Entry("Window", "index.html#window") + "<UL>\n" +
                            Entry("Deep", "deep.html") + "</UL>\n</UL>\n" +
                            Entry("Opening", "opening.html") + "</UL>\n</BODY></HTML>\n";
    EXPECT_EQ(Shape(ParseSitemap(hhc)),
              "Help=index.html [Steps=index.html#steps Window=index.html#window [Deep=deep.html]] "
              "Opening=opening.html");
}

TEST(SitemapTest, EntitiesAreDecodedAndOnlySitemapObjectsOutsideCommentsAreEntries) {
    EXPECT_EQ(
        Shape(ParseSitemap("<ul>" + Entry("Forces &amp; moments &lt;N&gt; &#65;", "a&amp;b.html") +
                           "</ul>")),
        "Forces & moments <N> A=a&b.html");
    const std::string hhc =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<OBJECT type=\"text/site properties\">"
        "<param name=\"Name\" value=\"Not an entry\"></OBJECT>\n<UL>\n<!-- " +
        Entry("Commented out", "old.html") + " -->\n" + Entry("Kept", "kept.html") + "</UL>\n";
    EXPECT_EQ(Shape(ParseSitemap(hhc)), "Kept=kept.html");
}

TEST(SitemapTest, TextCutShortGivesWhatWasComplete) {
    const std::string whole =
        "<UL>" + Entry("First", "1.html") + Entry("Second", "2.html") + "</UL>";
    // Every cut, through tags and values alike, reads the entries closed before it.
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        const auto entries = ParseSitemap(whole.substr(0, cut));
        ASSERT_LE(entries.size(), 2u) << cut;
        if (!entries.empty()) {
            EXPECT_EQ(entries[0].Title, "First") << cut;
        }
    }
    EXPECT_TRUE(ParseSitemap("").empty());
    EXPECT_TRUE(ParseSitemap("<<<>>> < / > <ul").empty());
}

}  // namespace
}  // namespace vx::help
