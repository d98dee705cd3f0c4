// The cells the row-by-row formats take: texts of any bytes, any doubles and singles, at
// any row and column, in any order. Each call either writes its cell or refuses it with
// one of its documented failures; the CSV text then reads back, by a plain RFC 4180
// reading, to exactly the cells that were written, and the workbook closes.

#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "common/Failure.h"
#include "common/Text.h"
#include "csv/CsvFile.h"
#include "fuzz/FuzzSupport.h"
#include "xlsx/XlsxFile.h"

namespace {

using Place = std::pair<std::int32_t, std::int32_t>;

// The fields of a CSV text, line by line, quotes undone; CR LF ends a line.
std::map<Place, std::string> ReadCsv(std::string_view text) {
    std::map<Place, std::string> fields;
    std::int32_t row = 1, col = 1;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            if (!field.empty()) fields[{row, col}] = field;
            field.clear();
            if (c == ',') {
                ++col;
            } else {
                ++i;
                ++row;
                col = 1;
            }
        } else {
            field += c;
        }
    }
    VX_FUZZ_CHECK(field.empty() && !quoted);
    return fields;
}

bool Refusal(int number) {
    using namespace vx::fail;
    return number == InvalidCall || number == Overflow || number == TypeMismatch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx;
    static std::string folder = [] {
        char name[] = "/tmp/vx-fuzz-sheets-XXXXXX";
        VX_FUZZ_CHECK(::mkdtemp(name) != nullptr);
        return std::string(name);
    }();
    FuzzedDataProvider in(data, size);

    // Closing a workbook zips it, which takes most of the time of an input: one in four
    // is closed, the others given up.
    const bool close = in.ConsumeIntegralInRange(0, 3) == 0;
    CsvText csv(1, in.ConsumeIntegralInRange<std::int32_t>(0, 40));
    std::map<Place, std::string> expected;
    XlsxFile xlsx;
    xlsx.Create(folder + "/sheet.xlsx");
    xlsx.AddSheet(in.ConsumeRandomLengthString(40));
    std::int32_t lastRow = 1;
    int sheets = 1;
    while (in.remaining_bytes() > 0) {
        const int op = in.ConsumeIntegralInRange(0, 3);
        if (op == 3) {
            // Each sheet holds a temporary file open: a few are enough to meet every rule.
            if (++sheets <= 8) xlsx.AddSheet(in.ConsumeRandomLengthString(40));
            continue;
        }
        // Any row and column for the workbook; the CSV, which has no limit, gets them near
        // the last row written, so that one input cannot ask for gigabytes of empty lines.
        std::int32_t row = in.ConsumeIntegral<std::int32_t>();
        std::int32_t col = in.ConsumeIntegral<std::int32_t>();
        const Place near = {lastRow + (row & 7) - 1, (col & 63) - 1};
        const std::string text = in.ConsumeRandomLengthString(64);
        double number = 0;
        const std::uint64_t bits = in.ConsumeIntegral<std::uint64_t>();
        std::memcpy(&number, &bits, sizeof number);
        const float single = static_cast<float>(number);
        std::string written;
        try {
            if (op == 0) {
                csv.Text(near.first, near.second, text);
                written = Latin1ToUtf8(text);
            } else {
                char digits[32];
                auto end = op == 1 ? std::to_chars(digits, digits + 32, single).ptr
                                   : std::to_chars(digits, digits + 32, number).ptr;
                op == 1 ? csv.Number(near.first, near.second, single)
                        : csv.Number(near.first, near.second, number);
                written.assign(digits, end);
            }
            lastRow = near.first;
            if (!written.empty()) expected[near] = written;
        } catch (const Failure& f) {
            VX_FUZZ_CHECK(Refusal(f.Number()));
        }
        try {
            if (op == 0)
                xlsx.Text(row, col, text);
            else if (op == 1)
                xlsx.Number(row, col, single);
            else
                xlsx.Number(row, col, number);
        } catch (const Failure& f) {
            VX_FUZZ_CHECK(Refusal(f.Number()));
        }
    }
    csv.EndLine();
    VX_FUZZ_CHECK(ReadCsv(csv.Bytes()) == expected);
    if (close) xlsx.Close();
    return 0;
}
