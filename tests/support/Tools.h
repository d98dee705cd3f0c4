#pragma once

#include <filesystem>
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

// One cell as the spreadsheet checking tools print it.
struct Cell {
    int Row = 0;
    int Col = 0;
    std::string Type;   // label, number, integer
    std::string Value;  // the tools' text: labels escaped, numbers as Python's repr
    bool operator==(const Cell&) const = default;
};

// The cells of a sheet as `xls-dump` (our strict reader) or SheetJS reads them; an
// empty optional with the tool's complaint in `error` when the tool refuses the file.
bool DumpCells(const std::filesystem::path& xls, std::vector<Cell>& cells, std::string& error);
bool SheetJsCells(const std::filesystem::path& xls, std::vector<Cell>& cells, std::string& error);
// Sheet 1 as headless LibreOffice exports it to CSV.
bool LibreOfficeCsv(const std::filesystem::path& xls, std::string& csv, std::string& error);

bool HaveXlsDump();
bool HaveSheetJs();
bool HaveLibreOffice();

}  // namespace vx::test
