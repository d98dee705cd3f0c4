#include "extraction/Comparison.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <new>
#include <span>
#include <thread>

#include "common/Failure.h"
#include "extraction/Extraction.h"
#include "extraction/StepReading.h"
#include "extraction/Variables.h"

namespace vx {

bool Agree(double a, double b, const Tolerance& tolerance) {
    return std::fabs(a - b) <=
           tolerance.Absolute + tolerance.Relative * std::max(std::fabs(a), std::fabs(b));
}

double Measure(double a, double b, const Tolerance& tolerance) {
    const double difference = std::fabs(a - b);
    if (tolerance.Absolute == 0 && tolerance.Relative == 0) return difference;
    if (difference == 0) return 0;
    return difference /
           (tolerance.Absolute + tolerance.Relative * std::max(std::fabs(a), std::fabs(b)));
}

double RelativeDifference(double a, double b) {
    const double larger = std::max(std::fabs(a), std::fabs(b));
    return larger == 0 ? 0 : std::fabs(a - b) / larger;
}

void Differences::Add(float a, float b, std::int32_t item, std::int32_t step, float time,
                      const Tolerance& tolerance) {
    const double da = a, db = b;
    const double measure = Measure(da, db, tolerance);
    if (Compared == 0 || measure > Worst) {
        Worst = measure;
        Item = item, Step = step, Time = time, A = a, B = b;
    }
    ++Compared;
    MaxAbs = std::max(MaxAbs, std::fabs(da - db));
    MaxRel = std::max(MaxRel, RelativeDifference(da, db));
    if (Agree && !vx::Agree(da, db, tolerance)) Agree = false;
}

bool Comparison::Agree() const {
    return Structure.empty() &&
           std::all_of(Lines.begin(), Lines.end(), [](const auto& l) { return l.Found.Agree; });
}

namespace {

constexpr std::string_view kTimes = "Times";

// Values in hand at once, for each listing: a batch of steps of every compared item.
constexpr std::size_t kBatchBytes = std::size_t{8} << 20;
constexpr std::size_t kMostStepsABatch = 256;

void CompareCount(std::vector<std::string>& structure, std::string_view name, long long a,
                  long long b) {
    if (a != b)
        structure.push_back(std::string(name) + ": " + std::to_string(a) + " in A, " +
                            std::to_string(b) + " in B");
}

std::string OnlyIn(bool inA) {
    return inA ? ": offered by A only" : ": offered by B only";
}

const OfferedVariable* Find(const std::vector<OfferedVariable>& offered, std::string_view name) {
    const auto at = std::find_if(offered.begin(), offered.end(),
                                 [&](const OfferedVariable& v) { return v.Name == name; });
    return at == offered.end() ? nullptr : &*at;
}

// The request that reads one line's values of one listing: the vector kind at its place
// in that listing's list, items 1 to `items`.
ExtractionRequest LineRequest(const ComparedLine& line, const OfferedVariable& offered,
                              std::int32_t items) {
    ExtractionRequest request;
    request.Variable = line.Variable;
    request.VectorKind = line.Vector;
    const auto kind =
        std::find(offered.VectorKinds.begin(), offered.VectorKinds.end(), line.Vector);
    request.VectorKindIndex = kind == offered.VectorKinds.end()
                                  ? std::int16_t{-1}
                                  : static_cast<std::int16_t>(kind - offered.VectorKinds.begin());
    for (std::int32_t i = 1; i <= items; ++i)
        request.Vectors.push_back(static_cast<std::int16_t>(i));
    return request;
}

// The steps of one batch read from one listing: the first failure's notice and the place
// (in the batch) of the step it ended, or none.
struct BatchRead {
    std::optional<Notice> Failed;
    std::size_t FailedAt = 0;
};

BatchRead ReadBatch(StepValues& values, std::int32_t first, std::size_t count,
                    std::vector<float>& into) {
    BatchRead read;
    const std::size_t perStep = values.Count();
    for (std::size_t s = 0; s < count; ++s) {
        const auto step = static_cast<std::int16_t>(first + static_cast<std::int32_t>(s));
        try {
            read.Failed = values.Read(step, std::span(into).subspan(s * perStep, perStep));
        } catch (const std::bad_alloc&) {
            read.Failed = ReadingNotice(Failure(fail::OutOfMemory));
        }
        if (read.Failed) {
            read.FailedAt = s;
            break;
        }
    }
    if (!read.Failed) read.FailedAt = count;
    return read;
}

}  // namespace

std::optional<CompareRefusal> PlanComparison(const OutputFileModel& a, const OutputFileModel& b,
                                             const CompareRequest& request, Comparison& plan) {
    plan = {};
    const std::vector<OfferedVariable> inA = OfferedVariables(a), inB = OfferedVariables(b);
    for (const std::string& name : request.Variables)
        if (!Find(inA, name) && !Find(inB, name))
            return CompareRefusal{"variable '" + name + "' is offered by neither listing"};
    auto looked = [&](std::string_view name) {
        return request.Variables.empty() ||
               std::find(request.Variables.begin(), request.Variables.end(), name) !=
                   request.Variables.end();
    };

    auto& structure = plan.Structure;
    CompareCount(structure, "AnalysisType", a.AnalysisType, b.AnalysisType);
    CompareCount(structure, "Ndim", a.Ndim, b.Ndim);
    CompareCount(structure, "NodeCount", a.NodeCount, b.NodeCount);
    CompareCount(structure, "SolidCount", a.SolidCount, b.SolidCount);
    CompareCount(structure, "TrussCount", a.TrussCount, b.TrussCount);
    CompareCount(structure, "BeamCount", a.BeamCount, b.BeamCount);
    CompareCount(structure, "ShellCount", a.ShellCount, b.ShellCount);
    CompareCount(structure, "SoilCount", a.SoilCount, b.SoilCount);
    CompareCount(structure, "BeamPointCount", a.BeamPointCount, b.BeamPointCount);
    CompareCount(structure, "ShellSurfaceCount", a.ShellSurfaceCount, b.ShellSurfaceCount);
    CompareCount(structure, "FiberCount", a.FiberCount, b.FiberCount);
    CompareCount(structure, "TimeCount", a.TimeCount, b.TimeCount);

    const std::int32_t steps = std::min(a.TimeCount, b.TimeCount);
    ComparedLine times;
    times.Variable = kTimes;
    times.IsTimes = true;
    times.Steps = steps;
    plan.Lines.push_back(times);

    for (const OfferedVariable& va : inA) {
        if (!looked(va.Name)) continue;
        const OfferedVariable* vb = Find(inB, va.Name);
        if (!vb) {
            structure.push_back("Variable " + va.Name + OnlyIn(true));
            continue;
        }
        const std::int32_t items = va.NeedsRange ? std::min(va.Bound, vb->Bound) : 1;
        std::vector<std::string> kinds = va.VectorKinds;
        if (kinds.empty()) kinds.emplace_back();
        for (const std::string& kind : kinds) {
            if (!kind.empty() && std::find(vb->VectorKinds.begin(), vb->VectorKinds.end(), kind) ==
                                     vb->VectorKinds.end()) {
                structure.push_back("Vector kind " + kind + " of " + va.Name + OnlyIn(true));
                continue;
            }
            ComparedLine line;
            line.Variable = va.Name;
            line.Vector = kind;
            line.Items = items;
            line.Steps = steps;
            plan.Lines.push_back(std::move(line));
        }
        for (const std::string& kind : vb->VectorKinds)
            if (std::find(va.VectorKinds.begin(), va.VectorKinds.end(), kind) ==
                va.VectorKinds.end())
                structure.push_back("Vector kind " + kind + " of " + va.Name + OnlyIn(false));
    }
    for (const OfferedVariable& vb : inB)
        if (looked(vb.Name) && !Find(inA, vb.Name))
            structure.push_back("Variable " + vb.Name + OnlyIn(false));
    return std::nullopt;
}

Outcome RunComparison(const OutputFileModel& a, const OutputFileModel& b,
                      const CompareRequest& request, Comparison& comparison, Services& services) {
    Outcome outcome;
    const Tolerance& within = request.Within;
    ComparedLine* times = nullptr;
    std::vector<ComparedLine*> read;  // the lines with values, in order
    for (auto& line : comparison.Lines) {
        if (line.IsTimes)
            times = &line;
        else if (line.Items > 0 && line.Steps > 0)
            read.push_back(&line);
    }
    if (times)
        for (std::int32_t t = 1; t <= times->Steps; ++t) {
            const auto at = static_cast<std::size_t>(t - 1);
            times->Found.Add(a.Times[at].Time, b.Times[at].Time, 0, t, a.Times[at].Time, within);
        }
    if (read.empty()) return outcome;

    const std::vector<OfferedVariable> inA = OfferedVariables(a), inB = OfferedVariables(b);
    std::vector<ExtractionRequest> requestsA, requestsB;
    for (const ComparedLine* line : read) {
        requestsA.push_back(LineRequest(*line, *Find(inA, line->Variable), line->Items));
        requestsB.push_back(LineRequest(*line, *Find(inB, line->Variable), line->Items));
    }
    const std::int32_t steps = read.front()->Steps;
    std::optional<StepValues> valuesA, valuesB;
    try {
        valuesA.emplace(a, std::move(requestsA), services.Reading.VectorLevel);
        valuesB.emplace(b, std::move(requestsB), services.Reading.VectorLevel);
    } catch (...) {
        services.Report(outcome, ReadingNotice(std::current_exception())
                                     .value_or(ReadingNotice(Failure(fail::OutOfMemory))));
        return outcome;
    }
    const std::size_t perStep = valuesA->Count();
    const std::size_t batch = std::clamp<std::size_t>(
        kBatchBytes / std::max<std::size_t>(perStep * sizeof(float), 1), 1, kMostStepsABatch);
    std::vector<float> batchA(batch * perStep), batchB(batch * perStep);
    const bool sideBySide = ReadingThreads(services.Reading) > 1;

    for (std::int32_t first = 1; first <= steps; first += static_cast<std::int32_t>(batch)) {
        if (services.AbortRequested) {
            outcome.Stopped = true;
            return outcome;
        }
        const auto count =
            std::min<std::size_t>(batch, static_cast<std::size_t>(steps - first + 1));
        BatchRead fromA, fromB;
        if (sideBySide) {
            auto other = std::async(std::launch::async,
                                    [&] { return ReadBatch(*valuesB, first, count, batchB); });
            fromA = ReadBatch(*valuesA, first, count, batchA);
            fromB = other.get();
        } else {
            fromA = ReadBatch(*valuesA, first, count, batchA);
            fromB = ReadBatch(*valuesB, first, count, batchB);
        }
        const std::size_t folded = std::min(fromA.FailedAt, fromB.FailedAt);
        for (std::size_t s = 0; s < folded; ++s) {
            const std::int32_t step = first + static_cast<std::int32_t>(s);
            const float time = a.Times[static_cast<std::size_t>(step - 1)].Time;
            const float* va = batchA.data() + s * perStep;
            const float* vb = batchB.data() + s * perStep;
            for (std::size_t k = 0; k < read.size(); ++k) {
                Differences& found = read[k]->Found;
                const std::size_t offset = valuesA->Offset(k);
                const auto items = static_cast<std::size_t>(read[k]->Items);
                for (std::size_t i = 0; i < items; ++i)
                    found.Add(va[offset + i], vb[offset + i], static_cast<std::int32_t>(i + 1),
                              step, time, within);
            }
        }
        if (fromA.Failed) services.Report(outcome, std::move(*fromA.Failed));
        if (fromB.Failed) services.Report(outcome, std::move(*fromB.Failed));
        if (outcome.Failed()) return outcome;
        services.Progress.UpdateProgress(
            static_cast<float>(first - 1 + static_cast<std::int32_t>(count)) /
                static_cast<float>(steps),
            "Comparing...");
    }
    return outcome;
}

}  // namespace vx
