// Files as wholes: creating, completing and closing them, the failures the system
// reports, and whole sheets against the shared reference tools.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <vector>

#include "tests/biff/BiffTestSupport.h"
#include "tests/support/Tools.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;

TEST(ExcelFileLifecycle, CreatingClosingCompletingAndNamesThatCannotBeCreated) {
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

    // Names that cannot be created. A pipe or a device, a read-only folder and a sheet
    // another program holds are tried through the whole export (ReliabilityTest,
    // OutputFaults), where their messages show.
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
    auto row = [&](std::int32_t type, std::int32_t r, const std::vector<CellValue>& values) {
        std::int32_t col = 1;
        for (const auto& v : values) cells.push_back({type, r, col++, v});
    };
    if (name == "small") {
        std::string digits;
        for (int i = 1; i < 256; ++i) digits.push_back(static_cast<char>('0' + i % 10));
        cells = {{kLabel, 1, 1, "Variable"},
                 {kLabel, 2, 1, "Vector"},
                 {kLabel, 1, 2, "Displacements"},
                 {kLabel, 2, 2, "DOF1"}};
        row(kLabel, 3,
            {"Time", "Node 12", "", "Stress N/mm\xB2",
             "T \xB0"
             "C caf\xE9",
             "\x80 5", "a,b \"q\"", digits});
        row(kNumber, 4, {0.0, 1.23456789, -1.5, -0.0000004, 0.0000004, 2.0000006, -0.000001, 0.1});
        row(kNumber, 5,
            {123456.789, 12345678.901235, -98765432.123456, 1e15, 1e20,
             double{-std::numeric_limits<float>::max()}, 60.0, 1e-6});
    } else if (name == "integers") {
        row(kInteger, 1, {0, 1, -1, 32767, -32768, 1234});
    }
    return cells;
}

TEST(ExcelFileSheets, MatchTheReferenceAndPassTheStrictReader) {
    const fs::path tools = SharedDir() / "tools";
    if (!HaveXlsDump() || !fs::exists(tools / "gen-biff2-samples"))
        GTEST_SKIP() << "no BIFF2 tools in " << tools;
    TempDir dir;
    const auto samples = test::Run("python3 " + Quote((tools / "gen-biff2-samples").string()) +
                                   " " + Quote(dir.Path().string()));
    ASSERT_EQ(samples.Status, 0) << samples.Err;
    // Rows and columns past their limits are tried record by record (ExcelFileRecordsTest).
    for (const char* name : {"empty", "small", "integers"}) {
        ExcelFile f;
        f.CreateFile(dir.Path() / "ours.xls");
        f.SetFont("Arial", 10, 0);
        for (const SampleCell& c : SampleCells(name))
            f.WriteValue(c.type, 0, 1, 0, c.row, c.col, c.value);
        f.CloseFile();
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
        // Exact ties at the seventh decimal (1/128, 3/128) go to the even millionth.
        f.WriteValue(1, 0, 1, 0, 2, 2, 0.0078125);
        f.WriteValue(1, 0, 1, 0, 2, 3, -0.0234375);
    }
    const auto dump = test::Run("PYTHONIOENCODING=utf-8 python3 " +
                                Quote((tools / "xls-dump").string()) + " " + Quote(all.string()));
    EXPECT_EQ(dump.Status, 0) << dump.Err;
    EXPECT_EQ(dump.Out,
              "1\t1\tinteger\t-7\n1\t2\tnumber\t2.5\n1\t3\tlabel\t42\n"
              "2\t1\tlabel\t\u20AC \u00B2\n2\t2\tnumber\t0.007812\n2\t3\tnumber\t-0.023438\n");
}

}  // namespace
}  // namespace vx::test
