// Our sheets opened by real spreadsheet programs: LibreOffice (headless), SheetJS, and for
// the workbooks and CSV files openpyxl and pandas. Every reader must find in each format
// what our strict reader finds in the .xls of the same request, up to the .xls's rounding.
// Slow (LibreOffice takes seconds a file), so a few representative sheets only.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <sstream>

#include "biff/ExcelFile.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::Cell;
using Texts = std::vector<std::string>;

// One request written as .xls, .xlsx and .csv by voraxextract-cli, and the cells our
// strict reader finds in the .xls.
struct Written {
    int Index = 0;  // its place in the list below
    std::string What;
    std::filesystem::path Xls, Xlsx, Csv;
    std::vector<Cell> Cells;
};

// Each representative sheet: every example, and the whole field of a generated listing.
void ForEachSheet(const std::function<void(const Written&)>& check) {
    test::TempDir dir;
    auto ex = [](const char* name) { return (test::SourceDir() / "examples" / name).string(); };
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 300;
    spec.steps = 40;
    const auto generated = test::Generate(spec, dir.Path() / "field.out");
    const std::pair<std::string, Texts> sheets[] = {
        {ex("dynamic3d.out"), {"--variable", "Displacements", "--vector", "DOF3", "--to", "10"}},
        {ex("dynamic3d.out"),
         {"--variable", "Beam Stresses", "--vector-index", "1", "--to", "12", "--columns"}},
        {ex("static2d.out"), {"--variable", "Beam Bending Moment", "--to", "4", "--columns"}},
        {ex("thermal.out"), {"--to", "12", "--step", "2"}},
        {generated, {"--variable", "Displacements", "--to", "300", "--columns"}},
    };
    int index = 0;
    for (const auto& [listing, options] : sheets) {
        Written w;
        w.Index = index++;
        w.What = listing + " " + options[1];
        SCOPED_TRACE(w.What);
        w.Xls = dir.Path() / "sheet.xls";
        w.Xlsx = dir.Path() / "sheet.xlsx";
        w.Csv = dir.Path() / "sheet.csv";
        for (const auto& out : {w.Xls, w.Xlsx, w.Csv}) {
            Texts args = {"export", listing, "-o", out.string(), "--quiet", "--all-steps"};
            args.insert(args.end(), options.begin(), options.end());
            auto run = test::RunCli(args);
            ASSERT_EQ(run.Status, 0) << run.Err;
        }
        std::string error;
        ASSERT_TRUE(test::DumpCells(w.Xls, w.Cells, error)) << error;
        check(w);
    }
}

// What the .xls holds, the empty labels left out (the other formats have no cell there),
// against what a reader found in another format: the same places, labels and types, and
// numbers that the .xls's six-decimal rounding turns into the .xls's numbers.
void ExpectSameUpToRounding(const std::vector<Cell>& xls, const std::vector<Cell>& other,
                            const std::string& reader) {
    std::vector<Cell> expected;
    for (const auto& c : xls)
        if (!(c.Type == "label" && c.Value.empty())) expected.push_back(c);
    ASSERT_EQ(other.size(), expected.size()) << reader;
    for (std::size_t i = 0; i < other.size(); ++i) {
        const Cell &e = expected[i], &o = other[i];
        ASSERT_EQ(std::tie(o.Row, o.Col, o.Type), std::tie(e.Row, e.Col, e.Type)) << reader;
        if (e.Type == "label") {
            EXPECT_EQ(o.Value, e.Value) << reader;
        } else {
            // The reader's double is the one nearest the single's shortest decimal: as a
            // single again it is the value read from the listing.
            EXPECT_EQ(RoundToSixDecimals(std::stof(o.Value)), std::stod(e.Value))
                << reader << " (" << o.Row << "," << o.Col << ") " << o.Value;
        }
    }
}

TEST(RealReaders, EveryReaderFindsTheXlsValuesInTheWorkbookAndTheCsv) {
    if (!test::HaveXlsDump() || !test::HavePythonReaders())
        GTEST_SKIP() << "xls-dump, openpyxl or pandas missing";
    const bool sheetjs = test::HaveSheetJs();
    ForEachSheet([&](const Written& w) {
        for (const auto& [reader, file] : {std::pair{"openpyxl", w.Xlsx},
                                           {"pandas-excel", w.Xlsx},
                                           {"sheetjs", w.Xlsx},
                                           {"csv", w.Csv},
                                           {"pandas-csv", w.Csv},
                                           {"sheetjs", w.Csv}}) {
            if (std::string(reader) == "sheetjs" && !sheetjs) continue;
            std::vector<Cell> cells;
            std::string error;
            ASSERT_TRUE(test::ReaderCells(reader, file, cells, error)) << error;
            ExpectSameUpToRounding(w.Cells, cells, std::string(reader) + " " + file.string());
        }
    });
}

TEST(RealReaders, SheetJsReadsExactlyWhatOurStrictReaderReads) {
    if (!test::HaveXlsDump() || !test::HaveSheetJs()) GTEST_SKIP() << "xls-dump or SheetJS missing";
    ForEachSheet([](const Written& w) {
        std::vector<Cell> theirs;
        std::string error;
        ASSERT_TRUE(test::SheetJsCells(w.Xls, theirs, error)) << error;
        EXPECT_EQ(theirs, w.Cells);
    });
}

// Lines split at commas outside quotes, quotes undone.
std::vector<Texts> SplitCsv(const std::string& csv) {
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
    return rows;
}

// LibreOffice shows at most 15 significant digits: the .xls's numbers to that precision,
// the others' to what separates a single from its neighbours.
void ExpectLibreOfficeShows(const std::vector<Cell>& xls, const std::string& csv, bool full) {
    const auto rows = SplitCsv(csv);
    for (const auto& cell : xls) {
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
        if (full)
            EXPECT_EQ(RoundToSixDecimals(static_cast<float>(actual)), expected) << shown;
        else
            EXPECT_NEAR(actual, expected, 1e-13 * std::max(1.0, std::fabs(expected)));
    }
}

TEST(RealReaders, LibreOfficeOpensEveryFormatWithTheRightValues) {
    if (!test::HaveXlsDump() || !test::HaveLibreOffice())
        GTEST_SKIP() << "xls-dump or LibreOffice missing";
    const auto tool = test::SourceDir() / "tests" / "support" / "sheet-libreoffice";
    ForEachSheet([&](const Written& w) {
        std::string csv, error;
        ASSERT_TRUE(test::LibreOfficeCsv(w.Xls, csv, error)) << error;
        ExpectLibreOfficeShows(w.Cells, csv, false);
        // The other formats of the first sheet and the whole field: LibreOffice takes
        // seconds a file.
        if (w.Index != 0 && w.Index != 4) return;
        for (const auto& file : {w.Xlsx, w.Csv}) {
            auto run = test::Run(test::Quote(tool.string()) + " " + test::Quote(file.string()));
            ASSERT_EQ(run.Status, 0) << run.Err;
            ExpectLibreOfficeShows(w.Cells, run.Out, true);
        }
    });
}

}  // namespace
}  // namespace vx
