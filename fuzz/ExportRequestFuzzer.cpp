// The request building of Save from the From, To and Step boxes and the hidden list:
// any texts, any counts. Whatever the boxes hold, a request that is let through must be
// one the extraction and the layout can serve.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportPlan.h"
#include "extraction/Variables.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx;
    FuzzedDataProvider in(data, size);

    OutputFileModel model;
    model.AnalysisType = in.PickValueInArray({AnalysisThermal, AnalysisStatic, AnalysisDynamic});
    model.Ndim = in.ConsumeBool() ? 2 : 3;
    model.NodeCount = in.ConsumeIntegral<std::int32_t>();
    model.TrussCount = in.ConsumeIntegral<std::int16_t>();
    model.BeamCount = in.ConsumeIntegral<std::int16_t>();
    model.ShellCount = in.ConsumeIntegral<std::int16_t>();
    model.SoilCount = in.ConsumeIntegral<std::int16_t>();
    model.FiberCount = in.ConsumeIntegral<std::int16_t>();
    model.BeamPointCount = in.ConsumeIntegralInRange<std::int16_t>(0, 4);
    model.ShellSurfaceCount = in.ConsumeIntegralInRange<std::int16_t>(0, 4);
    model.HasTemperatures = model.HasDisplacements = model.HasBeamForces = model.HasTrussForces =
        model.HasMembraneForces = model.HasBendingForces = model.HasSoilForces = true;
    const auto variables = AllVariables();
    const std::string variable =
        in.ConsumeBool()
            ? std::string(
                  variables[in.ConsumeIntegralInRange<std::size_t>(0, variables.size() - 1)].Name)
            : in.ConsumeRandomLengthString(24);
    const auto selectedCount = in.ConsumeIntegralInRange<std::size_t>(0, 40000);
    const std::string from = in.ConsumeRandomLengthString(32);
    const std::string to = in.ConsumeRandomLengthString(32);
    const std::string step = in.ConsumeRandomLengthString(32);
    std::vector<std::string> hidden;
    while (in.remaining_bytes() > 0 && hidden.size() < 8)
        hidden.push_back(in.ConsumeRandomLengthString(16));

    const auto refused = SaveRefusal(variable, from, to, step, selectedCount, model);
    const bool ready = !refused;
    VX_FUZZ_CHECK(ready || !refused->Reason.empty());

    const std::vector<std::int16_t> before = {-7};
    std::vector<std::int16_t> vectors = before;
    std::string reason;
    const bool built = BuildVectors(variable, from, to, step, vectors, reason);
    if (!built) {
        VX_FUZZ_CHECK(vectors == before);  // a refused run leaves the previous list
        VX_FUZZ_CHECK(!reason.empty());
    } else {
        VX_FUZZ_CHECK(!vectors.empty() && vectors.size() <= 32767);
        if (variable == var::EigenValues) VX_FUZZ_CHECK(vectors == std::vector<std::int16_t>{1});
        // With the boxes that the readiness rule lets through, every vector is a record
        // of the block, except the entries that the loop leaves unfilled at the end of the
        // list (From 1.6, To 2.4 counts two vectors but steps through one; From 3, To 1,
        // Step 3 counts one and steps through none); those hold 0.
        if (ready && variable != var::EigenValues) {
            const std::int16_t bound = UpperBound(variable, model);
            auto unfilled = std::find(vectors.begin(), vectors.end(), 0);
            for (auto v = vectors.begin(); v != unfilled; ++v)
                VX_FUZZ_CHECK(*v >= 1 && *v <= bound);
            VX_FUZZ_CHECK(
                std::all_of(unfilled, vectors.end(), [](std::int16_t v) { return v == 0; }));
        }
    }

    std::vector<std::int16_t> times = {-7};
    std::string timesReason;
    if (BuildSelectedTimes(hidden, times, timesReason))
        VX_FUZZ_CHECK(times.size() == hidden.size());
    else
        VX_FUZZ_CHECK(times == std::vector<std::int16_t>{-7} && !timesReason.empty());
    return 0;
}
