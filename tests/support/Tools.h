#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace vx::test {

struct CommandResult {
    int Status = -1;  // exit status, or -1 when the command could not run
    std::string Out;
    std::string Err;
};

// Runs a shell command line and collects its exit status and both outputs.
CommandResult Run(const std::string& commandLine);
std::string Quote(const std::string& argument);

// voraxextract-cli, as built with the tests.
std::filesystem::path CliPath();
CommandResult RunCli(const std::vector<std::string>& args);

// The lines of a text, without their CR or LF.
std::vector<std::string> LinesOf(const std::string& text);

// One cell as the spreadsheet checking tools print it.
struct Cell {
    int Row = 0;
    int Col = 0;
    std::string Type;   // label, number, integer
    std::string Value;  // the tools' text: labels escaped, numbers as Python's repr
    bool operator==(const Cell&) const = default;
};
inline void PrintTo(const Cell& c, std::ostream* os) {
    *os << "(" << c.Row << "," << c.Col << " " << c.Type << " \"" << c.Value << "\")";
}

// The cells of a sheet as `xls-dump` (our strict reader) or SheetJS reads them; an
// empty optional with the tool's complaint in `error` when the tool refuses the file.
bool DumpCells(const std::filesystem::path& xls, std::vector<Cell>& cells, std::string& error);
bool SheetJsCells(const std::filesystem::path& xls, std::vector<Cell>& cells, std::string& error);
// Sheet 1 as headless LibreOffice exports it to CSV.
bool LibreOfficeCsv(const std::filesystem::path& xls, std::string& csv, std::string& error);

// The cells of an .xlsx or a .csv as a real reader has them, in the form DumpCells gives:
// `reader` is one of tests/support/sheet-cells (openpyxl, pandas-excel, pandas-csv, csv)
// or "sheetjs"; `sheet` names a workbook's sheet (none: the first).
bool ReaderCells(const std::string& reader, const std::filesystem::path& file,
                 std::vector<Cell>& cells, std::string& error, const std::string& sheet = "");
// The sheet names of an .xlsx, in order, as openpyxl reads them.
bool WorkbookSheets(const std::filesystem::path& xlsx, std::vector<std::string>& names,
                    std::string& error);

// The cells of a sheet of any of our formats, by the reader its extension calls for:
// xls-dump for an .xls, openpyxl for an .xlsx, Python's csv for a .csv. False with `error`
// empty when that reader is not installed here.
bool SheetCells(const std::filesystem::path& file, std::vector<Cell>& cells, std::string& error);

bool HaveXlsDump();
// openpyxl and pandas under the system's python3.
bool HavePythonReaders();
bool HaveSheetJs();
bool HaveLibreOffice();

}  // namespace vx::test
