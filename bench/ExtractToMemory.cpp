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

#include "export/Worksheet.h"
#include "reader/Reader.h"
#include "scripting/ScriptRequest.h"

namespace {

class Quiet : public vx::MessageBoxService, public vx::ProgressService {
public:
    vx::MsgAnswer MsgBox(std::string_view prompt, vx::MsgButtons, vx::MsgIcon) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(prompt.size()), prompt.data());
        ++Shown;
        return vx::MsgAnswer::Ok;
    }
    void UpdateProgress(float, std::string_view) override {}
    int Shown = 0;
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
    vx::ReadOutputFile(model, services);

    vx::ScriptChoice choice;
    choice.Variable = argv[2];
    if (argc == 4) choice.VectorKind = argv[3];
    choice.EveryItem = true;
    choice.TimeSource = vx::ScriptChoice::Times::All;
    vx::ExtractionRequest request;
    std::string reason;
    if (!vx::BuildScriptRequest(model, choice, request, reason)) {
        std::fprintf(stderr, "vorax-bench-extract: %s\n", reason.c_str());
        return 2;
    }
    vx::ValueTable table;
    if (!vx::ExtractValues(model, request, table, services) || host.Shown) return 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double kilobytes = static_cast<double>(request.Vectors.size()) *
                             static_cast<double>(request.SelectedTimes.size()) * sizeof(float) /
                             1024.0;
    std::printf("%.4f %.0f\n", seconds, kilobytes);
    return 0;
}
