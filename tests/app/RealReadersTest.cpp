// Our sheets opened by real spreadsheet programs: LibreOffice (headless) and SheetJS.
// Slow (LibreOffice takes seconds a file), so a few representative sheets only.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <sstream>

#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::Cell;
using test::TempDir;

struct Sheet {
    std::string Listing;
    std::vector<std::string> Options;
};

std::vector<Sheet> Sheets() {
    auto ex = [](const char* name) { return (test::SourceDir() / "examples" / name).string(); };
    return {
        {ex("dynamic3d.out"), {"--variable", "Displacements", "--vector", "DOF3", "--to", "10", "--all-steps"}},
        {ex("dynamic3d.out"), {"--variable", "Beam Stresses", "--vector-index", "1", "--to", "12", "--all-steps", "--columns"}},
        {ex("static2d.out"), {"--variable", "Beam Bending Moment", "--to", "4", "--all-steps", "--columns"}},
        {ex("thermal.out"), {"--to", "12", "--step", "2", "--all-steps"}},
    };
}

bool WriteSheet(const Sheet& sheet, const std::filesystem::path& out, std::string& error) {
    std::vector<std::string> args = {"export", sheet.Listing, "-o", out.string(), "--quiet"};
    args.insert(args.end(), sheet.Options.begin(), sheet.Options.end());
    auto run = test::RunCli(args);
    error = run.Err;
    return run.Status == 0;
}

// A CSV line split at commas outside quotes, quotes undone.
std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') fields.back() += '"', ++i;
            else quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

TEST(RealReaders, SheetJsReadsExactlyWhatOurStrictReaderReads) {
    if (!test::HaveXlsDump() || !test::HaveSheetJs()) GTEST_SKIP() << "xls-dump or SheetJS missing";
    TempDir dir;
    for (const auto& sheet : Sheets()) {
        auto out = dir.Path() / "sheet.xls";
        std::string error;
        ASSERT_TRUE(WriteSheet(sheet, out, error)) << error;
        std::vector<Cell> ours, theirs;
        ASSERT_TRUE(test::DumpCells(out, ours, error)) << error;
        ASSERT_TRUE(test::SheetJsCells(out, theirs, error)) << error;
        EXPECT_EQ(theirs, ours) << sheet.Options[1];
    }
}

TEST(RealReaders, LibreOfficeOpensOurSheetsWithTheRightValues) {
    if (!test::HaveXlsDump() || !test::HaveLibreOffice()) GTEST_SKIP() << "xls-dump or LibreOffice missing";
    TempDir dir;
    for (const auto& sheet : Sheets()) {
        auto out = dir.Path() / "sheet.xls";
        std::string error, csv;
        ASSERT_TRUE(WriteSheet(sheet, out, error)) << error;
        std::vector<Cell> ours;
        ASSERT_TRUE(test::DumpCells(out, ours, error)) << error;
        ASSERT_TRUE(test::LibreOfficeCsv(out, csv, error)) << error;

        std::vector<std::vector<std::string>> rows;
        std::istringstream in(csv);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            rows.push_back(CsvFields(line));
        }
        for (const auto& cell : ours) {
            SCOPED_TRACE(std::to_string(cell.Row) + "," + std::to_string(cell.Col));
            ASSERT_LE(static_cast<std::size_t>(cell.Row), rows.size());
            const auto& row = rows[static_cast<std::size_t>(cell.Row - 1)];
            ASSERT_LE(static_cast<std::size_t>(cell.Col), row.size());
            const std::string& shown = row[static_cast<std::size_t>(cell.Col - 1)];
            if (cell.Type == "label") {
                EXPECT_EQ(shown, cell.Value);
            } else {
                double expected = std::stod(cell.Value), actual = 0;
                auto [p, ec] = std::from_chars(shown.data(), shown.data() + shown.size(), actual);
                ASSERT_TRUE(ec == std::errc() && p == shown.data() + shown.size()) << shown;
                // LibreOffice prints at most 15 significant digits.
                EXPECT_NEAR(actual, expected, 1e-13 * std::max(1.0, std::fabs(expected)));
            }
        }
    }
}

}  // namespace
}  // namespace vx
