#include "csv/CsvFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

#include "common/Failure.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::ReadBytes;
using test::TempDir;

struct CsvCell {
    std::int32_t Row, Col;
    std::variant<std::string, float, double> Value;
};

void Put(CsvFile& file, const CsvCell& c) {
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
        {"quotes only where a comma, a quote or a line end needs them",
         0,
         {{1, 1, std::string("plain")},
          {1, 2, std::string("a,b")},
          {1, 3, std::string("say \"hi\"")},
          {1, 4, std::string("two\r\nlines")},
          {1, 5, std::string(" spaced ")}},
         "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\", spaced \r\n"},
        {"Latin-1 becomes UTF-8",
         0,
         {{1, 1, std::string("\xE9t\xE9 m\xB2")}},
         "\xC3\xA9t\xC3\xA9 m\xC2\xB2\r\n"},
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

TEST(CsvFile, RefusesWhatItCannotWriteAndLeavesTheEarlierFile) {
    const struct {
        const char* What;
        CsvCell Cell;
        int Failure;
    } cases[] = {
        {"the same cell again", {1, 2, 1.0f}, fail::InvalidCall},
        {"a cell to the left", {1, 1, 1.0f}, fail::InvalidCall},
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
        try {
            Put(file, c.Cell);
            ADD_FAILURE() << c.What << " was written";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.Number(), c.Failure) << c.What;
        }
        EXPECT_EQ(ReadBytes(path), "the earlier sheet") << c.What;
    }
    CsvFile unopened;
    EXPECT_THROW(unopened.Text(1, 1, "x"), Failure);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace vx
