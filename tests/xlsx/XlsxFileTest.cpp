#include "xlsx/XlsxFile.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/Failure.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Cell;
using test::TempDir;
using Texts = std::vector<std::string>;

TEST(WorkbookSheetName, KeepsExcelsRules) {
    const struct {
        const char* Name;
        Texts Taken;
        const char* Given;
    } cases[] = {
        {"DOF1", {}, "DOF1"},
        {"Beam    2 (Point  1)", {}, "Beam    2 (Point  1)"},
        {"a[b]c:d*e?f/g\\h", {}, "a_b_c_d_e_f_g_h"},
        {"tab\there", {}, "tab_here"},
        {"'quoted'", {}, "_quoted_"},
        {"", {}, "Sheet"},
        {"1234567890123456789012345678901234567890", {}, "1234567890123456789012345678901"},
        {"N1", {"n1"}, "N1 (2)"},
        {"N1", {"N1", "N1 (2)"}, "N1 (3)"},
        {"\xC9t\xE9", {"\xE9T\xC9"}, "\xC9t\xE9 (2)"},  // Latin-1 letters, case aside
        {"1234567890123456789012345678901",
         {"1234567890123456789012345678901"},
         "123456789012345678901234567 (2)"},
    };
    for (const auto& c : cases) EXPECT_EQ(WorkbookSheetName(c.Name, c.Taken), c.Given) << c.Name;
}

// A cell written and what a reader has of it.
struct Written {
    std::int32_t Row, Col;
    std::string Text;  // a text cell when Number is NaN
    double Number = std::numeric_limits<double>::quiet_NaN();
    bool Single = true;
};

void Put(XlsxFile& file, const Written& w) {
    if (!std::isnan(w.Number)) {
        if (w.Single)
            file.Number(w.Row, w.Col, static_cast<float>(w.Number));
        else
            file.Number(w.Row, w.Col, w.Number);
    } else {
        file.Text(w.Row, w.Col, w.Text);
    }
}

const std::vector<Written>& Cells() {
    static const std::vector<Written> cells = {
        {1, 1, "Latin-1 \xE9t\xE9 m\xB2 <&>"},
        {1, 3, " leading and trailing "},
        {2, 2, "", 0.1},  // the single 0.1f: the double nearest to "0.1"
        {2, 3, "", 1.234e-7},
        {2, 5, "", std::numeric_limits<float>::max()},
        {2, 6, "", 0.1f, false},  // a double: libxlsxwriter keeps 16 digits of it
        {4, 1, "", 9.1},
    };
    return cells;
}

const std::vector<Cell>& Expected() {
    static const std::vector<Cell> cells = {
        {1, 1, "label", "Latin-1 \xC3\xA9t\xC3\xA9 m\xC2\xB2 <&>"},
        {1, 3, "label", " leading and trailing "},
        {2, 2, "number", "0.1"},
        {2, 3, "number", "1.234e-07"},
        {2, 5, "number", "3.4028235e+38"},
        {2, 6, "number", "0.1000000014901161"},
        {4, 1, "number", "9.1"},
    };
    return cells;
}

void WriteCells(const fs::path& path, const std::vector<Written>& cells) {
    XlsxFile file;
    file.Create(path.string());
    file.AddSheet("Values");
    for (const auto& w : cells) Put(file, w);
    file.Close();
}

TEST(XlsxFile, ReadersHaveTheTextsAndTheShortestDecimalsOfTheSingles) {
    if (!test::HavePythonReaders()) GTEST_SKIP() << "openpyxl missing";
    TempDir dir;
    const auto path = dir.Path() / "cells.xlsx";
    WriteCells(path, Cells());
    for (const char* reader : {"openpyxl", "sheetjs"}) {
        if (std::string(reader) == "sheetjs" && !test::HaveSheetJs()) continue;
        std::vector<Cell> cells;
        std::string error;
        ASSERT_TRUE(test::ReaderCells(reader, path, cells, error)) << error;
        EXPECT_EQ(cells, Expected()) << reader;
    }
}

// Texts that readers would otherwise take for escapes or cut short.
TEST(XlsxFile, TextsThatLookLikeEscapesStayAsTheyAre) {
    if (!test::HaveSheetJs()) GTEST_SKIP() << "SheetJS missing";
    TempDir dir;
    const auto path = dir.Path() / "texts.xlsx";
    const std::string nul("a\0b", 3);
    WriteCells(path, {{1, 1, "_x0041_ and _X00e9_"}, {1, 2, "bell\x07"}, {1, 3, nul}});
    std::vector<Cell> cells;
    std::string error;
    ASSERT_TRUE(test::ReaderCells("sheetjs", path, cells, error)) << error;
    EXPECT_EQ(cells, (std::vector<Cell>{{1, 1, "label", "_x0041_ and _X00e9_"},
                                        {1, 2, "label", "bell\x07"},
                                        {1, 3, "label", nul}}));
}

// printf, which libxlsxwriter writes numbers with, follows LC_NUMERIC: a window in a
// German session would otherwise write "0,1".
TEST(XlsxFile, NumbersHaveADecimalPointInEveryLocale) {
    if (!test::HavePythonReaders()) GTEST_SKIP() << "openpyxl missing";
    TempDir dir;
    const auto locales = dir.Path() / "locales";
    fs::create_directory(locales);
    if (test::Run("localedef -i de_DE -f UTF-8 " + test::Quote((locales / "de_DE.UTF-8").string()))
            .Status > 1)
        GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 (Debian package locales)";
    ::setenv("LOCPATH", locales.c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    const auto path = dir.Path() / "de.xlsx";
    WriteCells(path, Cells());
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    std::vector<Cell> cells;
    std::string error;
    ASSERT_TRUE(test::ReaderCells("openpyxl", path, cells, error)) << error;
    EXPECT_EQ(cells, Expected());
}

TEST(XlsxFile, RefusesWhatItCannotWriteAndLeavesNothingBehind) {
    const struct {
        const char* What;
        Written Cell;
        int Failure;
    } cases[] = {
        {"the same cell again", {2, 2, "x"}, fail::InvalidCall},
        {"a row above", {1, 9, "x"}, fail::InvalidCall},
        {"row 0", {0, 1, "x"}, fail::Overflow},
        {"past the last row", {1048577, 1, "x"}, fail::Overflow},
        {"past the last column", {3, 16385, "x"}, fail::Overflow},
        {"a text too long", {3, 1, std::string(32768, 'x')}, fail::Overflow},
        {"not a number",
         {3, 1, "", std::numeric_limits<double>::infinity(), false},
         fail::TypeMismatch},
    };
    TempDir dir;
    const auto path = dir.Write("sheet.xlsx", "the earlier sheet");
    auto descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto open = descriptors();
    for (const auto& c : cases) {
        XlsxFile file;
        file.Create(path.string());
        file.AddSheet("S");
        for (int row = 1; row <= 2; ++row) file.Number(row, 2, 1.0f);
        try {
            Put(file, c.Cell);
            ADD_FAILURE() << c.What << " was written";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), c.Failure) << c.What;
        }
    }
    EXPECT_EQ(test::ReadBytes(path), "the earlier sheet");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
    EXPECT_EQ(descriptors(), open) << "a temporary file of an abandoned workbook is still open";
    XlsxFile unopened;
    EXPECT_THROW(unopened.AddSheet("S"), Failure);
}

}  // namespace
}  // namespace vx
