// A listing is only ever read: every reader opens it read-only, closes it before the
// operation returns, and leaves its bytes, size and times exactly as they were, whatever
// is exported from it and whatever goes wrong meanwhile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "export/VariableCatalogue.h"
#include "reader/LineReader.h"
#include "tests/reliability/Reliability.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Session;
using test::TempDir;
using Texts = std::vector<std::string>;

// The access mode of every descriptor of this process that refers to `file`.
std::vector<int> AccessModesOf(const fs::path& file) {
    std::vector<int> modes;
    const auto target = fs::canonical(file);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec) != target) continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        std::string key, value;
        while (info >> key >> value) {
            if (key == "flags:")
                modes.push_back(static_cast<int>(std::stol(value, nullptr, 8)) & O_ACCMODE);
        }
    }
    return modes;
}

TEST(ListingUntouched, OpenedReadOnlyWhileReadAndClosedAfterEveryOperation) {
    TempDir dir;
    const auto structural = test::Generate(test::EveryBlockSpec(3), dir.Path() / "dynamic.out");
    const auto thermal = test::Generate(test::ThermalSpec(12, 4), dir.Path() / "thermal.out");
    {
        LineReader in(structural);
        EXPECT_EQ(AccessModesOf(structural), std::vector<int>{O_RDONLY});
    }
    EXPECT_TRUE(AccessModesOf(structural).empty());

    // Inside every progress report of a scan and of an extraction, where the window runs
    // its events, the listing is open for reading only.
    for (const auto& [listing, variable] :
         {std::pair{structural, "Beam Stresses"}, std::pair{thermal, "Temperature"}}) {
        Session s;
        int seen = 0;
        s.Host.OnProgress = [&, file = listing](std::size_t) {
            for (int mode : AccessModesOf(file)) {
                EXPECT_EQ(mode, O_RDONLY);
                ++seen;
            }
        };
        s.Open(listing);
        EXPECT_TRUE(AccessModesOf(listing).empty()) << "still open after the scan";
        s.Export(s.Request(variable, 1, 12, {4, 1, 2}, dir.Path() / "out.xls"));
        EXPECT_TRUE(s.Messages().empty());
        EXPECT_TRUE(AccessModesOf(listing).empty()) << "still open after the export";
        EXPECT_GT(seen, 3) << listing;
    }

    // Failures close it too: a step beyond the end of a listing that shrank.
    Session s;
    s.Open(structural);
    fs::resize_file(structural, 2000);
    s.Export(s.Request("Displacements", 1, 13, {5}, dir.Path() / "out.xls"));
    EXPECT_EQ(s.Messages(), Texts{"62: Input past end of file"});
    EXPECT_TRUE(AccessModesOf(structural).empty());
}

TEST(ListingUntouched, EveryOperationLeavesTheListingAsItWas) {
    TempDir dir;
    auto cr = test::ThermalSpec(12, 4);
    cr.lineEnding = gen::LineEnding::CR;
    const fs::path sources[] = {test::SourceDir() / "examples" / "thermal.out",
                                test::SourceDir() / "examples" / "static2d.out",
                                test::SourceDir() / "examples" / "dynamic3d.out",
                                test::Generate(cr, dir.Path() / "source-cr.out")};
    for (const auto& source : sources) {
        const auto folder = dir.Path() / source.stem();
        fs::create_directory(folder);
        const auto listing = folder / source.filename();
        fs::copy_file(source, listing);
        test::Backdate(listing);
        // Read-only for everybody: an attempt to open it for writing would fail where
        // permissions count, and its mode must stay as it is.
        fs::permissions(listing,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const auto before = test::StateOf(listing);
        const auto out = folder / "out.xls";
        Texts allowed = {listing.filename().string(), "out.xls"};
        std::sort(allowed.begin(), allowed.end());

        Session s;
        s.Open(listing);
        EXPECT_TRUE(s.Messages().empty()) << listing;
        test::ExpectUnchanged(before, listing, "opening " + listing.string());
        for (const char* json : {"", "--json"}) {
            auto info = test::RunCli(*json ? Texts{"info", listing.string(), json}
                                           : Texts{"info", listing.string()});
            EXPECT_EQ(info.Status, 0) << info.Err;
            test::ExpectUnchanged(before, listing, std::string("info ") + json);
        }
        for (const auto& offered : OfferedVariables(s.Model)) {
            const int kinds = std::max<int>(1, static_cast<int>(offered.VectorKinds.size()));
            for (int k = 0; k < kinds; ++k) {
                const std::string what =
                    offered.Name + " #" + std::to_string(k) + " of " + listing.string();
                auto request = s.Request(offered.Name, 1, std::max<int>(1, offered.Bound), {}, out,
                                         k % 2 == 0);
                for (int i = s.Model.TimeCount; i >= 1; --i)
                    request.SelectedTimes.push_back(static_cast<std::int16_t>(i));
                if (!offered.VectorKinds.empty()) {
                    request.VectorKindIndex = static_cast<std::int16_t>(k);
                    request.VectorKind = offered.VectorKinds[static_cast<std::size_t>(k)];
                }
                s.Export(request);
                EXPECT_TRUE(s.Messages().empty()) << what << ": " << s.Messages()[0];
                test::ExpectUnchanged(before, listing, "export of " + what);
                Texts args = {"export",      listing.string(),
                              "-o",          out.string(),
                              "--variable",  offered.Name,
                              "--all-steps", k % 2 == 0 ? "--rows" : "--columns",
                              "--quiet"};
                if (offered.NeedsRange)
                    args.insert(args.end(), {"--to", std::to_string(offered.Bound)});
                if (!offered.VectorKinds.empty())
                    args.insert(args.end(), {"--vector-index", std::to_string(k)});
                auto run = test::RunCli(args);
                EXPECT_EQ(run.Status, 0) << what << ": " << run.Err;
                test::ExpectUnchanged(before, listing, "command-line export of " + what);
                EXPECT_EQ(test::FilesIn(folder), allowed) << what;
            }
        }
        // A request that fails half-way leaves it as it was too: the extraction stops at
        // the step that does not exist, the layout at its time.
        s.Export(s.Request(OfferedVariables(s.Model).front().Name, 1, 1, {1, 99}, out));
        EXPECT_EQ(s.Messages(), (Texts{"9: Subscript out of range", "Subscript out of range"}));
        test::ExpectUnchanged(before, listing, "a failed export");
        EXPECT_EQ(test::FilesIn(folder), allowed);
    }
}

}  // namespace
}  // namespace vx
