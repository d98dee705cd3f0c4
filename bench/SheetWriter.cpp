// vorax-bench-sheet: writes one worksheet of numbers with the BIFF writer alone, as the
// export does (NUMBER records, font 0, left aligned), so that scripts/bench can time it
// against writing the same number of bytes with dd.
//
//   vorax-bench-sheet OUT [ROWS [COLUMNS]]     (65535 x 255 by default)
//
// Prints the number of bytes written.

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <vector>

#include "bench/ListingValues.h"
#include "biff/ExcelFile.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: vorax-bench-sheet OUT [ROWS [COLUMNS]]\n");
        return 2;
    }
    const long rows = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 65535;
    const long columns = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 255;
    if (rows < 1 || rows > 65535 || columns < 1 || columns > 255) {
        std::fprintf(stderr, "vorax-bench-sheet: at most 65535 rows and 255 columns\n");
        return 2;
    }
    const std::vector<float> values = vx::bench::ListingValues(4093);
    try {
        vx::ExcelFile file;
        file.CreateFile(argv[1]);
        std::size_t next = 0;
        for (long r = 1; r <= rows; ++r) {
            for (long c = 1; c <= columns; ++c) {
                file.WriteValue(1, 0, 1, 0, static_cast<std::int32_t>(r),
                                static_cast<std::int32_t>(c), static_cast<double>(values[next]));
                if (++next == values.size()) next = 0;
            }
        }
        file.CloseFile();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorax-bench-sheet: %s\n", e.what());
        return 1;
    }
    std::printf("%llu\n", static_cast<unsigned long long>(std::filesystem::file_size(argv[1])));
    return 0;
}
