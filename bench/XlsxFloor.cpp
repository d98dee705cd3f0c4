// vorax-bench-xlsx: writes one worksheet of numbers with libxlsxwriter alone, in its
// constant-memory mode, from values held in memory: the least any .xlsx export of that
// many cells can take, for scripts/bench to hold the export against.
//
//   vorax-bench-xlsx OUT ROWS COLUMNS
//
// The numbers are singles like a listing's, given as the doubles nearest to their
// shortest decimals, row after row. Prints the number of bytes written.

#include <xlsxwriter.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "bench/ListingValues.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorax-bench-xlsx OUT ROWS COLUMNS\n");
        return 2;
    }
    const long rows = std::strtol(argv[2], nullptr, 10);
    const long columns = std::strtol(argv[3], nullptr, 10);
    if (rows < 1 || rows > 1048576 || columns < 1 || columns > 16384) {
        std::fprintf(stderr, "vorax-bench-xlsx: at most 1048576 rows and 16384 columns\n");
        return 2;
    }
    // The numbers as the export gives them to libxlsxwriter: each single of a listing as
    // the double nearest to its shortest decimal.
    std::vector<double> values;
    for (float single : vx::bench::ListingValues(4093)) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, single).ptr;
        std::from_chars(text, end, values.emplace_back());
    }
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(argv[1], &options);
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, "Sheet1") : nullptr;
    if (!sheet) {
        std::fprintf(stderr, "vorax-bench-xlsx: cannot start %s\n", argv[1]);
        return 1;
    }
    std::size_t next = 0;
    for (long r = 0; r < rows; ++r) {
        for (long c = 0; c < columns; ++c) {
            worksheet_write_number(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                   values[next], nullptr);
            if (++next == values.size()) next = 0;
        }
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) {
        std::fprintf(stderr, "vorax-bench-xlsx: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(std::filesystem::file_size(argv[1])));
    return 0;
}
