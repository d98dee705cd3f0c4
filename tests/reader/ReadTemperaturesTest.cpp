#include <gtest/gtest.h>

#include <cstdio>

#include "reader/Reader.h"
#include "tests/support/FakeServices.h"
#include "tests/support/TempDir.h"

namespace vx {
namespace {

using test::FakeServices;
using test::TempDir;

// A thermal listing whose temperature of node n at step s is s * 100 + n / 10.
std::string ThermalListing(int nodes, int steps) {
    std::string bytes =
        " PROGRAM 'VORAX' , 3.1\r\n NDIM 3\r\n TEMPERATURE ANALYSIS\r\n"
        " DESCRIPTION OF THE STRUCTURE.\r\n";
    bytes += "  -  THERE ARE " + std::to_string(nodes) + " NODES.\r\n POSITION OF THE NODES\r\n";
    char field[32];
    for (int s = 1; s <= steps; ++s) {
        bytes += "   TIME =  " + std::to_string(s * 60) + ".0\r\n HEAT BALANCE OK\r\n";
        bytes += " NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.\r\n";
        for (int n = 1; n <= nodes; ++n) {
            std::snprintf(field, sizeof field, "%5d%6.1f", n, s * 100 + n / 10.0);
            bytes += field;
            if (n % 5 == 0 || n == nodes) bytes += "\r\n";
        }
        bytes += " (trailing text that must not be read)   99999  99999\r\n";
    }
    return bytes;
}

struct Extraction {
    OutputFileModel Model;
    ValueTable Table;
    FakeServices Host;
    ExtractionRequest Request;
};

void Open(Extraction& e, const std::filesystem::path& file) {
    e.Model.FilePath = file.string();
    e.Model.Reset();
    auto services = e.Host.Get();
    ReadOutputFile(e.Model, services);
    ASSERT_TRUE(e.Host.Messages.empty());
    e.Request.Variable = "Temperature";
}

void Extract(Extraction& e, std::vector<std::int16_t> steps) {
    e.Request.SelectedTimes = std::move(steps);
    e.Host.Reports.clear();
    auto services = e.Host.Get();
    ReadTemperatures(e.Model, e.Request, e.Table, services);
}

TEST(ReadTemperatures, FieldsAreFixedColumnsAndShortLinesGiveZero) {
    TempDir dir;
    std::string bytes =
        "PROGRAM 'VORAX', 1\r\nNDIM 2\r\nTEMPERAT\r\nDESCRIPTION OF THE STRUCTURE.\r\n"
        "  -  THERE ARE 7 NODES\r\nPOSITION OF THE NODES\r\n  TIME = 1\r\n"
        "NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.\r\n"
        "    1  -1.5    2      \r\n"   // node 2: blanks; nodes 3 to 5: the line is too short
        "    6 1.5E1    7 12345678\r\n";  // node 7: " 12345", the field is 6 characters
    Extraction e;
    Open(e, dir.Write("t.out", bytes));
    Extract(e, {1});
    ASSERT_TRUE(e.Host.Messages.empty());
    EXPECT_EQ(e.Table.At(1, 1), -1.5f);
    for (int n = 2; n <= 5; ++n) EXPECT_EQ(e.Table.At(n, 1), 0.0f);
    EXPECT_EQ(e.Table.At(6, 1), 15.0f);
    EXPECT_EQ(e.Table.At(7, 1), 12345.0f);
}

TEST(ReadTemperatures, AbortBeforeTheNextStepKeepsWhatWasRead) {
    TempDir dir;
    Extraction e;
    Open(e, dir.Write("t.out", ThermalListing(6, 5)));
    e.Host.OnProgress = [&](std::size_t count) {
        if (count == 3) e.Host.AbortRequested = true;  // the close request comes during step 3
    };
    Extract(e, {1, 2, 3, 4, 5});
    EXPECT_EQ(e.Host.Reports.size(), 3u);
    EXPECT_FLOAT_EQ(e.Table.At(6, 3), static_cast<float>(300.6)) << "step 3 is read to its end";
    EXPECT_EQ(e.Table.At(1, 4), 0.0f);
    EXPECT_TRUE(e.Host.Messages.empty());
}

TEST(ReadTemperatures, FailuresShowNumberAndDescriptionWithoutIcon) {
    TempDir dir;
    Extraction e;
    // The last step has no table: the search runs to the end of the file.
    std::string bytes = ThermalListing(3, 2) + "   TIME = 999\r\nno table\r\n";
    Open(e, dir.Write("t.out", bytes));
    ASSERT_EQ(e.Model.TimeCount, 3);
    Extract(e, {1, 3, 2});
    ASSERT_EQ(e.Host.MessageTexts(), std::vector<std::string>{"62: Input past end of file"});
    EXPECT_EQ(e.Host.Messages[0].Icon, MsgIcon::None);
    EXPECT_FLOAT_EQ(e.Table.At(3, 1), 100.3f);
    EXPECT_EQ(e.Table.At(3, 3), 0.0f) << "nothing after the failure is read";

    Extraction none;
    Open(none, dir.Write("t2.out", ThermalListing(3, 1)));
    Extract(none, {});
    EXPECT_EQ(none.Host.MessageTexts(), std::vector<std::string>{"9: Subscript out of range"});
}

TEST(ReadTemperatures, The32767thNodeOverflowsTheNodeCounter) {
    TempDir dir;
    Extraction e;
    Open(e, dir.Write("big.out", ThermalListing(32767, 1)));
    Extract(e, {1});
    EXPECT_EQ(e.Host.MessageTexts(), std::vector<std::string>{"6: Overflow"});
    EXPECT_FLOAT_EQ(e.Table.At(32767, 1), static_cast<float>(100 + 32767 / 10.0));
}

}  // namespace
}  // namespace vx
