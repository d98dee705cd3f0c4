#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "sheet/FileReplacement.h"
#include "sheet/Sheet.h"

namespace vx {

// Comma-separated text (RFC 4180) built in memory: UTF-8, a field in double quotes when
// it holds a comma, a quote or a line end (its quotes doubled), CR LF after every line,
// numbers with "." as the decimal point whatever the locale, as the shortest decimal
// that reads back to the value. Every line is filled with empty fields to the width.
//
// Cells come row after row, left to right, each after the one before, from `firstRow`
// on; the cells skipped are empty fields or empty lines. Every call throws vx::Failure:
// 5 a cell before the last one, 6 a row or column below 1 (or `firstRow`), 13 a number
// that is not finite.
class CsvText {
public:
    explicit CsvText(std::int32_t firstRow = 1, std::int32_t width = 0);

    void SetWidth(std::int32_t fields) { m_width = fields; }
    // Latin-1 text, written as UTF-8.
    void Text(std::int32_t row, std::int32_t col, std::string_view latin1);
    void Number(std::int32_t row, std::int32_t col, float value);
    void Number(std::int32_t row, std::int32_t col, double value);
    // Ends the line being written, if any.
    void EndLine();
    // Ends the line being written and adds empty lines so that the text holds every row
    // through `row`.
    void EndRowsThrough(std::int32_t row);

    std::string_view Bytes() const { return {m_bytes.get(), m_used}; }
    // Forgets the bytes built so far, keeping its place in the sheet.
    void Drop() { m_used = 0; }

private:
    // Ends lines and adds separators up to field `col` of line `row`; makes room for
    // `bytes` more and returns where they go.
    char* Field(std::int32_t row, std::int32_t col, std::size_t bytes);
    void FinishLine();
    char* Room(std::size_t bytes);
    void Put(char c) { *Room(1) = c, ++m_used; }

    // Grown by hand: a string would fill every new byte with zeros first.
    std::unique_ptr<char[]> m_bytes;
    std::size_t m_capacity = 0;
    std::size_t m_used = 0;
    std::int32_t m_firstRow;
    std::int32_t m_row;        // the line being written
    std::int32_t m_field = 0;  // the last field written on it
    std::int32_t m_width;
};

// A CSV file: CsvText written to the file as it grows. The file takes the destination's
// place only at Close (FileReplacement). Calls before Create fail with 52, and so do
// calls after a failure of the file system (which leaves no file).
class CsvFile {
public:
    CsvFile();
    ~CsvFile();
    CsvFile(const CsvFile&) = delete;
    CsvFile& operator=(const CsvFile&) = delete;

    void Create(const std::string& path);
    void SetWidth(std::int32_t fields) { m_text.SetWidth(fields); }
    void Text(std::int32_t row, std::int32_t col, std::string_view latin1);
    void Number(std::int32_t row, std::int32_t col, float value);
    void Number(std::int32_t row, std::int32_t col, double value);
    // Bytes made elsewhere (lines of CsvText), written as they are.
    void Append(std::string_view bytes);
    void Close();

private:
    void Open() const;
    void Spill(bool always);

    std::unique_ptr<FileReplacement> m_file;
    CsvText m_text;
};

// The .csv format of the sheet seam: one sheet, no limits. Large sheets are turned into
// text by several threads, a block of rows each, and written in row order.
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
