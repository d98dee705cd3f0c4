// Reading of contents and index files (the sitemap format) and of the links of pages,
// on the forms help projects write, ours and those of other compilers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/help/ChmArchive.h"

namespace vx::help {
namespace {

std::string Entry(std::string_view name, std::string_view local) {
    std::string out = R"(<LI><OBJECT type="text/sitemap"><param name="Name" value=")";
    out += name;
    out += '"';
    out += '>';
    if (!local.empty()) {
        out += R"(<param name="Local" value=")";
        out += local;
        out += "\">";
    }
    return out + "</OBJECT>\n";
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

TEST(SitemapTest, TagsAttributesAndQuotingAsOtherCompilersWriteThem) {
    // Lower-case tags, upper-case attribute names, single quotes, unquoted values,
    // blanks around '=' and around the values.
    const std::string hhc =
        "<ul><li><object TYPE='text/sitemap'><PARAM NAME=Name VALUE=Alpha>"
        "<param name = \"LOCAL\" value = ' a.html '></object>"
        "<li> <object type=\"TEXT/SITEMAP\"><param name=\"Name\" value=\"Beta\"/>"
        "<param name=\"Local\" value=\"b.html\"/></object></ul>";
    EXPECT_EQ(Shape(ParseSitemap(hhc)), "Alpha=a.html Beta=b.html");
}

TEST(SitemapTest, EntitiesInValuesAreDecoded) {
    const auto entries = ParseSitemap(
        "<ul>" + Entry("Forces &amp; moments &lt;N&gt; &#65;&#x42; &quot;q&quot;", "a&amp;b.html") +
        "</ul>");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Title, "Forces & moments <N> AB \"q\"");
    EXPECT_EQ(entries[0].Local, "a&b.html");
    // A reference beyond one byte cannot be written in a single-byte text.
    EXPECT_EQ(ParseSitemap("<ul>" + Entry("x&#8364;y &unknown; &", "") + "</ul>")[0].Title,
              "x?y &unknown; &");
}

TEST(SitemapTest, OnlySitemapObjectsOutsideCommentsAreEntries) {
    const std::string hhc =
        "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n"
        "<OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"Not an "
        "entry\"></OBJECT>\n"
        "<UL>\n<!-- " +
        Entry("Commented out", "old.html") + " -->\n" + Entry("Kept", "kept.html") + "</UL>\n";
    EXPECT_EQ(Shape(ParseSitemap(hhc)), "Kept=kept.html");
}

TEST(SitemapTest, IndexEntriesKeepTheirFirstNameAndPage) {
    // Keyword indexes give one keyword several pages, each with its own name.
    const std::string hhk =
        "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Save\">"
        "<param name=\"Name\" value=\"Saving\"><param name=\"Local\" value=\"saving.html\">"
        "<param name=\"Local\" value=\"range.html#save\"></OBJECT></UL>";
    EXPECT_EQ(Shape(ParseSitemap(hhk)), "Save=saving.html");
}

TEST(SitemapTest, HeadingsWithoutPagesAndStrayListsAreKept) {
    // A heading that opens nothing.
    EXPECT_EQ(Shape(ParseSitemap("<UL>" + Entry("Heading", "") + "<UL>" + Entry("Under", "u.html") +
                                 "</UL></UL>")),
              "Heading= [Under=u.html]");
    // A list that follows no entry continues the list it stands in.
    EXPECT_EQ(Shape(ParseSitemap("<UL><UL>" + Entry("Stray", "s.html") + "</UL>" +
                                 Entry("After", "a.html") + "</UL>")),
              "Stray=s.html After=a.html");
    // Entries before any list, and after the lists are closed, are top-level entries.
    EXPECT_EQ(
        Shape(ParseSitemap(Entry("Before", "b.html") + "<UL></UL></UL>" + Entry("Late", "l.html"))),
        "Before=b.html Late=l.html");
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

TEST(ResolveLinkTest, RelativeLinksResolveAgainstThePagesFolder) {
    EXPECT_EQ(ResolveLink("/index.html", "opening.html"), "/opening.html");
    EXPECT_EQ(ResolveLink("/index.html", "images/sheet-rows.png"), "/images/sheet-rows.png");
    EXPECT_EQ(ResolveLink("/guide/part/page.html", "../other.html#x"), "/guide/other.html#x");
    EXPECT_EQ(ResolveLink("/guide/page.html", "./a/./b.html"), "/guide/a/b.html");
    EXPECT_EQ(ResolveLink("/page.html", "../../above.html"), "/above.html")
        << "the root has no parent";
    EXPECT_EQ(ResolveLink("/guide/page.html", "/top.html"), "/top.html");
    EXPECT_EQ(ResolveLink("/VoraxExtract.hhc", "index.html"), "/index.html");
    EXPECT_EQ(ResolveLink("/VoraxExtract.hhc", " saving.html#limits "), "/saving.html#limits");
}

TEST(ResolveLinkTest, AnchorsQueriesAndEscapes) {
    EXPECT_EQ(ResolveLink("/guide/page.html#old", "#top"), "/guide/page.html#top");
    EXPECT_EQ(ResolveLink("/page.html", "other.html?x=1#a"), "/other.html#a");
    EXPECT_EQ(ResolveLink("/page.html", "my%20page.html"), "/my page.html");
    EXPECT_EQ(ResolveLink("/page.html", "images\\pic.png"), "/images/pic.png") << "made on Windows";
}

TEST(ResolveLinkTest, HelpFileUrlsPointInsideAndOtherSchemesOutside) {
    EXPECT_EQ(ResolveLink("/page.html", "ms-its:VoraxExtract.chm::/saving.html#limits"),
              "/saving.html#limits");
    EXPECT_EQ(
        ResolveLink("/page.html", "mk:@MSITStore:C:\\Program Files\\VoraxExtract.chm::/cli.html"),
        "/cli.html");
    EXPECT_FALSE(ResolveLink("/page.html", "http://example.org/vorax.html"));
    EXPECT_FALSE(ResolveLink("/page.html", "mailto:support@example.org"));
    EXPECT_FALSE(ResolveLink("/page.html", ""));
    EXPECT_FALSE(ResolveLink("/page.html", "   "));
}

}  // namespace
}  // namespace vx::help
