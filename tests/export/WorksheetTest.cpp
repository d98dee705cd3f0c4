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
        m_request.OutputPath = (m_dir.Path() / "sheet.xls").string();
    }

    void Run() {
        auto services = m_host.Get();
        WriteWorksheet(m_request.OutputPath, m_request, m_model, m_table, services);
    }

    std::vector<Cell> Write() {
        Run();
        std::vector<Cell> cells;
        std::string error;
        if (std::filesystem::exists(m_request.OutputPath) && test::HaveXlsDump()) {
            EXPECT_TRUE(test::DumpCells(m_request.OutputPath, cells, error)) << error;
        }
        return cells;
    }

    TempDir m_dir;
    OutputFileModel m_model;
    ValueTable m_table;
    ExtractionRequest m_request;
    FakeServices m_host;
};

TEST_F(WorksheetTest, TimesInRowsPicksTheRequestedVectors) {
    if (!test::HaveXlsDump()) GTEST_SKIP();
    m_request.Variable = "Displacements";
    m_request.VectorKind = "DOF2";
    m_request.Vectors = {2, 4, 6};
    m_request.SelectedTimes = {3, 1};  // column 1 of the table is step 3
    EXPECT_EQ(Write(), (std::vector<Cell>{{1, 1, "label", "Variable"},
                                          {1, 2, "label", "Displacements"},
                                          {2, 1, "label", "Vector"},
                                          {2, 2, "label", "DOF2"},
                                          {3, 1, "label", "Time"},
                                          {3, 2, "label", "Node 2"},
                                          {3, 3, "label", "Node 4"},
                                          {3, 4, "label", "Node 6"},
                                          {4, 1, "number", "180.0"},
                                          {4, 2, "number", "2.25"},
                                          {4, 3, "number", "4.25"},
                                          {4, 4, "number", "6.25"},
                                          {5, 1, "number", "60.0"},
                                          {5, 2, "number", "2.5"},
                                          {5, 3, "number", "4.5"},
                                          {5, 4, "number", "6.5"}}));
    EXPECT_TRUE(m_host.Messages.empty());
}

TEST_F(WorksheetTest, LimitsAreCheckedBeforeTheFileIsTouched) {
    m_request.Variable = "Displacements";
    m_request.SelectedTimes = {1};
    auto existing = m_dir.Write("sheet.xls", "old contents");
    auto shownFor = [&](std::size_t vectors, bool columns) {
        m_host.Messages.clear();
        m_request.Vectors.assign(vectors, 1);
        m_request.TimesInColumns = columns;
        Run();
        return m_host.MessageTexts();
    };
    ASSERT_EQ(shownFor(256, false),
              Texts{"The maximum number of columns in Excel is 256. Cannot create file."});
    EXPECT_EQ(m_host.Messages[0].Icon, MsgIcon::Critical);
    EXPECT_EQ(shownFor(65536, true),
              Texts{"The maximum number of rows in Excel is 65536. Cannot create file."});
    EXPECT_EQ(test::ReadBytes(existing), "old contents");
    EXPECT_TRUE(shownFor(255, false).empty()) << "255 vectors across make 256 columns";
}

TEST_F(WorksheetTest, AVectorBeyondTheTableStopsTheSheetThere) {
    m_request.Variable = "Displacements";
    m_request.Vectors = {1, 7, 2};
    m_request.SelectedTimes = {1};
    m_request.TimesInColumns = true;
    auto cells = Write();
    ASSERT_EQ(m_host.MessageTexts(), Texts{"Subscript out of range"});
    EXPECT_EQ(m_host.Messages[0].Icon, MsgIcon::Critical);
    if (!test::HaveXlsDump()) return;
    // The file stays, complete up to the failing vector: its label but no value.
    ASSERT_EQ(cells.size(), 4u + 2u + 2u + 1u);
    EXPECT_EQ(cells.back().Value, "Node 7");
}

TEST(RecordLabel, NamesTheVectorsOfEachVariable) {
    for (auto [variable, label] : {std::pair{"Temperature", "Node"},
                                   {"Beam Bending Moment Mw", "Beam"},
                                   {"Bending Force M2", "Shell"},
                                   {"Soil Pressure", "Soil"},
                                   {"Beam Tangent Modulus", "Fiber"},
                                   {"Truss Axial Force", "Truss"},
                                   {"displacements", ""}})
        EXPECT_EQ(RecordLabel(variable), label) << variable;
}

}  // namespace
}  // namespace vx
