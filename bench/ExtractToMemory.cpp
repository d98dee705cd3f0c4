// vorax-bench-extract: opens a listing and extracts one request into memory, as
// voraxextract-cli export does before it writes its sheet, and writes nothing. The
// yardstick of the Python module's values(): the same work without Python.
//
//   vorax-bench-extract LISTING VARIABLE [VECTOR]
//
// The request: every item of the variable at every step. Prints the seconds from the
// opening to the last value read and the kilobytes of the value table.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include <variant>

#include "export/ExportPlan.h"
#include "extraction/Extraction.h"
#include "reader/Reader.h"

namespace {

class Quiet : public vx::NoticeService, public vx::ProgressService {
public:
    void Show(const vx::Notice& notice) override {
        std::fprintf(stderr, "%s\n", notice.Text.c_str());
    }
    void UpdateProgress(float, std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: vorax-bench-extract LISTING VARIABLE [VECTOR]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Quiet host;
    std::atomic<bool> abort = false;
    vx::Services services{host, host, abort};
    vx::OutputFileModel model;
    model.FilePath = argv[1];
    model.Reset();
    if (vx::ReadOutputFile(model, services).Failed()) return 1;

    vx::ExportRequest wanted;
    wanted.Variable = argv[2];
    if (argc == 4) wanted.VectorKinds = {{argv[3], std::nullopt}};
    wanted.Items = vx::EveryItem{};
    wanted.Steps = vx::EveryStep{};
    const vx::Planned planned = vx::PlanExport(model, wanted);
    if (const auto* refused = std::get_if<vx::Refusal>(&planned)) {
        std::fprintf(stderr, "vorax-bench-extract: %s\n", refused->Reason.c_str());
        return 2;
    }
    const vx::ExtractionRequest& request = std::get<vx::ExportPlan>(planned).Readings.front();
    vx::ValueTable table;
    const vx::Outcome outcome = vx::ExtractValues(model, request, table, services);
    if (outcome.Failed() || outcome.Stopped) return 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double kilobytes = static_cast<double>(request.Vectors.size()) *
                             static_cast<double>(request.SelectedTimes.size()) * sizeof(float) /
                             1024.0;
    std::printf("%.4f %.0f\n", seconds, kilobytes);
    return 0;
}
