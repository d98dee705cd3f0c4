#include "csv/CsvFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <variant>

#include "tests/support/Failures.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::FailureOf;
using test::ReadBytes;
using test::TempDir;

struct CsvCell {
    std::int32_t Row, Col;
    std::variant<std::string, float, double> Value;
};

template <typename Csv>
void Put(Csv& file, const CsvCell& c) {
    if (auto* text = std::get_if<std::string>(&c.Value))
        file.Text(c.Row, c.Col, *text);
    else if (auto* single = std::get_if<float>(&c.Value))
        file.Number(c.Row, c.Col, *single);
    else
        file.Number(c.Row, c.Col, std::get<double>(c.Value));
}

TEST(CsvFile, CellsBecomeTheseBytes) {
    const struct {
        const char* What;
        std::int32_t Width;
        std::vector<CsvCell> Cells;
        std::string Bytes;
    } cases[] = {
        {"quotes only where a comma, a quote or a line end needs them; Latin-1 as UTF-8",
         0,
         {{1, 1, std::string("plain")},
          {1, 2, std::string("a,b")},
          {1, 3, std::string("say \"hi\"")},
          {1, 4, std::string("two\r\nlines")},
          {1, 5, std::string(" spaced \xE9t\xE9 m\xB2")}},
         "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\", spaced \xC3\xA9t\xC3\xA9 "
         "m\xC2\xB2\r\n"},
        {"a single as its shortest decimal, a double as its own",
         0,
         {{1, 1, 0.1f},
          {1, 2, 60.0f},
          {1, 3, 1.234e-7f},
          {1, 4, -0.0f},
          {1, 5, std::numeric_limits<float>::max()},
          {1, 6, 0.1},
          {1, 7, static_cast<double>(0.1f)}},
         "0.1,60,1.234e-07,-0,3.4028235e+38,0.1,0.10000000149011612\r\n"},
        {"skipped cells and lines are empty, every line as wide as asked",
         4,
         {{1, 2, std::string("b")}, {3, 1, 1.5f}, {3, 3, 2.5f}},
         ",b,,\r\n,,,\r\n1.5,,2.5,\r\n"},
        {"a line wider than asked stays so",
         2,
         {{1, 1, 1.0f}, {1, 4, 4.0f}, {2, 1, 2.0f}},
         "1,,,4\r\n2,\r\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const auto path = dir.Path() / "sheet.csv";
        CsvFile file;
        file.Create(path.string());
        file.SetWidth(c.Width);
        for (const auto& cell : c.Cells) Put(file, cell);
        file.Close();
        EXPECT_EQ(ReadBytes(path), c.Bytes) << c.What;
    }
}

// A sheet of numbers, texts to quote and empty cells, with failures where asked. Rows 93,
// 186, ... are empty: the last rows of the blocks of 93 rows a sheet 700 cells wide is cut into.
struct TestSheet final : Sheet {
    std::map<std::pair<std::int32_t, std::int32_t>, int> Failures;
    std::string Name() const override { return "test"; }
    std::int32_t Rows() const override { return 1500; }
    std::int32_t Columns() const override { return 700; }
    CellKind Kind(std::int32_t row, std::int32_t col) const override {
        if (row % 93 == 0 || (row + col) % 11 == 0) return CellKind::Empty;
        return col == 1 ? CellKind::Text : CellKind::Number;
    }
    std::string Text(std::int32_t row, std::int32_t) const override {
        return row % 2 ? "Node " + std::to_string(row) : "a \"quoted\", text";
    }
    float Number(std::int32_t row, std::int32_t col) const override {
        if (auto failure = Failures.find({row, col}); failure != Failures.end())
            Raise(failure->second);
        return static_cast<float>(row) / static_cast<float>(col) * 1e-3f;
    }
};

// The blocks of rows of a large sheet, made into text by several threads, make the text
// one thread makes of the whole, and end in the failure of the first failing cell.
TEST(CsvSheetWriter, ALargeSheetIsTheSameTextAsOneThreadMakes) {
    TempDir dir;
    for (bool failing : {false, true}) {
        TestSheet sheet;
        if (failing)
            sheet.Failures = {{{1203, 8}, fail::SubscriptOutOfRange},
                              {{1204, 2}, fail::TypeMismatch},
                              {{1400, 2}, fail::Overflow}};
        CsvText whole(1, sheet.Columns());
        const int expected = FailureOf([&] {
            WriteByRows(sheet, whole);
            whole.EndLine();
        });
        const auto path = dir.Write("sheet.csv", "earlier");
        const int found = FailureOf([&] {
            CsvSheetWriter writer;
            writer.Create(path.string());
            writer.Write(sheet);
            writer.Close();
        });
        EXPECT_EQ(found, expected);
        EXPECT_EQ(found, failing ? fail::SubscriptOutOfRange : 0);
        EXPECT_TRUE(ReadBytes(path) == (failing ? "earlier" : whole.Bytes())) << "the texts differ";
    }
}

TEST(CsvFile, RefusesWhatItCannotWriteAndLeavesTheEarlierFile) {
    const struct {
        const char* What;
        CsvCell Cell;
        int Failure;
    } cases[] = {
        {"the same cell again", {1, 2, 1.0f}, fail::InvalidCall},
        {"row 0", {0, 5, 1.0f}, fail::Overflow},
        {"column 0", {2, 0, std::string("x")}, fail::Overflow},
        {"not a number", {2, 1, std::numeric_limits<float>::quiet_NaN()}, fail::TypeMismatch},
        {"infinity", {2, 1, std::numeric_limits<double>::infinity()}, fail::TypeMismatch},
    };
    TempDir dir;
    const auto path = dir.Write("sheet.csv", "the earlier sheet");
    for (const auto& c : cases) {
        CsvFile file;
        file.Create(path.string());
        file.Number(1, 2, 1.0f);
        EXPECT_EQ(FailureOf([&] { Put(file, c.Cell); }), c.Failure) << c.What;
        EXPECT_EQ(ReadBytes(path), "the earlier sheet") << c.What;
    }
    EXPECT_EQ(FailureOf([] { CsvFile().Text(1, 1, "x"); }), fail::BadFileNameOrNumber);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace vx
