#include "xlsx/XlsxFile.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <functional>
#include <limits>

#include "tests/support/Failures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Cell;
using test::TempDir;
using Texts = std::vector<std::string>;

// Plain names pass through as CliRequest's SeveralVectorKindsMakeOneSheetEach shows.
TEST(WorkbookSheetName, KeepsExcelsRules) {
    const struct {
        const char* Name;
        Texts Taken;
        const char* Given;
    } cases[] = {
        {"a[b]c:d*e?f/g\\h\tj", {}, "a_b_c_d_e_f_g_h_j"},
        {"'quoted'", {}, "_quoted_"},
        {"", {}, "Sheet"},
        {"1234567890123456789012345678901234567890", {}, "1234567890123456789012345678901"},
        {"N1", {"n1", "N1 (2)"}, "N1 (3)"},
        {"\xC9t\xE9", {"\xE9T\xC9"}, "\xC9t\xE9 (2)"},  // Latin-1 letters, case aside
        {"1234567890123456789012345678901",
         {"1234567890123456789012345678901"},
         "123456789012345678901234567 (2)"},
    };
    for (const auto& c : cases) EXPECT_EQ(WorkbookSheetName(c.Name, c.Taken), c.Given) << c.Name;
}

// A sheet's values as readers have them: WorksheetTest. Here what is the workbook's own:
// texts that readers would take for markup or escapes or cut short, a single as its
// shortest decimal and a double as libxlsxwriter prints it (16 digits), with a decimal
// point even where printf, which libxlsxwriter prints with, would write "0,1".
TEST(XlsxFile, ReadersHaveTheTextsAndNumbersAsWrittenInEveryLocale) {
    if (!test::HavePythonReaders()) GTEST_SKIP() << "openpyxl missing";
    TempDir dir;
    const auto locales = dir.Path() / "locales";
    fs::create_directory(locales);
    const bool german =
        test::Run("localedef -i de_DE -f UTF-8 " + test::Quote((locales / "de_DE.UTF-8").string()))
            .Status <= 1;
    ::setenv("LOCPATH", locales.c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (german) {
        ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
        EXPECT_EQ(*std::localeconv()->decimal_point, ',');
    }
    const auto path = dir.Path() / "cells.xlsx";
    const std::string nul("a\0b", 3);
    {
        XlsxFile file;
        file.Create(path.string());
        file.AddSheet("Values");
        file.Text(1, 1, "Latin-1 \xE9t\xE9 m\xB2 <&>");
        file.Text(1, 2, " leading and trailing ");
        file.Text(2, 1, "_x0041_ and _X00e9_");
        file.Text(2, 2, "bell\x07");
        file.Text(2, 3, nul);
        file.Number(3, 1, 0.1f);
        file.Number(3, 2, std::numeric_limits<float>::max());
        file.Number(3, 3, static_cast<double>(0.1f));
        file.Close();
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    for (const char* reader : {"openpyxl", "sheetjs"}) {
        if (std::string(reader) == "sheetjs" && !test::HaveSheetJs()) continue;
        std::vector<Cell> cells;
        std::string error;
        ASSERT_TRUE(test::ReaderCells(reader, path, cells, error)) << error;
        const bool stored = std::string(reader) == "openpyxl";  // shows the escapes as stored
        EXPECT_EQ(
            cells,
            (std::vector<Cell>{
                {1, 1, "label", "Latin-1 \xC3\xA9t\xC3\xA9 m\xC2\xB2 <&>"},
                {1, 2, "label", " leading and trailing "},
                {2, 1, "label", stored ? "_x005F_x0041_ and _x005F_X00e9_" : "_x0041_ and _X00e9_"},
                {2, 2, "label", stored ? "bell_x0007_" : "bell\x07"},
                {2, 3, "label", stored ? "a_x0000_b" : nul},
                {3, 1, "number", "0.1"},
                {3, 2, "number", "3.4028235e+38"},
                {3, 3, "number", "0.1000000014901161"}}))
            << reader;
    }
    if (!german) GTEST_SKIP() << "localedef cannot make de_DE.UTF-8 (Debian package locales)";
}

std::ptrdiff_t OpenDescriptors() {
    return std::distance(fs::directory_iterator("/proc/self/fd"), {});
}

// A sheet left empty keeps its temporary file through libxlsxwriter's closing of the
// workbook; a batch that writes thousands of workbooks must not run out of descriptors.
TEST(XlsxFile, ClosingLeavesNoFileOpen) {
    TempDir dir;
    const auto open = OpenDescriptors();
    XlsxFile file;
    file.Create((dir.Path() / "sheet.xlsx").string());
    file.AddSheet("Empty");
    file.AddSheet("Full");
    file.Number(1, 1, 1.0);
    file.AddSheet("Empty too");
    file.Close();
    EXPECT_EQ(OpenDescriptors(), open);
}

TEST(XlsxFile, RefusesWhatItCannotWriteAndLeavesNothingBehind) {
    const struct {
        const char* What;
        std::function<void(XlsxFile&)> Write;
        int Failure;
    } cases[] = {
        {"the same cell again", [](XlsxFile& f) { f.Text(2, 2, "x"); }, fail::InvalidCall},
        {"a row above", [](XlsxFile& f) { f.Text(1, 9, "x"); }, fail::InvalidCall},
        {"row 0", [](XlsxFile& f) { f.Text(0, 1, "x"); }, fail::Overflow},
        {"past the last row", [](XlsxFile& f) { f.Number(1048577, 1, 1.0f); }, fail::Overflow},
        {"past the last column", [](XlsxFile& f) { f.Text(3, 16385, "x"); }, fail::Overflow},
        {"a text too long", [](XlsxFile& f) { f.Text(3, 1, std::string(32768, 'x')); },
         fail::Overflow},
        {"not a number",
         [](XlsxFile& f) { f.Number(3, 1, std::numeric_limits<double>::infinity()); },
         fail::TypeMismatch},
    };
    TempDir dir;
    const auto path = dir.Write("sheet.xlsx", "the earlier sheet");
    const auto open = OpenDescriptors();
    for (const auto& c : cases) {
        XlsxFile file;
        file.Create(path.string());
        file.AddSheet("S");
        for (int row = 1; row <= 2; ++row) file.Number(row, 2, 1.0f);
        EXPECT_EQ(test::FailureOf([&] { c.Write(file); }), c.Failure) << c.What;
    }
    EXPECT_EQ(test::ReadBytes(path), "the earlier sheet");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
    EXPECT_EQ(OpenDescriptors(), open) << "a temporary file of an abandoned workbook is still open";
    EXPECT_EQ(test::FailureOf([] { XlsxFile().AddSheet("S"); }), fail::BadFileNameOrNumber);
}

}  // namespace
}  // namespace vx
