#pragma once

#include "biff/ExcelFile.h"
#include "sheet/Sheet.h"

namespace vx {

// The Excel 2.x (BIFF2) .xls: one sheet per file, written through one ExcelFile with
// the file's one font, every cell font 0, left aligned, unlocked and visible.
class XlsSheetWriter final : public SheetWriter {
public:
    SheetLimits Limits() const override;
    bool TakesSeveralSheets() const override { return false; }
    void Create(const std::string& path) override;
    void Write(const Sheet& sheet) override;
    void Close() override;

private:
    void Cell(const Sheet& sheet, std::int32_t row, std::int32_t col);

    ExcelFile m_file;  // completes a file left open by a failure when it goes
};

}  // namespace vx
