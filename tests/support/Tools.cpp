#include "tests/support/Tools.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/support/TempDir.h"

namespace vx::test {

std::string Quote(const std::string& argument) {
    std::string quoted = "'";
    for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult Run(const std::string& commandLine) {
    TempDir dir;
    auto out = dir.Path() / "out", err = dir.Path() / "err";
    std::string full = "( " + commandLine + " ) > " + Quote(out.string()) + " 2> " +
                       Quote(err.string()) + " < /dev/null";
    int raw = std::system(full.c_str());
    CommandResult result;
    result.Status = raw == -1 ? -1 : (WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw));
    result.Out = ReadBytes(out);
    result.Err = ReadBytes(err);
    return result;
}

std::filesystem::path CliPath() {
    const char* path = std::getenv("VX_CLI");
    return path && *path ? path : VX_DEFAULT_CLI;
}

CommandResult RunCli(const std::vector<std::string>& args) {
    std::string line = Quote(CliPath().string());
    for (const auto& a : args) line += " " + Quote(a);
    return Run(line);
}

static std::filesystem::path Tool(const char* name) {
    return SharedDir() / "tools" / name;
}

// The Python tools run under the system's interpreter when there is one: a version
// manager's shim in front of python3 costs more than the tool itself.
static std::string PythonTool(const char* name) {
    std::string tool = Quote(Tool(name).string());
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3 " + tool : tool;
}

static bool ParseCells(const std::string& text, std::vector<Cell>& cells) {
    cells.clear();
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        Cell cell;
        std::size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
        if (c == std::string::npos) return false;
        cell.Row = std::stoi(line.substr(0, a));
        cell.Col = std::stoi(line.substr(a + 1, b - a - 1));
        cell.Type = line.substr(b + 1, c - b - 1);
        cell.Value = line.substr(c + 1);
        cells.push_back(cell);
    }
    return true;
}

// SheetJS is installed into the project tree by the set-up script.
static std::string NodeTool(const char* name) {
    return "NODE_PATH=" + Quote((SourceDir() / ".cache" / "npm" / "node_modules").string()) + " " +
           Quote(Tool(name).string());
}

static bool ToolCells(const char* tool, const std::filesystem::path& xls, std::vector<Cell>& cells,
                      std::string& error) {
    std::string command = std::string(tool) == "xls-dump" ? PythonTool(tool) : NodeTool(tool);
    auto result = Run(command + " " + Quote(xls.string()));
    if (result.Status != 0) {
        error = std::string(tool) + " exit " + std::to_string(result.Status) + ": " + result.Err;
        return false;
    }
    if (!ParseCells(result.Out, cells)) {
        error = std::string(tool) + " printed something that is not a cell list";
        return false;
    }
    return true;
}

bool DumpCells(const std::filesystem::path& xls, std::vector<Cell>& cells, std::string& error) {
    return ToolCells("xls-dump", xls, cells, error);
}

bool SheetJsCells(const std::filesystem::path& xls, std::vector<Cell>& cells, std::string& error) {
    return ToolCells("xls-dump-sheetjs", xls, cells, error);
}

bool LibreOfficeCsv(const std::filesystem::path& xls, std::string& csv, std::string& error) {
    auto result = Run(Quote(Tool("xls-check-libreoffice").string()) + " " + Quote(xls.string()));
    if (result.Status != 0) {
        error = "xls-check-libreoffice exit " + std::to_string(result.Status) + ": " + result.Err;
        return false;
    }
    csv = result.Out;
    return true;
}

static std::string SystemPython() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

bool ReaderCells(const std::string& reader, const std::filesystem::path& file,
                 std::vector<Cell>& cells, std::string& error, const std::string& sheet) {
    const auto support = SourceDir() / "tests" / "support";
    std::string command =
        reader == "sheetjs"
            ? "NODE_PATH=" + Quote((SourceDir() / ".cache" / "npm" / "node_modules").string()) +
                  " node " + Quote((support / "sheet-cells-sheetjs").string())
            : SystemPython() + " " + Quote((support / "sheet-cells").string()) + " " + reader;
    command += " " + Quote(file.string());
    if (!sheet.empty()) command += " " + Quote(sheet);
    auto result = Run(command);
    if (result.Status != 0) {
        error = reader + " exit " + std::to_string(result.Status) + ": " + result.Err;
        return false;
    }
    if (!ParseCells(result.Out, cells)) {
        error = reader + " printed something that is not a cell list";
        return false;
    }
    return true;
}

bool WorkbookSheets(const std::filesystem::path& xlsx, std::vector<std::string>& names,
                    std::string& error) {
    auto result = Run(SystemPython() + " " +
                      Quote((SourceDir() / "tests" / "support" / "sheet-cells").string()) +
                      " sheets " + Quote(xlsx.string()));
    if (result.Status != 0) {
        error = result.Err;
        return false;
    }
    names.clear();
    std::istringstream in(result.Out);
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return true;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool SheetCells(const std::filesystem::path& file, std::vector<Cell>& cells, std::string& error) {
    const std::string extension = file.extension().string();
    if (extension == ".xls") return HaveXlsDump() && DumpCells(file, cells, error);
    return HavePythonReaders() &&
           ReaderCells(extension == ".xlsx" ? "openpyxl" : "csv", file, cells, error);
}

bool HavePythonReaders() {
    static const bool have = Run(SystemPython() + " -c 'import openpyxl, pandas'").Status == 0;
    return have;
}

bool HaveXlsDump() {
    return std::filesystem::exists(Tool("xls-dump")) && Run("command -v python3").Status == 0;
}

bool HaveSheetJs() {
    return std::filesystem::exists(Tool("xls-dump-sheetjs")) &&
           Run("NODE_PATH=" + Quote((SourceDir() / ".cache" / "npm" / "node_modules").string()) +
               " node -e \"require('xlsx')\"")
                   .Status == 0;
}

bool HaveLibreOffice() {
    return std::filesystem::exists(Tool("xls-check-libreoffice")) &&
           Run("command -v soffice").Status == 0;
}

}  // namespace vx::test
