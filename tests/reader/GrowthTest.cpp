// A listing that grows while it is read: after every piece a writer appends (cut anywhere:
// inside a time line, between a block's header and its records, inside a number, between
// CR and LF), reading on from where the last reading stopped gives exactly the model a
// reading of the whole file gives, and reads little more than what was added; a listing
// that shrinks or is replaced is read again from the start.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "reader/Reader.h"
#include "tests/support/BytesRead.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The places where a writer's piece may end that a reader finds hardest.
std::vector<std::size_t> AwkwardCuts(const std::string& bytes) {
    std::set<std::size_t> cuts;
    for (std::size_t at = bytes.find("TIME ="); at != std::string::npos;
         at = bytes.find("TIME =", at + 1)) {
        cuts.insert(at + 3);                       // inside the time line's words
        cuts.insert(bytes.find('E', at + 8) + 2);  // inside its number
        const std::size_t end = bytes.find('\r', at);
        cuts.insert(end);      // before its line end
        cuts.insert(end + 1);  // between CR and LF
    }
    for (const char* header : {"TOTAL DISPLACEMENTS", "BEAM FORCES", "TEMPERATURE"}) {
        for (std::size_t at = bytes.find(header); at != std::string::npos;
             at = bytes.find(header, at + 1)) {
            const std::size_t end = bytes.find('\n', at);
            cuts.insert(end + 1);                    // between the header and its records
            cuts.insert(bytes.find("E-", end) + 1);  // inside a record's number
        }
    }
    for (std::size_t i = 1; i < 40; ++i) cuts.insert(bytes.size() * i / 40);
    cuts.insert(bytes.size());
    std::vector<std::size_t> sorted;
    for (std::size_t cut : cuts)
        if (cut > 0 && cut <= bytes.size()) sorted.push_back(cut);
    return sorted;
}

TEST(Growth, ReadingOnGivesWhatReadingTheWholeGives) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 7;
    const gen::ListingSpec specs[] = {spec, test::ThermalSpec(13, 7)};
    for (const auto& one : specs) {
        const auto whole = dir.Path() / "whole.out", growing = dir.Path() / "growing.out";
        test::Generate(one, whole);
        const std::string bytes = Bytes(whole);
        std::ofstream(growing, std::ios::binary).close();
        test::Scanned reading;
        reading.Open(growing);
        std::size_t written = 0, resumed = 0;
        for (std::size_t cut : AwkwardCuts(bytes)) {
            {
                std::ofstream out(growing, std::ios::binary | std::ios::app);
                out.write(bytes.data() + written, static_cast<std::streamsize>(cut - written));
            }
            const std::size_t added = cut - written;
            written = cut;
            test::FakeServices host;
            auto services = host.Get();
            const std::int64_t before = test::BytesRead();
            const Refreshed refreshed = RefreshOutputFile(reading.Model, services);
            const std::int64_t read = test::BytesRead() - before;
            test::Scanned full;
            full.Open(growing);
            SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(bytes.size()));
            EXPECT_EQ(reading.Model, full.Model);
            EXPECT_EQ(refreshed.Read.Notices, full.Read.Notices);
            EXPECT_FALSE(refreshed.Replaced);
            if (!refreshed.FromStart) {
                ++resumed;
                // The new bytes; the first 4 KiB looked at (before and after), the last
                // 8 KiB looked at for the last line, and that line read again.
                EXPECT_LE(read, static_cast<std::int64_t>(added) + 32768) << added;
            }
        }
        EXPECT_GT(resumed, 20u) << "most pieces are read on from where the last reading stopped";
        // Nothing added: nothing read again.
        test::FakeServices host;
        auto services = host.Get();
        const Refreshed still = RefreshOutputFile(reading.Model, services);
        EXPECT_EQ(still.NewSteps, 0);
        EXPECT_FALSE(still.FromStart);
    }
}

TEST(Growth, AListingThatShrinksOrIsReplacedIsReadAgain) {
    test::TempDir dir;
    const auto path = dir.Path() / "run.out";
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 6;
    test::Generate(spec, path);
    test::Scanned reading;
    reading.Open(path);
    test::FakeServices host;
    auto services = host.Get();

    // A rerun writes a new listing under the same name: fewer steps so far.
    spec.steps = 2;
    spec.seed = 5;
    test::Generate(spec, dir.Path() / "rerun.out");
    std::filesystem::rename(dir.Path() / "rerun.out", path);
    Refreshed refreshed = RefreshOutputFile(reading.Model, services);
    EXPECT_TRUE(refreshed.Replaced && refreshed.FromStart);
    EXPECT_EQ(refreshed.NewSteps, -4);
    test::Scanned full;
    full.Open(path);
    EXPECT_EQ(reading.Model, full.Model);

    // The same file written over in place, longer but with other first bytes.
    spec.steps = 8;
    spec.version = "9.9.9";
    std::string bytes;
    test::Generate(spec, dir.Path() / "other.out");
    bytes = Bytes(dir.Path() / "other.out");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    refreshed = RefreshOutputFile(reading.Model, services);
    EXPECT_TRUE(refreshed.Replaced);
    full.Open(path);
    EXPECT_EQ(reading.Model, full.Model);
    EXPECT_EQ(reading.Model.Version, "9.9.9");

    // Gone: the model stays as it was.
    std::filesystem::remove(path);
    const OutputFileModel kept = reading.Model;
    refreshed = RefreshOutputFile(reading.Model, services);
    EXPECT_TRUE(refreshed.Gone);
    EXPECT_EQ(reading.Model, kept);
}

}  // namespace
}  // namespace vx
