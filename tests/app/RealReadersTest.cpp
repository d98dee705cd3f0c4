// Our sheets opened by real spreadsheet programs: LibreOffice (headless), SheetJS, and for
// the workbooks and CSV files pandas. Every reader must find in each format
// what our strict reader finds in the .xls of the same request, up to the .xls's rounding.
// Slow (LibreOffice takes seconds a file), so a few representative sheets only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

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
// against what a reader found: the same places, labels and types, and numbers that are
// the .xls's. `full`: the reader read the values in full, which the .xls's six-decimal
// rounding must turn into its numbers; else the .xls's numbers to the 15 significant
// digits LibreOffice shows.
void ExpectSameCells(const std::vector<Cell>& xls, const std::vector<Cell>& other, bool full,
                     const std::string& reader) {
    SCOPED_TRACE(reader);
    std::vector<Cell> expected;
    for (const auto& c : xls)
        if (!(c.Type == "label" && c.Value.empty())) expected.push_back(c);
    ASSERT_EQ(other.size(), expected.size());
    for (std::size_t i = 0; i < other.size(); ++i) {
        const Cell &e = expected[i], &o = other[i];
        ASSERT_EQ(std::tie(o.Row, o.Col, o.Type), std::tie(e.Row, e.Col, e.Type));
        if (e.Type == "label") {
            EXPECT_EQ(o.Value, e.Value);
            continue;
        }
        // In full, the reader's double is the one nearest the single's shortest decimal:
        // as a single again it is the value read from the listing.
        const double value = std::stod(e.Value);
        if (full)
            EXPECT_EQ(RoundToSixDecimals(std::stof(o.Value)), value) << o.Row << "," << o.Col;
        else
            EXPECT_NEAR(std::stod(o.Value), value, 1e-13 * std::max(1.0, std::fabs(value)));
    }
}

TEST(RealReaders, EveryReaderFindsTheXlsValuesInEveryFormat) {
    if (!test::HaveXlsDump() || !test::HavePythonReaders())
        GTEST_SKIP() << "xls-dump, openpyxl or pandas missing";
    const bool sheetjs = test::HaveSheetJs();
    ForEachSheet([&](const Written& w) {
        std::vector<Cell> cells;
        std::string error;
        if (sheetjs) {
            ASSERT_TRUE(test::SheetJsCells(w.Xls, cells, error)) << error;
            EXPECT_EQ(cells, w.Cells) << "SheetJS reads exactly what our strict reader reads";
        }
        // openpyxl and Python's csv module read every format in WorksheetTest.
        for (const auto& [reader, file] : {std::pair{"pandas-excel", w.Xlsx},
                                           {"sheetjs", w.Xlsx},
                                           {"pandas-csv", w.Csv},
                                           {"sheetjs", w.Csv}}) {
            if (std::string(reader) == "sheetjs" && !sheetjs) continue;
            ASSERT_TRUE(test::ReaderCells(reader, file, cells, error)) << error;
            ExpectSameCells(w.Cells, cells, true, std::string(reader) + " " + file.string());
        }
    });
}

// LibreOffice's CSV export of what it opened, read back as a CSV file.
void ExpectLibreOfficeShows(const std::vector<Cell>& xls, const std::string& csv, bool full) {
    test::TempDir dir;
    std::vector<Cell> cells;
    std::string error;
    ASSERT_TRUE(test::ReaderCells("csv", dir.Write("shown.csv", csv), cells, error)) << error;
    ExpectSameCells(xls, cells, full, "LibreOffice");
}

TEST(RealReaders, LibreOfficeOpensEveryFormatWithTheRightValues) {
    if (!test::HaveXlsDump() || !test::HaveLibreOffice() || !test::HavePythonReaders())
        GTEST_SKIP() << "xls-dump, LibreOffice or python3 missing";
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
