// Files as wholes: creating, completing and closing them, the failures the system
// reports, and whole sheets against the shared reference tools.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <vector>

#include "tests/biff/BiffTestSupport.h"
#include "tests/support/Tools.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;

TEST(ExcelFileLifecycle, CreatingClosingAndCompleting) {
    TempDir dir;
    const auto file = dir.Write("a.xls", std::string(100000, 'Z'));
    const auto other = dir.Path() / "b.xls";
    {
        ExcelFile f;
        EXPECT_TRUE(f.CreateFile(file));  // leaves nothing of the larger file before
        EXPECT_TRUE(f.CloseFile());
        EXPECT_EQ(ReadBytes(file), kEmptySheet);
        EXPECT_EQ(FailureOf([&] { f.CloseFile(); }), fail::BadFileNameOrNumber);
        EXPECT_EQ(ReadBytes(file), kEmptySheet);
        f.CreateFile(file);
        f.SetHeader("x");
        f.CreateFile(other);  // completes the first file
        f.SetFooter("y");
    }  // and the destructor the second
    EXPECT_EQ(ReadBytes(file), Hex("09 00 04 00 02 00 0A 00 14 00 02 00 01 78 0A 00 00 00"));
    EXPECT_EQ(ReadBytes(other), Hex("09 00 04 00 02 00 0A 00 15 00 02 00 01 79 0A 00 00 00"));
}

// A pipe or a device, a read-only folder and a sheet another program holds are tried
// through the whole export (ReliabilityTest, OutputFaults), where their messages show.
TEST(ExcelFileLifecycle, NamesThatCannotBeCreated) {
    TempDir dir;
    ExcelFile f;
    EXPECT_EQ(FailureOf([&] { f.CreateFile(""); }), fail::BadFileNameOrNumber);
    EXPECT_EQ(FailureOf([&] { f.CreateFile("/dev/full/x.xls"); }), fail::PathNotFound);
    EXPECT_EQ(FailureOf([&] { f.CreateFile(dir.Path() / "missing" / "x.xls"); }),
              fail::FileNotFound);
    EXPECT_EQ(FailureOf([&] { f.CreateFile(dir.Path()); }), fail::PathFileAccessError);
    EXPECT_EQ(FailureOf([&] { f.CloseFile(); }), fail::BadFileNameOrNumber);
}

// Runs `attempt` in a child process whose writes fail with EFBIG (disk full) past
// `limit` bytes, and returns the failure number it met (0 none, 255 no limit set).
int FailureWithFileSizeLimit(rlim_t limit, const std::function<void()>& attempt) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit bytes = {limit, limit};
        int number = 255;
        try {
            if (::setrlimit(RLIMIT_FSIZE, &bytes) == 0) number = (attempt(), 0);
        } catch (const Failure& failure) {
            number = failure.Number();
        }
        ::_exit(number);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
               ? WEXITSTATUS(status)
               : -1;
}

TEST(ExcelFileLifecycle, WriteFailuresReachTheCallDuringWhichTheyHappen) {
    TempDir dir;
    const auto file = dir.Path() / "full.xls";
    // Cells fill the buffer; the call that sends it to the full file fails.
    auto fill = [&] {
        ExcelFile f;
        f.CreateFile(file);
        for (int i = 1; i < 100000; ++i) f.WriteValue(1, 0, 1, 0, i, 1, 0.5);
    };
    EXPECT_EQ(FailureWithFileSizeLimit(1000, fill), fail::DiskFull);
    // What is still buffered at the end is refused in CloseFile, which closes all the same.
    auto closeTwice = [&] {
        ExcelFile f;
        f.CreateFile(file);
        f.WriteValue(2, 0, 1, 0, 1, 1, "more than ten bytes");
        if (FailureOf([&] { f.CloseFile(); }) != fail::DiskFull) return;
        f.CloseFile();
    };
    EXPECT_EQ(FailureWithFileSizeLimit(10, closeTwice), fail::BadFileNameOrNumber);
    EXPECT_EQ(fs::file_size(file), 10u);
}

struct SampleCell {
    std::int32_t type, row, col;
    CellValue value;
};
constexpr std::int32_t kInteger = 0, kNumber = 1, kLabel = 2;

// The sheets of gen-biff2-samples, cell for cell.
std::vector<SampleCell> SampleCells(const std::string& name) {
    std::vector<SampleCell> cells;
    if (name == "small") {
        std::string digits;
        for (int i = 1; i < 256; ++i) digits.push_back(static_cast<char>('0' + i % 10));
        cells = {{kLabel, 1, 1, "Variable"},
                 {kLabel, 2, 1, "Vector"},
                 {kLabel, 1, 2, "Displacements"},
                 {kLabel, 2, 2, "DOF1"},
                 {kLabel, 3, 1, "Time"},
                 {kLabel, 3, 2, "Node 12"},
                 {kLabel, 3, 3, ""},
                 {kLabel, 3, 4, "Stress N/mm\xB2"},
                 {kLabel, 3, 5,
                  "T \xB0"
                  "C caf\xE9"},
                 {kLabel, 3, 6, "\x80 5"},
                 {kLabel, 3, 7, "a,b \"q\""},
                 {kLabel, 3, 8, digits}};
        int col = 1;
        for (double v : {0.0, 1.23456789, -1.5, -0.0000004, 0.0000004, 2.0000006, -0.000001, 0.1})
            cells.push_back({kNumber, 4, col++, v});
        col = 1;
        for (double v : {123456.789, 12345678.901235, -98765432.123456, 1e15, 1e20,
                         double{-std::numeric_limits<float>::max()}, 60.0, 1e-6})
            cells.push_back({kNumber, 5, col++, v});
    } else if (name == "integers") {
        int col = 1;
        for (int v : {0, 1, -1, 32767, -32768, 1234}) cells.push_back({kInteger, 1, col++, v});
    }
    return cells;
}

void WriteSheet(const fs::path& file, const std::vector<SampleCell>& cells) {
    ExcelFile f;
    f.CreateFile(file);
    f.SetFont("Arial", 10, 0);
    for (const SampleCell& c : cells) f.WriteValue(c.type, 0, 1, 0, c.row, c.col, c.value);
    f.CloseFile();
}

TEST(ExcelFileSheets, MatchTheReferenceAndPassTheStrictReader) {
    const fs::path tools = SharedDir() / "tools";
    if (!fs::exists(tools / "gen-biff2-samples") || !fs::exists(tools / "xls-dump"))
        GTEST_SKIP() << "no BIFF2 tools in " << tools;
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    TempDir dir;
    const auto samples = test::Run("python3 " + Quote((tools / "gen-biff2-samples").string()) + " " +
                             Quote(dir.Path().string()));
    ASSERT_EQ(samples.Status, 0) << samples.Err;
    // Rows and columns past their limits are tried record by record (ExcelFileRecordsTest).
    for (const char* name : {"empty", "small", "integers"}) {
        WriteSheet(dir.Path() / "ours.xls", SampleCells(name));
        const std::string ours = ReadBytes(dir.Path() / "ours.xls");
        const std::string reference = ReadBytes(dir.Path() / (std::string(name) + ".xls"));
        EXPECT_EQ(ours.size(), reference.size()) << name;
        EXPECT_TRUE(ours == reference)
            << name << ": first difference at byte "
            << std::mismatch(ours.begin(), ours.end(), reference.begin()).first - ours.begin();
    }
    // The strict reader takes every kind of record and sees the cells we meant.
    const fs::path all = dir.Path() / "all.xls";
    {
        ExcelFile f;
        f.CreateFile(all);
        f.SetFont("Courier New", 12, 3);
        f.SetHeader("&F");
        f.SetFooter("Page &P");
        for (std::int32_t margin = 0x26; margin <= 0x29; ++margin) f.SetMargin(margin, 0.5);
        f.SetColumnWidth(1, 4, 20);
        f.PrintGridLines(true);
        f.ProtectSpreadsheet(false);
        f.SetFilePassword("secret");
        f.WriteValue(0, 0, 1, 0, 1, 1, -7);
        f.WriteValue(1, 0, 1, 0, 1, 2, "2.5");
        f.WriteValue(2, 0, 1, 0, 1, 3, 42);
        f.WriteValue(2, 0, 1, 0, 2, 1, "\x80 \xB2");
    }
    const auto dump = test::Run("PYTHONIOENCODING=utf-8 python3 " + Quote((tools / "xls-dump").string()) + " " +
                          Quote(all.string()));
    EXPECT_EQ(dump.Status, 0) << dump.Err;
    EXPECT_EQ(dump.Out, "1\t1\tinteger\t-7\n1\t2\tnumber\t2.5\n1\t3\tlabel\t42\n"
                        "2\t1\tlabel\t\u20AC \u00B2\n");
}

}  // namespace
}  // namespace vx::test
