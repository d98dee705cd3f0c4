// vorax-bench-late: a listing opened as the window opens it, then one late step read as the
// window then extracts it (Displacements, the first vector kind, every node, the step at
// nine tenths of the listing), each timed in the process; for a compressed listing, also
// the restart points kept and the compressed bytes the step's reading took.
//
//   vorax-bench-late LISTING
//
// Prints "open <s> late-step <s> step <n> bytes-read <bytes> restart-points <n> restart-bytes
// <bytes>".

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "extraction/Extraction.h"
#include "extraction/Variables.h"
#include "reader/CompressedSource.h"
#include "reader/Reader.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorax-bench-late LISTING\n");
        return 2;
    }
    vx::bench::Quiet quiet;
    std::atomic<bool> abort = false;
    vx::Services services{quiet, quiet, abort};
    vx::OutputFileModel model;
    model.FilePath = argv[1];
    auto start = std::chrono::steady_clock::now();
    const vx::Outcome opened = vx::ReadOutputFile(model, services);
    const double open = Since(start);
    const vx::Variable* variable = vx::FindVariable("Displacements");
    if (opened.Failed() || model.TimeCount < 1 || !variable || !vx::Offers(model, *variable)) {
        std::fprintf(stderr, "vorax-bench-late: %s offers no displacements\n", argv[1]);
        return 1;
    }
    vx::ExtractionRequest request;
    request.Variable = "Displacements";
    request.VectorKind = vx::VectorKinds(*variable, model).at(0);
    request.VectorKindIndex = 0;
    for (std::int32_t n = 1; n <= model.NodeCount; ++n)
        request.Vectors.push_back(static_cast<std::int16_t>(n));
    const auto step = static_cast<std::int16_t>(std::max(1, model.TimeCount * 9 / 10));
    request.SelectedTimes = {step};
    vx::ValueTable table;
    const std::int64_t before = vx::bench::BytesRead();
    start = std::chrono::steady_clock::now();
    const vx::Outcome read = vx::ExtractValues(model, request, table, services);
    const double late = Since(start);
    const std::int64_t bytes = vx::bench::BytesRead() - before;
    const vx::RestartPointsHeld held = vx::RestartPointsOf(argv[1]);
    std::printf(
        "open %.3f late-step %.4f step %d bytes-read %lld restart-points %zu restart-bytes %zu\n",
        open, late, step, static_cast<long long>(bytes), held.Points, held.Bytes);
    return read.Failed() ? 1 : 0;
}
