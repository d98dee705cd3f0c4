// Our sheets opened by real spreadsheet programs: LibreOffice (headless) and SheetJS.
// Slow (LibreOffice takes seconds a file), so a few representative sheets only.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <sstream>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::Cell;
using Texts = std::vector<std::string>;

// Each representative sheet, written by voraxextract-cli and read by our strict reader,
// handed to `check` with the file.
void ForEachSheet(
    const std::function<void(const std::filesystem::path&, const std::vector<Cell>&)>& check) {
    auto ex = [](const char* name) { return (test::SourceDir() / "examples" / name).string(); };
    const std::pair<std::string, Texts> sheets[] = {
        {ex("dynamic3d.out"), {"--variable", "Displacements", "--vector", "DOF3", "--to", "10"}},
        {ex("dynamic3d.out"),
         {"--variable", "Beam Stresses", "--vector-index", "1", "--to", "12", "--columns"}},
        {ex("static2d.out"), {"--variable", "Beam Bending Moment", "--to", "4", "--columns"}},
        {ex("thermal.out"), {"--to", "12", "--step", "2"}},
    };
    test::TempDir dir;
    const auto out = dir.Path() / "sheet.xls";
    for (const auto& [listing, options] : sheets) {
        SCOPED_TRACE(listing + " " + options[1]);
        Texts args = {"export", listing, "-o", out.string(), "--quiet", "--all-steps"};
        args.insert(args.end(), options.begin(), options.end());
        auto run = test::RunCli(args);
        ASSERT_EQ(run.Status, 0) << run.Err;
        std::vector<Cell> ours;
        std::string error;
        ASSERT_TRUE(test::DumpCells(out, ours, error)) << error;
        check(out, ours);
    }
}

TEST(RealReaders, SheetJsReadsExactlyWhatOurStrictReaderReads) {
    if (!test::HaveXlsDump() || !test::HaveSheetJs()) GTEST_SKIP() << "xls-dump or SheetJS missing";
    ForEachSheet([](const std::filesystem::path& out, const std::vector<Cell>& ours) {
        std::vector<Cell> theirs;
        std::string error;
        ASSERT_TRUE(test::SheetJsCells(out, theirs, error)) << error;
        EXPECT_EQ(theirs, ours);
    });
}

TEST(RealReaders, LibreOfficeOpensOurSheetsWithTheRightValues) {
    if (!test::HaveXlsDump() || !test::HaveLibreOffice())
        GTEST_SKIP() << "xls-dump or LibreOffice missing";
    ForEachSheet([](const std::filesystem::path& out, const std::vector<Cell>& ours) {
        std::string csv, error;
        ASSERT_TRUE(test::LibreOfficeCsv(out, csv, error)) << error;
        // Lines split at commas outside quotes, quotes undone.
        std::vector<Texts> rows;
        std::istringstream in(csv);
        for (std::string line; std::getline(in, line);) {
            Texts& fields = rows.emplace_back(1);
            bool quoted = false;
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (line[i] == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"')
                    fields.back() += line[i++];
                else if (line[i] == '"')
                    quoted = !quoted;
                else if (line[i] == ',' && !quoted)
                    fields.emplace_back();
                else if (line[i] != '\r' || i + 1 != line.size())
                    fields.back() += line[i];
            }
        }
        for (const auto& cell : ours) {
            SCOPED_TRACE(std::to_string(cell.Row) + "," + std::to_string(cell.Col));
            ASSERT_LE(static_cast<std::size_t>(cell.Row), rows.size());
            const auto& row = rows[static_cast<std::size_t>(cell.Row - 1)];
            ASSERT_LE(static_cast<std::size_t>(cell.Col), row.size());
            const std::string& shown = row[static_cast<std::size_t>(cell.Col - 1)];
            if (cell.Type == "label") {
                EXPECT_EQ(shown, cell.Value);
                continue;
            }
            double expected = std::stod(cell.Value), actual = 0;
            auto [p, ec] = std::from_chars(shown.data(), shown.data() + shown.size(), actual);
            ASSERT_TRUE(ec == std::errc() && p == shown.data() + shown.size()) << shown;
            // LibreOffice prints at most 15 significant digits.
            EXPECT_NEAR(actual, expected, 1e-13 * std::max(1.0, std::fabs(expected)));
        }
    });
}

}  // namespace
}  // namespace vx
