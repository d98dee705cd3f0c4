// The command-line tool on archived listings: every example compressed in each format
// prints the plain listing's summary and writes its sheets, tables and comparisons; a
// damaged archive is a listing that cannot be read: its message, then the refusal, nothing
// written.
#include <gtest/gtest.h>

#include "tests/support/Compress.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::Packing;

const char* const kExamples[] = {"dynamic3d.out", "static2d.out", "thermal.out"};

// What a command printed and wrote: status, both outputs (the listing's path made the
// same) and the sheet.
std::string Result(const test::CommandResult& run, const std::string& path,
                   const std::filesystem::path& sheet) {
    std::string err = run.Err;
    for (std::size_t at; (at = err.find(path)) != std::string::npos;)
        err.replace(at, path.size(), "LISTING");
    return std::to_string(run.Status) + "\n" + run.Out + "\n" + err + "\n" +
           (std::filesystem::exists(sheet) ? test::ReadBytes(sheet) : "(no sheet)");
}

TEST(CliCompressed, ArchivedListingsGiveTheListingsSummariesSheetsAndTables) {
    test::TempDir dir;
    for (const char* example : kExamples) {
        const std::string plain = test::Example(example);
        const std::string bytes = test::ReadBytes(plain);
        auto outputs = [&](const std::string& listing, const std::string& tag) {
            std::vector<std::string> got;
            const auto sheet = dir.Path() / (tag + ".xls"), csv = dir.Path() / (tag + ".csv");
            std::filesystem::remove(sheet);
            std::filesystem::remove(csv);
            got.push_back(Result(test::RunCli({"info", listing, "--json"}), listing, csv));
            got.push_back(Result(test::RunCli({"info", listing}), listing, csv));
            got.push_back(Result(test::RunCli({"export", listing, "-o", sheet.string(), "--quiet",
                                               "--all-steps", "--from", "1", "--to", "4"}),
                                 listing, sheet));
            got.push_back(Result(test::RunCli({"export", listing, "-o", csv.string(), "--all-steps",
                                               "--vector-index", "1", "--items", "1-3"}),
                                 listing, csv));
            std::filesystem::remove(sheet);
            got.push_back(Result(test::RunCli({"peaks", listing, "--all-vectors", "--json"}),
                                 listing, sheet));
            got.push_back(Result(test::RunCli({"compare", plain, listing}), listing, sheet));
            return got;
        };
        const auto expected = outputs(plain, "plain");
        for (Packing packing : test::EveryPacking()) {
            SCOPED_TRACE(std::string(example) + ", " + std::string(test::NameOf(packing)));
            const auto packed =
                dir.Write(std::string(example) + ".packed", test::Pack(bytes, packing));
            const auto got = outputs(packed.string(), "packed");
            ASSERT_EQ(got.size(), expected.size());
            for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << i;
        }
    }
}

TEST(CliCompressed, ADamagedArchiveIsAMessageAndNothingIsWritten) {
    test::TempDir dir;
    std::string packed = test::Pack(test::ReadBytes(test::Example("dynamic3d.out")), Packing::Gzip);
    packed[packed.size() - 6] ^= 0x40;  // its data check
    const auto listing = dir.Write("run12.out.gz", packed);
    const auto sheet = dir.Path() / "run12.xls";
    const auto run = test::RunCli({"export", listing.string(), "-o", sheet.string(), "--all-steps",
                                   "--from", "1", "--to", "2"});
    EXPECT_EQ(run.Err,
              "Read File Error 57: The compressed listing is damaged (gzip: incorrect data check)\n"
              "voraxextract-cli export: the listing offers no variable to export\n");
    EXPECT_EQ(run.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(sheet));
    EXPECT_EQ(test::ReadBytes(listing), packed) << "the archive is left as it was";
}

}  // namespace
}  // namespace vx
