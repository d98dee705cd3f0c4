// The bytes of every record, and the values the writer refuses.

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

#include "tests/biff/BiffTestSupport.h"

namespace vx::test {
namespace {

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

// Labels, numbers, integers and the font as the reference sheets hold them are compared
// byte for byte there (ExcelFileSheets); here, what those sheets do not reach.
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

TEST(ExcelFileRecords, RefusedValuesWriteNothing) {
    const std::string long256(256, 'x');
    const struct {
        Call call;
        int number;
    } cases[] = {
        {Cell(1, 1.0, -32768), fail::Overflow},
        {Cell(2, "x", 1, 65536 + 32768), fail::Overflow},
        {Cell(3, 1.0, 0, std::numeric_limits<std::int32_t>::min()), fail::Overflow},
        {[](ExcelFile& f) { return f.WriteValue(0, 256, 0, 0, 1, 1, 1); }, fail::Overflow},
        {[](ExcelFile& f) { return f.WriteValue(1, 0, -1, 0, 1, 1, 1); }, fail::Overflow},
        {[](ExcelFile& f) { return f.WriteValue(2, 0, 0, 300, 1, 1, 1); }, fail::Overflow},
        {Cell(0, 32767.5), fail::Overflow},
        {Cell(0, -32768.6), fail::Overflow},
        {Cell(0, std::nan("")), fail::Overflow},
        {Cell(1, "1e400"), fail::Overflow},
        {Cell(1, kInf), fail::TypeMismatch},
        {Cell(1, std::nan("")), fail::TypeMismatch},
        {Cell(2, long256), fail::Overflow},
        {[&](ExcelFile& f) { return f.SetFont(long256, 10, 0); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetFont("Arial", 1639, 0); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetFont("Arial", -1639, 0); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetFont("Arial", 10, 256); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetColumnWidth(0, 3, 12); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetColumnWidth(1, 0, 12); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetColumnWidth(1, 3, 128); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetColumnWidth(1, 3, -129); }, fail::Overflow},
        {[&](ExcelFile& f) { return f.SetHeader(long256); }, fail::Overflow},
        {[&](ExcelFile& f) { return f.SetFooter(long256); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetMargin(32768, 1.0); }, fail::Overflow},
        {[](ExcelFile& f) { return f.SetFilePassword(std::string(32768, 'p')); }, fail::Overflow},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        int number = 0;
        EXPECT_EQ(
            RecordsWrittenBy([&](ExcelFile& f) { number = FailureOf([&] { cases[i].call(f); }); }),
            "")
            << "case " << i;
        EXPECT_EQ(number, cases[i].number) << "case " << i;
    }
    for (const char* text :
         {"", "  ", "abc", "1e", "1.2.3", "--1", "0x10", "1,5", "1 2", ".", "e5", "inf", "nan"})
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

}  // namespace
}  // namespace vx::test
