// The help file as the build leaves it: opened with the viewer's own archive reader,
// its contents, index, pages, links and pictures checked against the pages in help/.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "desktop/help/ChmArchive.h"
#include "desktop/help/HelpLinks.h"
#include "tests/support/TempDir.h"

namespace vx::help {
namespace {

namespace fs = std::filesystem;

const fs::path kHelpFile = VX_HELP_FILE;
const fs::path kSourceDir = VX_HELP_SOURCE_DIR;

// What the project compiles into the archive, keyed by archive path ("/images/a.png").
std::map<std::string, fs::path> SourceFiles(const std::set<std::string>& extensions) {
    std::map<std::string, fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(kSourceDir))
        if (entry.is_regular_file() && extensions.count(entry.path().extension().string()))
            files["/" + entry.path().lexically_relative(kSourceDir).generic_string()] =
                entry.path();
    return files;
}

std::string TitleOf(const std::string& html) {
    static const std::regex kTitle(R"(<title>([^<]*)</title>)", std::regex::icase);
    std::smatch title;
    return std::regex_search(html, title, kTitle) ? title[1].str() : std::string();
}

void Flatten(const std::vector<TocEntry>& entries, std::vector<TocEntry>& out) {
    for (const auto& entry : entries) {
        out.push_back({entry.Title, entry.Local, {}});
        Flatten(entry.Children, out);
    }
}

const ChmArchive& Archive() {
    static const ChmArchive archive(kHelpFile.string());
    return archive;
}

// Whether `local` ("/page.html#anchor") names an object of the archive and, when it
// has an anchor, a page that defines it.
::testing::AssertionResult Leads(const std::string& local) {
    const auto [object, anchor] = SplitAnchor(local);
    if (!Archive().Contains(object))
        return ::testing::AssertionFailure() << object << " is not in the archive";
    const std::string html = anchor.empty() ? std::string() : Archive().Read(object);
    if (!anchor.empty() && html.find("id=\"" + anchor + "\"") == std::string::npos &&
        html.find("name=\"" + anchor + "\"") == std::string::npos)
        return ::testing::AssertionFailure() << object << " defines no anchor " << anchor;
    return ::testing::AssertionSuccess();
}

// The start page the header names is where the help window opens (HelpWindowTest).
TEST(HelpFileTest, CarriesEverySourceFileByteForByteAndWritesTextInAscii) {
    const auto files = SourceFiles({".html", ".css", ".png", ".hhc", ".hhk", ".hhp"});
    ASSERT_GE(files.size(), 15u);
    const auto objects = Archive().Objects();
    for (const auto& [object, source] : files) {
        SCOPED_TRACE(object);
        const std::string bytes = test::ReadBytes(source);
        if (source.extension() != ".png") {
            auto wide =
                std::find_if(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
            EXPECT_EQ(wide, bytes.end())
                << "byte " << (wide - bytes.begin()) << " is not ASCII; write an entity";
        }
        if (source.extension() == ".html") {
            EXPECT_NE(bytes.find("charset=iso-8859-1"), std::string::npos)
                << "no character set declared";
        }
        if (source.extension() == ".hhp") continue;  // the project file is compiled, not carried
        EXPECT_NE(std::find(objects.begin(), objects.end(), object), objects.end()) << "not listed";
        ASSERT_TRUE(Archive().Contains(object));
        // Pages and pictures lie in compressed blocks of their own size; a reader that
        // stops early or reads across a block wrongly shows here.
        EXPECT_EQ(Archive().Read(object), bytes);
    }
    EXPECT_FALSE(Archive().Contains("/no-such-page.html")) << "else no link below could fail";
}

// The big-endian word at `at` of a PNG: width 16 and height 20, in the IHDR chunk that
// follows the 8-byte signature.
std::string PngWord(const std::string& png, std::size_t at) {
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(png.at(at + i));
    return std::to_string(value);
}

// Every way into a page leads to an object of the archive, and to an anchor that page
// defines: the contents, the index, and the links and pictures of the pages.
TEST(HelpFileTest, EveryEntryLinkAndPictureLeadsInsideTheArchive) {
    const auto top = Archive().TableOfContents();
    ASSERT_FALSE(top.empty());
    EXPECT_EQ(top.front().Local, "/index.html") << "the contents page heads the contents";
    std::vector<TocEntry> entries;
    Flatten(top, entries);
    std::set<std::string> listed, written;
    for (const auto& entry : entries) {
        SCOPED_TRACE(entry.Title);
        EXPECT_FALSE(entry.Title.empty());
        ASSERT_TRUE(Leads(entry.Local));
        const auto [object, anchor] = SplitAnchor(entry.Local);
        if (!anchor.empty()) continue;
        EXPECT_TRUE(listed.insert(object).second) << object << " stands more than once";
        EXPECT_EQ(entry.Title, TitleOf(Archive().Read(object))) << "the page's own title differs";
    }

    std::vector<TocEntry> index;
    Flatten(ParseSitemap(Archive().Read("/VoraxExtract.hhk")), index);
    ASSERT_GE(index.size(), 40u);
    for (const auto& entry : index) {
        auto local = ResolveLink("/VoraxExtract.hhk", entry.Local);
        ASSERT_TRUE(local) << "index: " << entry.Title;
        EXPECT_TRUE(Leads(*local)) << "index: " << entry.Title;
    }

    // A stale width or height stretches the picture: every <img> states src, width and
    // height, in that order, and the size is the PNG's own.
    static const std::regex kImage(R"re(<img\s+src="([^"]*)"\s+width="(\d+)"\s+height="(\d+)")re");
    // Every href and src of a page: links, the style sheet and the pictures.
    static const std::regex kLink(R"re(\b(?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
    std::set<std::string> used;
    int images = 0;
    for (const auto& [page, source] : SourceFiles({".html"})) {
        written.insert(page);
        const std::string html = Archive().Read(page);
        for (std::sregex_iterator it(html.begin(), html.end(), kLink), end; it != end; ++it) {
            const std::string link = (*it)[1].str();
            SCOPED_TRACE(page + " -> " + link);
            auto local = ResolveLink(page, link);
            ASSERT_TRUE(local) << "the help links only into itself";
            EXPECT_TRUE(Leads(*local));
            used.insert(SplitAnchor(*local).Object);
        }
        int tags = 0;
        for (auto at = html.find("<img"); at != std::string::npos; at = html.find("<img", at + 1))
            ++tags;
        for (std::sregex_iterator it(html.begin(), html.end(), kImage), end; it != end;
             ++it, ++images, --tags) {
            SCOPED_TRACE(page + ": " + it->str());
            const std::string png = Archive().Read(*ResolveLink(page, (*it)[1].str()));
            EXPECT_EQ((*it)[2].str(), PngWord(png, 16));
            EXPECT_EQ((*it)[3].str(), PngWord(png, 20));
        }
        EXPECT_EQ(tags, 0) << page << ": an <img> without src, width and height in that order";
    }
    EXPECT_EQ(listed, written) << "every page in help/ has one entry and every entry a page";
    EXPECT_GE(images, 2);
    // Nothing carried for nothing: every style sheet and picture is used by some page.
    for (const auto& [object, source] : SourceFiles({".css", ".png"}))
        EXPECT_TRUE(used.count(object)) << object << " is used by no page";
}

TEST(ChmArchiveTest, FailuresNameTheFileAndTheReason) {
    test::TempDir dir;
    auto reason = [](const fs::path& path) -> std::string {
        try {
            ChmArchive archive(path.string());
        } catch (const ChmError& failure) {
            EXPECT_EQ(failure.File(), path.string());
            EXPECT_EQ(std::string(failure.what()), path.string() + ": " + failure.Reason());
            return failure.Reason();
        }
        return "opened";
    };
    // A missing file: HelpFileThatCannotBeOpenedIsReportedNotShown (HelpWindowTest).
    EXPECT_EQ(reason(dir.Path()), "it is a folder");
    EXPECT_EQ(reason(dir.Write("VoraxExtract.chm", "<html>not compiled</html>")),
              "it is not a compiled HTML help file");
    // A help file cut short, as by an interrupted copy: chmlib alone would hand back
    // garbage for the pages beyond the cut.
    const std::string whole = test::ReadBytes(kHelpFile);
    for (std::size_t size :
         {std::size_t{0x60}, whole.size() / 3, whole.size() / 2, whole.size() - 1}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(reason(dir.Write("cut.chm", whole.substr(0, size))),
                  "it is damaged: it ends before its contents do");
    }
    EXPECT_EQ(reason(dir.Write("whole.chm", whole)), "opened");
}

}  // namespace
}  // namespace vx::help
