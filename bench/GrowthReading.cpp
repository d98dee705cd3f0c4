// vorax-bench-growth: a listing written while it is read. Copies the first half of LISTING
// into OUT, reads it as the window opens it, then appends the rest in PIECES pieces of
// uneven sizes, reading on after each (RefreshOutputFile), and counts the bytes each
// update reads (rchar of /proc/self/io) against the bytes added. scripts/bench prints it.
//
//   vorax-bench-growth LISTING OUT PIECES
//
// Prints "added <bytes> read <bytes> most-beyond <bytes> updates <n> steps <n> same|DIFFERENT"
// (most-beyond: the most one update read beyond what was added; same: the model read on
// equals a reading of the whole file).

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "reader/Reader.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorax-bench-growth LISTING OUT PIECES\n");
        return 2;
    }
    const int pieces = std::max(1, std::atoi(argv[3]));
    std::ifstream in(argv[1], std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::size_t half = bytes.size() / 2;
    std::ofstream(argv[2], std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(half));

    vx::bench::Quiet quiet;
    std::atomic<bool> abort = false;
    vx::Services services{quiet, quiet, abort};
    vx::OutputFileModel model;
    model.FilePath = argv[2];
    vx::ReadOutputFile(model, services);

    std::int64_t added = 0, read = 0, mostBeyond = 0;
    std::size_t at = half;
    for (int i = 0; i < pieces; ++i) {
        // Pieces of uneven sizes, the last one to the end.
        const std::size_t left = bytes.size() - at;
        std::size_t size =
            i + 1 == pieces ? left : left / static_cast<std::size_t>(pieces - i) * (i % 3 + 1) / 2;
        size = std::min(size, left);
        {
            std::ofstream out(argv[2], std::ios::binary | std::ios::app);
            out.write(bytes.data() + at, static_cast<std::streamsize>(size));
        }
        at += size;
        const std::int64_t before = vx::bench::BytesRead();
        vx::RefreshOutputFile(model, services);
        const std::int64_t update = vx::bench::BytesRead() - before;
        added += static_cast<std::int64_t>(size);
        read += update;
        mostBeyond = std::max(mostBeyond, update - static_cast<std::int64_t>(size));
    }
    vx::OutputFileModel whole;
    whole.FilePath = argv[2];
    vx::ReadOutputFile(whole, services);
    std::printf("added %lld read %lld most-beyond %lld updates %d steps %d %s\n",
                static_cast<long long>(added), static_cast<long long>(read),
                static_cast<long long>(mostBeyond), pieces, model.TimeCount,
                model == whole ? "same" : "DIFFERENT");
    return model == whole ? 0 : 1;
}
