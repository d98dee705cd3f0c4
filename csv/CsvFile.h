#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sheet/FileReplacement.h"
#include "sheet/Sheet.h"

namespace vx {

// Writes one sheet as comma-separated text (RFC 4180): UTF-8, a field in double quotes
// when it holds a comma, a quote or a line end (its quotes doubled), CR LF after every
// line, numbers with "." as the decimal point whatever the locale, as the shortest
// decimal that reads back to the value.
//
// Cells come row after row, left to right, each after the one before; the cells
// skipped are empty fields or empty lines. Every call throws vx::Failure: 5 a cell
// before the last one, 6 a row or column below 1, 13 a number that is not finite, 52
// no open file, and the file system's failures. The file takes the destination's
// place only at Close (FileReplacement).
class CsvFile {
public:
    CsvFile();
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    void Create(const std::string& path);
    // Every line is filled with empty fields to at least this many.
    void SetWidth(std::int32_t fields) { m_width = fields; }
    // Latin-1 text, written as UTF-8.
    void Text(std::int32_t row, std::int32_t col, std::string_view latin1);
    void Number(std::int32_t row, std::int32_t col, float value);
    void Number(std::int32_t row, std::int32_t col, double value);
    void Close();

private:
    // Ends lines and adds separators up to field `col` of line `row`; makes room for
    // `bytes` more and returns where they go.
    char* Field(std::int32_t row, std::int32_t col, std::size_t bytes);
    void EndLine();
    char* Room(std::size_t bytes);
    void Flush();

    std::unique_ptr<FileReplacement> m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_used = 0;
    std::int32_t m_row = 1;    // the line being written
    std::int32_t m_field = 0;  // the last field written on it
    std::int32_t m_width = 0;
};

// The .csv format of the sheet seam: one sheet, no limits.
class CsvSheetWriter final : public SheetWriter {
public:
    SheetLimits Limits() const override { return {}; }
    bool TakesSeveralSheets() const override { return false; }
    void Create(const std::string& path) override { m_file.Create(path); }
    void Write(const Sheet& sheet) override;
    void Close() override { m_file.Close(); }

private:
    CsvFile m_file;
};

}  // namespace vx
