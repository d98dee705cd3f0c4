#include "export/Worksheet.h"

#include <gtest/gtest.h>

#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::Cell;
using test::FakeServices;
using test::TempDir;
using Texts = std::vector<std::string>;

class WorksheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_model.Times = {{60.0f, 100}, {120.5f, 200}, {180.0f, 300}};
        m_model.TimeCount = 3;
        m_table.Resize(6, 2);
        for (int r = 1; r <= 6; ++r)
            for (int t = 1; t <= 2; ++t)
                m_table.Set(r, t, static_cast<float>(r) + 0.25f * static_cast<float>(t));
        m_request.Variable = "Displacements";
    }

    // Writes the request in `format` (to sheet.xls, .xlsx or .csv) and reads it back.
    std::vector<Cell> Write(SheetFormat format = SheetFormat::Xls) {
        m_target.OutputPath = (m_dir.Path() / "sheet").string();
        m_target.OutputPath += FormatInfo(format).Extension;
        m_target.Format = format;
        auto services = m_host.Get();
        m_written = WriteWorksheet(m_target, m_request, m_model, m_table, services);
        EXPECT_EQ(m_written.Notices, m_host.Messages) << "returned as shown";
        std::vector<Cell> cells;
        std::string error;
        if (!m_host.Messages.empty() || !CanRead(format)) return cells;
        const bool read = format == SheetFormat::Xls
                              ? test::DumpCells(m_target.OutputPath, cells, error)
                              : test::ReaderCells(format == SheetFormat::Csv ? "csv" : "openpyxl",
                                                  m_target.OutputPath, cells, error);
        EXPECT_TRUE(read) << error;
        return cells;
    }
    bool CanRead(SheetFormat format) const {
        return format == SheetFormat::Xls ? test::HaveXlsDump() : test::HavePythonReaders();
    }

    TempDir m_dir;
    OutputFileModel m_model;
    ValueTable m_table;
    ExtractionRequest m_request;
    SheetTarget m_target;
    Outcome m_written;
    FakeServices m_host;
};

// Every format holds the same cells, the .xls its values rounded to six decimals, the
// others the singles' shortest decimals in full.
TEST_F(WorksheetTest, TimesInRowsPicksTheRequestedVectors) {
    m_request.VectorKind = "DOF2";
    m_request.Vectors = {2, 4, 6};
    m_request.SelectedTimes = {3, 1};  // column 1 of the table is step 3
    m_table.Set(4, 1, 0.1f);
    m_table.Set(6, 2, 1.234e-7f);
    for (const auto& format : SheetFormats()) {
        if (!CanRead(format.Format)) continue;
        const bool xls = format.Format == SheetFormat::Xls;
        EXPECT_EQ(Write(format.Format),
                  (std::vector<Cell>{{1, 1, "label", "Variable"},
                                     {1, 2, "label", "Displacements"},
                                     {2, 1, "label", "Vector"},
                                     {2, 2, "label", "DOF2"},
                                     {3, 1, "label", "Time"},
                                     {3, 2, "label", "Node 2"},
                                     {3, 3, "label", "Node 4"},
                                     {3, 4, "label", "Node 6"},
                                     {4, 1, "number", "180.0"},
                                     {4, 2, "number", "2.25"},
                                     {4, 3, "number", "0.1"},
                                     {4, 4, "number", "6.25"},
                                     {5, 1, "number", "60.0"},
                                     {5, 2, "number", "2.5"},
                                     {5, 3, "number", "4.5"},
                                     {5, 4, "number", xls ? "0.0" : "1.234e-07"}}))
            << format.Name;
    }
    EXPECT_TRUE(m_host.Messages.empty());
}

TEST_F(WorksheetTest, LimitsAreCheckedBeforeTheFileIsTouched) {
    m_request.SelectedTimes = {1};
    const struct {
        SheetFormat Format;
        std::size_t Vectors;
        bool Columns;
        const char* Shown;  // none: written
    } cases[] = {
        {SheetFormat::Xls, 256, false,
         "The maximum number of columns in Excel is 256. Cannot create file."},
        {SheetFormat::Xls, 65536, true,
         "The maximum number of rows in Excel is 65536. Cannot create file."},
        {SheetFormat::Xls, 255, false, nullptr},  // 255 vectors across make 256 columns
        {SheetFormat::Xlsx, 16384, false,
         "The maximum number of columns in an Excel workbook is 16384. Cannot create file."},
        {SheetFormat::Xlsx, 1048574, true,
         "The maximum number of rows in an Excel workbook is 1048576. Cannot create file."},
        {SheetFormat::Xlsx, 16383, false, nullptr},
        {SheetFormat::Csv, 70000, true, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(FormatInfo(c.Format).Name) + " " + std::to_string(c.Vectors));
        const auto path = m_dir.Write("sheet" + std::string(FormatInfo(c.Format).Extension), "old");
        m_host.Messages.clear();
        m_request.Vectors.assign(c.Vectors, 1);
        auto services = m_host.Get();
        const Outcome written = WriteWorksheet({path.string(), c.Format, c.Columns}, m_request,
                                               m_model, m_table, services);
        EXPECT_EQ(m_host.MessageTexts(), c.Shown ? Texts{c.Shown} : Texts{});
        EXPECT_EQ(test::ReadBytes(path) == "old", c.Shown != nullptr);
        EXPECT_EQ(written.Notices, m_host.Messages);
        for (const auto& shown : m_host.Messages) {
            EXPECT_EQ(shown.Icon, MsgIcon::Critical);
            EXPECT_EQ(shown.Kind, FailureKind::FormatLimit);
            EXPECT_EQ(shown.Number, 0) << "the text shows no number";
        }
    }
}

// Times across: the .xls keeps what was written up to a failure, as it always has; the
// other formats leave the earlier file as it was and nothing else.
TEST_F(WorksheetTest, AVectorBeyondTheTableStopsTheSheetThere) {
    m_request.Vectors = {1, 7, 2};
    m_request.SelectedTimes = {2, 1};
    m_target.TimesInColumns = true;
    for (const auto& format : SheetFormats()) {
        SCOPED_TRACE(format.Name);
        m_host.Messages.clear();
        const auto earlier = m_dir.Write("sheet" + std::string(format.Extension), "earlier");
        Write(format.Format);
        ASSERT_EQ(m_written.Notices,
                  (std::vector<Notice>{{FailureKind::WriteFailed, 0, "Subscript out of range"}}));
        std::vector<Cell> cells;
        std::string error;
        if (format.Format != SheetFormat::Xls) {
            EXPECT_EQ(test::ReadBytes(earlier), "earlier");
        } else if (test::HaveXlsDump()) {
            ASSERT_TRUE(test::DumpCells(earlier, cells, error)) << error;
            // The file stays, complete up to the failing vector: its label but no value.
            EXPECT_EQ(cells, (std::vector<Cell>{{1, 1, "label", "Variable"},
                                                {1, 2, "label", "Displacements"},
                                                {2, 1, "label", "Vector"},
                                                {2, 2, "label", ""},
                                                {3, 1, "label", "Node"},
                                                {3, 2, "number", "120.5"},
                                                {3, 3, "number", "60.0"},
                                                {4, 1, "label", "Node 1"},
                                                {4, 2, "number", "1.25"},
                                                {4, 3, "number", "1.5"},
                                                {5, 1, "label", "Node 7"}}));
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}),
              static_cast<std::ptrdiff_t>(SheetFormats().size()));
}

}  // namespace
}  // namespace vx
