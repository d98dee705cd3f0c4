// The .xls writer: the bytes of every record and the values it refuses, files as wholes
// (creating, completing and closing them, the failures the system reports), whole sheets
// against the shared reference samples, and the rounding every number goes through.
#include "biff/ExcelFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>

#include "tests/support/Failures.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;

// "04 00 0C" -> the three bytes.
std::string Hex(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3)
        out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return out;
}

const std::string kEmptySheet = Hex("09 00 04 00 02 00 0A 00 0A 00 00 00");

// What `body` writes between the BOF and the EOF of a new file.
std::string RecordsWrittenBy(const std::function<void(ExcelFile&)>& body) {
    TempDir dir;
    {
        ExcelFile f;
        EXPECT_TRUE(f.CreateFile(dir.Path() / "out.xls"));
        body(f);
        EXPECT_TRUE(f.CloseFile());
    }
    const std::string bytes = ReadBytes(dir.Path() / "out.xls");
    EXPECT_EQ(bytes.substr(0, 8) + bytes.substr(bytes.size() - 4), kEmptySheet);
    return bytes.substr(8, bytes.size() - 12);
}

std::string LeDouble(double value) {
    std::string out;
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>(std::bit_cast<std::uint64_t>(value) >> (8 * i)));
    return out;
}

constexpr double kInf = std::numeric_limits<double>::infinity();
const std::string kCell = "00 00 00 00 00 00 00 ";  // row 1, column 1, attributes 0
using Call = std::function<bool(ExcelFile&)>;

std::string Number(double stored) {
    return Hex("03 00 0F 00 " + kCell) + LeDouble(stored);
}
std::string Integer(const std::string& stored) {
    return Hex("02 00 09 00 " + kCell + stored);
}

Call Cell(std::int32_t type, CellValue value, std::int32_t row = 1, std::int32_t col = 1) {
    return [=](ExcelFile& f) { return f.WriteValue(type, 0, 0, 0, row, col, value); };
}

// Labels, numbers, integers and the font as the reference samples hold them are compared
// byte for byte below (ExcelFileSheets); here, what those samples do not reach.
TEST(ExcelFileRecords, BytesOfEveryRecordNoneWithoutAnOpenFile) {
    const std::string password(32767, 'p');
    const struct {
        Call call;
        std::string bytes;
    } cases[] = {
        {[](ExcelFile& f) { return f.WriteValue(0, 0xC1, 3, 0x40, 2, 3, -1); },
         Hex("02 00 09 00 01 00 02 00 40 C1 03 FF FF")},
        {Cell(2, std::string("\x80\xB2\0", 3)), Hex("04 00 0B 00 " + kCell + "03 80 B2 00")},
        // A number asked for as text reads the same in every locale.
        {Cell(2, 1e20), Hex("04 00 0D 00 " + kCell + "05") + "1E+20"},
        {Cell(2, -0.0), Hex("04 00 09 00 " + kCell + "01") + "0"},
        {Cell(2, 0.1f), Hex("04 00 19 00 " + kCell + "11") + "0.100000001490116"},
        // Rows and columns: less one, modulo 65536.
        {Cell(0, 0, 32768, 256), Hex("02 00 09 00 FF 7F FF 00 00 00 00 00 00")},
        {Cell(0, 0, 32769, 65536), Hex("02 00 09 00 00 80 FF FF 00 00 00 00 00")},
        {Cell(0, 0, -32767, 65536 + 32767), Hex("02 00 09 00 00 80 FE 7F 00 00 00 00 00")},
        // Numbers from singles and texts at six decimals; integers rounded half to even.
        {Cell(1, 0.1f), Number(0.1)},
        {Cell(1, " -1.25e2 "), Number(-125.0)},
        {Cell(1, "1e-400"), Number(0.0)},
        {[](ExcelFile& f) {
             for (double v : {2.5, 3.5, -2.5, -32768.5, 32767.4}) f.WriteValue(0, 0, 0, 0, 1, 1, v);
             return f.WriteValue(0, 0, 0, 0, 1, 1, "+12.5");
         },
         Integer("02 00") + Integer("04 00") + Integer("FE FF") + Integer("00 80") +
             Integer("FF 7F") + Integer("0C 00")},
        {Cell(3, 1.0), ""},
        {Cell(-1, "x"), ""},
        {[](ExcelFile& f) { return f.SetFont("", 1638, 255) && f.SetFont("A", -1638, 9); },
         Hex("31 00 05 00 F8 7F FF 00 00 31 00 06 00 08 80 09 00 01") + "A"},
        {[](ExcelFile& f) { return f.SetColumnWidth(1, 3, 12) && f.SetColumnWidth(255, 2, -128); },
         Hex("24 00 04 00 00 02 00 0C 24 00 04 00 FE 01 00 80")},
        {[](ExcelFile& f) { return f.SetHeader("Page"); }, Hex("14 00 05 00 04") + "Page"},
        {[](ExcelFile& f) { return f.SetFooter(""); }, Hex("15 00 01 00 00")},
        {[](ExcelFile& f) { return f.SetMargin(0x26, 0.75) && f.SetMargin(-1, -2.5); },
         Hex("26 00 08 00 ") + LeDouble(0.75) + Hex("FF FF 08 00") + LeDouble(-2.5)},
        {[](ExcelFile& f) { return f.PrintGridLines(true), f.PrintGridLines(false), true; },
         Hex("2B 00 02 00 01 00 2B 00 02 00 00 00")},
        {[](ExcelFile& f) { return f.ProtectSpreadsheet(true), f.ProtectSpreadsheet(false), true; },
         Hex("12 00 02 00 01 00 12 00 02 00 00 00")},
        {[&](ExcelFile& f) { return f.SetFilePassword("abc") && f.SetFilePassword(password); },
         Hex("2F 00 03 00") + "abc" + Hex("2F 00 FF 7F") + password},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(RecordsWrittenBy([&](ExcelFile& f) { EXPECT_TRUE(cases[i].call(f)); }),
                  cases[i].bytes)
            << "case " << i;
        // Whatever writes a record needs an open file: the first call of the case refuses.
        ExcelFile closed;
        if (!cases[i].bytes.empty()) {
            EXPECT_EQ(FailureOf([&] { cases[i].call(closed); }), fail::BadFileNameOrNumber)
                << "case " << i;
        }
    }
}

// What the sheets could bring: a row or column out of the fields' range, a label too
// long, a number that is no number. (The bounds of the other records' arguments are the
// API's own; the program writes them with fixed values.)
TEST(ExcelFileRecords, RefusedValuesWriteNothing) {
    const struct {
        Call call;
        int number;
    } cases[] = {
        {Cell(1, 1.0, -32768), fail::Overflow},
        {Cell(2, "x", 1, 65536 + 32768), fail::Overflow},
        {Cell(3, 1.0, 0, std::numeric_limits<std::int32_t>::min()), fail::Overflow},
        {[](ExcelFile& f) { return f.WriteValue(2, 0, 0, 300, 1, 1, 1); }, fail::Overflow},
        {Cell(0, 32767.5), fail::Overflow},
        {Cell(0, -32768.6), fail::Overflow},
        {Cell(0, std::nan("")), fail::Overflow},
        {Cell(1, "1e400"), fail::Overflow},
        {Cell(1, kInf), fail::TypeMismatch},
        {Cell(2, std::string(256, 'x')), fail::Overflow},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        int number = 0;
        EXPECT_EQ(
            RecordsWrittenBy([&](ExcelFile& f) { number = FailureOf([&] { cases[i].call(f); }); }),
            "")
            << "case " << i;
        EXPECT_EQ(number, cases[i].number) << "case " << i;
    }
    // Texts a C library would read as numbers, or read in part.
    for (const char* text : {"", "1 2", "1,5", "0x10", "inf", "nan"})
        for (std::int32_t type : {0, 1})
            EXPECT_EQ(
                FailureOf([&] { RecordsWrittenBy([&](ExcelFile& f) { Cell(type, text)(f); }); }),
                fail::TypeMismatch)
                << type << " '" << text << "'";
}

// A later, faster rounding must keep giving what "%.6f" read back by strtod gives in
// the "C" locale: exact ties at the seventh decimal, signed zeros, extreme magnitudes.
TEST(RoundToSixDecimals, AgreesWithTheCLibraryRoundTrip) {
    auto check = [](double value) {
        char text[400];
        std::snprintf(text, sizeof text, "%.6f", value);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(RoundToSixDecimals(value)),
                  std::bit_cast<std::uint64_t>(std::strtod(text, nullptr)))
            << std::hexfloat << value;
    };
    for (double v : {0.0, -0.0, 0.0000005, -0.0000005, 1.0000005, 2.5e-7, 9007199254740993.0, 1e22,
                     std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::max()})
        check(v);
    for (int k = -200001; k < 200000; k += 2) check(k / 128.0);  // ties: 0.0078125 ...
    std::mt19937_64 random(20261205);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-12, 20);
    std::uniform_int_distribution<std::uint64_t> bits;
    for (int i = 0; i < 200000; ++i) {
        const double v = mantissa(random) * std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
        check(v);
        check(static_cast<float>(v));
        if (const double any = std::bit_cast<double>(bits(random));
            i % 10 == 0 && std::isfinite(any))
            check(any);
    }
}

TEST(ExcelFileLifecycle, CreatingClosingAndNamesThatCannotBeCreated) {
    TempDir dir;
    const auto file = dir.Write("a.xls", std::string(100000, 'Z'));
    ExcelFile f;
    EXPECT_TRUE(f.CreateFile(file));  // leaves nothing of the larger file before
    EXPECT_TRUE(f.CloseFile());
    EXPECT_EQ(FailureOf([&] { f.CloseFile(); }), fail::BadFileNameOrNumber);
    EXPECT_EQ(ReadBytes(file), kEmptySheet);
    // A file the writer is destroyed with is completed: AVectorBeyondTheTableStopsTheSheetThere
    // (WorksheetTest). Names that cannot be created; a pipe or a device, a read-only folder
    // and a sheet another program holds are tried through the whole export (ReliabilityTest,
    // OutputFaults), where their messages show.
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

TEST(ExcelFileSheets, MatchTheReferenceSamplesByteForByte) {
    const fs::path tools = SharedDir() / "tools";
    if (!fs::exists(tools / "gen-biff2-samples")) GTEST_SKIP() << "no BIFF2 tools in " << tools;
    TempDir dir;
    const auto samples = test::Run("python3 " + Quote((tools / "gen-biff2-samples").string()) +
                                   " " + Quote(dir.Path().string()));
    ASSERT_EQ(samples.Status, 0) << samples.Err;
    // Rows and columns past their limits, and the records the reference samples lack, are
    // compared byte for byte above.
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
}

}  // namespace
}  // namespace vx::test
