#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/FileReplacement.h"
#include "sheet/Sheet.h"

struct lxw_workbook;
struct lxw_worksheet;

namespace vx {

// The name a sheet gets in a workbook: the Latin-1 text made to fit Excel's rules (at
// most 31 characters, none of []:*?/\ nor a control character, no apostrophe first or
// last, not empty) and made different from every name in `taken` (letter case aside)
// by a number in parentheses.
std::string WorkbookSheetName(std::string_view latin1, const std::vector<std::string>& taken);

// Writes an Excel workbook (.xlsx) through libxlsxwriter in its constant-memory mode:
// each row goes to a temporary file in the destination's folder as soon as the next
// one starts, so memory does not grow with the sheet. Texts are Latin-1 and are stored
// as UTF-8 exactly as given; numbers are number cells. The format holds 1,048,576 rows
// and 16,384 columns.
//
// Cells come sheet after sheet, row after row, left to right, each after the one
// before. Every call throws vx::Failure: 5 a cell before the last one, 6 a row or
// column outside the sheet or a text over 32767 characters, 13 a number that is not
// finite, 52 no open file or sheet, and the file system's failures. The file takes the
// destination's place only at Close (FileReplacement).
class XlsxFile {
public:
    static constexpr std::int32_t kMaxRows = 1048576;
    static constexpr std::int32_t kMaxColumns = 16384;

    XlsxFile();
    ~XlsxFile();
    XlsxFile(const XlsxFile&) = delete;
    XlsxFile& operator=(const XlsxFile&) = delete;

    // `large`: the sheets may exceed what a zip file without its 64-bit extensions
    // holds (4 GB); readers that lack them are then no matter.
    void Create(const std::string& path, bool large = false);
    // Starts the next sheet under WorkbookSheetName(latin1Name, the names so far).
    void AddSheet(std::string_view latin1Name);
    void Text(std::int32_t row, std::int32_t col, std::string_view latin1);
    // The double nearest to the shortest decimal that reads back to the single: the
    // number a reader of the text "0.1" has, not the single's own binary value.
    void Number(std::int32_t row, std::int32_t col, float value);
    // A double as libxlsxwriter prints it: 16 significant digits, which read back to the
    // same double for every single's nearest decimal, not for every double.
    void Number(std::int32_t row, std::int32_t col, double value);
    void Close();

private:
    void Place(std::int32_t row, std::int32_t col);
    void Check(int error);
    void CheckRowsWritten();
    void Abandon() noexcept;

    std::unique_ptr<FileReplacement> m_file;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    std::vector<lxw_worksheet*> m_sheets;
    std::vector<std::string> m_names;
    std::int32_t m_row = 0, m_col = 0;  // the last cell written
};

// The .xlsx format of the sheet seam: one sheet per Write, named after the sheet.
class XlsxSheetWriter final : public SheetWriter {
public:
    SheetLimits Limits() const override;
    bool TakesSeveralSheets() const override { return true; }
    void Create(const std::string& path) override;
    void Write(const Sheet& sheet) override;
    void Close() override;

private:
    XlsxFile m_file;
    std::string m_path;
    bool m_created = false;
};

}  // namespace vx
