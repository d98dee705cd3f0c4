#include "extraction/Comparison.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <new>
#include <span>
#include <thread>

#include "common/Failure.h"
#include "extraction/Extraction.h"
#include "extraction/ListingPass.h"
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

// Reads `count` steps from `first` on into `into`, keeping the listing's first failure.
void ReadBatch(StepValues& values, std::int32_t first, std::size_t count, std::vector<float>& into,
               std::optional<Notice>& failed) {
    const std::size_t perStep = values.Count();
    for (std::size_t s = 0; s < count; ++s) {
        const auto step = static_cast<std::int16_t>(first + static_cast<std::int32_t>(s));
        try {
            const auto failures = values.Read(step, std::span(into).subspan(s * perStep, perStep));
            if (!failed && !failures.empty()) failed = failures.front().What;
        } catch (const std::bad_alloc&) {
            if (!failed) failed = ReadingNotice(Failure(fail::OutOfMemory));
        }
    }
}

// Adds one step's values of both listings to the lines: line k's items from offset(k).
void FoldStep(std::span<ComparedLine* const> lines, const StepValues& layout, const float* a,
              const float* b, std::int32_t step, float time, const Tolerance& within) {
    for (std::size_t k = 0; k < lines.size(); ++k) {
        Differences& found = lines[k]->Found;
        const std::size_t offset = layout.Offset(k);
        const auto items = static_cast<std::size_t>(lines[k]->Items);
        for (std::size_t i = 0; i < items; ++i)
            found.Add(a[offset + i], b[offset + i], static_cast<std::int32_t>(i + 1), step, time,
                      within);
    }
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
    // Each listing's first failure; the values are read on to the end all the same.
    std::optional<Notice> failedA, failedB;

    for (std::int32_t first = 1; first <= steps; first += static_cast<std::int32_t>(batch)) {
        if (services.AbortRequested) {
            outcome.Stopped = true;
            return outcome;
        }
        const auto count =
            std::min<std::size_t>(batch, static_cast<std::size_t>(steps - first + 1));
        if (sideBySide) {
            auto other = std::async(std::launch::async,
                                    [&] { ReadBatch(*valuesB, first, count, batchB, failedB); });
            ReadBatch(*valuesA, first, count, batchA, failedA);
            other.get();
        } else {
            ReadBatch(*valuesA, first, count, batchA, failedA);
            ReadBatch(*valuesB, first, count, batchB, failedB);
        }
        for (std::size_t s = 0; s < count; ++s) {
            const std::int32_t step = first + static_cast<std::int32_t>(s);
            const float time = a.Times[static_cast<std::size_t>(step - 1)].Time;
            FoldStep(read, *valuesA, batchA.data() + s * perStep, batchB.data() + s * perStep, step,
                     time, within);
        }
        services.Progress.UpdateProgress(
            static_cast<float>(first - 1 + static_cast<std::int32_t>(count)) /
                static_cast<float>(steps),
            "Comparing...");
    }
    if (failedA) services.Report(outcome, std::move(*failedA));
    if (failedB) services.Report(outcome, std::move(*failedB));
    return outcome;
}

}  // namespace vx

namespace vx {

namespace {

// Steps of values handed over by a pass on its thread to the comparison on another, a few
// at a time: the pass waits while the comparison has not taken the ones before.
class StepQueue {
public:
    explicit StepQueue(std::size_t most) : m_most(std::max<std::size_t>(most, 2)) {}

    struct Step {
        float Time = 0;
        std::vector<float> Values;
    };
    // From the pass: false when no more are wanted.
    bool Put(float time, std::span<const float> values) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_refused || m_steps.size() < m_most; });
        if (m_refused) return false;
        m_steps.push_back({time, {values.begin(), values.end()}});
        m_changed.notify_all();
        return true;
    }
    void End() {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        m_changed.notify_all();
    }
    // No more are wanted: a waiting Put returns false.
    void Refuse() {
        std::lock_guard lock(m_mutex);
        m_refused = true;
        m_steps.clear();
        m_changed.notify_all();
    }
    enum class Next { Step, Ended, Waiting };
    // From the comparison: the next step into `values`, waiting at most `wait`.
    Next Take(Step& step, std::chrono::milliseconds wait) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, wait, [&] { return m_ended || !m_steps.empty(); }))
            return Next::Waiting;
        if (m_steps.empty()) return Next::Ended;
        step = std::move(m_steps.front());
        m_steps.pop_front();
        m_changed.notify_all();
        return Next::Step;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Step> m_steps;
    std::size_t m_most;
    bool m_ended = false, m_refused = false;
};

// What a pass's scan shows, kept for the comparison to show in its turn.
class KeptNotices : public NoticeService {
public:
    void Show(const Notice& notice) override { Notices.push_back(notice); }
    std::vector<Notice> Notices;
};

// A pass's progress: its fraction for the comparison to report, and the stop the user asked
// for passed on to its scan at its next report.
class PassProgress : public ProgressService {
public:
    explicit PassProgress(const std::atomic<bool>& stop) : m_stop(stop) {}
    void UpdateProgress(float sngPercent, std::string_view) override {
        Fraction = sngPercent;
        if (m_stop) Stop = true;
    }
    std::atomic<float> Fraction = 0;
    bool Stop = false;

private:
    const std::atomic<bool>& m_stop;
};

// Every variable and vector kind the listing offers, items 1 to the bound: what a pass
// reads before it knows the other listing.
std::vector<ExtractionRequest> EveryLine(const OutputFileModel& model) {
    std::vector<ExtractionRequest> requests;
    for (const OfferedVariable& v : OfferedVariables(model)) {
        ComparedLine line;
        line.Variable = v.Name;
        line.Items = v.NeedsRange ? v.Bound : 1;
        std::vector<std::string> kinds = v.VectorKinds;
        if (kinds.empty()) kinds.emplace_back();
        for (const std::string& kind : kinds) {
            line.Vector = kind;
            requests.push_back(LineRequest(line, v, line.Items));
        }
    }
    return requests;
}

// One listing's reading on its own thread.
struct Pass {
    Pass(const std::string& path, const std::atomic<bool>& stop, std::size_t queued)
        : Progress(stop),
          Steps(queued),
          Reading([](const OutputFileModel& m) { return EveryLine(m); },
                  [this](std::int16_t step, std::span<const float> v) {
                      const auto& times = Reading.Chosen().Times;
                      return Steps.Put(times[static_cast<std::size_t>(step - 1)].Time, v);
                  }) {
        Model.FilePath = path;
    }
    void Run(const ReadingOptions& options, const std::atomic<bool>& abort) {
        Model.Reset();
        Services services{Notices, Progress, abort, Progress.Stop, options};
        try {
            Read = Reading.Run(Model, services);
        } catch (...) {
            Read.Notices.push_back(ReadingNotice(Failure(fail::OutOfMemory)));
        }
        Steps.End();
    }
    OutputFileModel Model;
    KeptNotices Notices;
    PassProgress Progress;
    StepQueue Steps;
    ListingPass Reading;
    Outcome Read;
};

using LineKey = std::pair<std::string, std::string>;

// Where each compared line's values stand in a pass's step: request place per line.
std::vector<std::size_t> Places(const ListingPass& pass, const std::vector<ComparedLine*>& lines) {
    std::map<LineKey, std::size_t> at;
    for (std::size_t k = 0; k < pass.Requests().size(); ++k)
        at.emplace(LineKey{pass.Requests()[k].Variable, pass.Requests()[k].VectorKind}, k);
    std::vector<std::size_t> places;
    for (const ComparedLine* line : lines) places.push_back(at.at({line->Variable, line->Vector}));
    return places;
}

// A pass's first failure among the lines and steps compared: the earliest step, then the
// first line.
std::optional<Notice> FirstFailure(const ListingPass& pass, const std::vector<std::size_t>& places,
                                   std::int32_t steps) {
    const ListingPass::Failed* first = nullptr;
    std::size_t firstLine = 0;
    for (const auto& failed : pass.Failures()) {
        const auto line = std::find(places.begin(), places.end(), failed.Request);
        if (line == places.end() || failed.Step > steps) continue;
        const auto index = static_cast<std::size_t>(line - places.begin());
        if (!first || failed.Step < first->Step ||
            (failed.Step == first->Step && index < firstLine))
            first = &failed, firstLine = index;
    }
    if (!first) return std::nullopt;
    return first->What;
}

}  // namespace

Outcome CompareListings(const std::string& a, const std::string& b, const CompareRequest& request,
                        ListingsCompared& compared, Services& services) {
    Outcome outcome;
    std::atomic<bool> stop = false;
    // A few MB of steps in hand from each listing.
    constexpr std::size_t kQueuedSteps = 16;
    Pass passA(a, stop, kQueuedSteps), passB(b, stop, kQueuedSteps);
    std::thread threadB([&] { passB.Run(services.Reading, services.AbortRequested); });
    std::thread threadA([&] { passA.Run(services.Reading, services.AbortRequested); });

    // The lines both listings offer, as the first step of each tells; their values folded
    // step after step as both have them.
    Comparison early;
    std::vector<ComparedLine*> lines;
    std::vector<std::size_t> placesA, placesB;
    StepQueue::Step stepA, stepB;
    std::int32_t folded = 0;
    bool haveA = false, haveB = false, ended = false;
    const auto wait = std::chrono::milliseconds(50);
    while (!ended) {
        if (services.AbortRequested) {
            stop = true;
            break;
        }
        services.Progress.UpdateProgress((passA.Progress.Fraction + passB.Progress.Fraction) / 2,
                                         "Comparing...");
        if (!haveA) {
            const auto next = passA.Steps.Take(stepA, wait);
            ended = next == StepQueue::Next::Ended;
            haveA = next == StepQueue::Next::Step;
        }
        if (!haveB && !ended) {
            const auto next = passB.Steps.Take(stepB, wait);
            ended = next == StepQueue::Next::Ended;
            haveB = next == StepQueue::Next::Step;
        }
        if (!haveA || !haveB) continue;
        if (folded == 0) {
            // Both first steps are read: the requests of each are chosen.
            PlanComparison(passA.Reading.Chosen(), passB.Reading.Chosen(), request, early);
            for (auto& line : early.Lines)
                if (!line.IsTimes && line.Items > 0) lines.push_back(&line);
            placesA = Places(passA.Reading, lines);
            placesB = Places(passB.Reading, lines);
        }
        ++folded;
        const float time = stepA.Time;
        for (std::size_t k = 0; k < lines.size(); ++k) {
            Differences& found = lines[k]->Found;
            const float* va = stepA.Values.data() + passA.Reading.Offset(placesA[k]);
            const float* vb = stepB.Values.data() + passB.Reading.Offset(placesB[k]);
            const auto items = static_cast<std::size_t>(lines[k]->Items);
            for (std::size_t i = 0; i < items; ++i)
                found.Add(va[i], vb[i], static_cast<std::int32_t>(i + 1), folded, time,
                          request.Within);
        }
        haveA = haveB = false;
    }
    passA.Steps.Refuse();
    passB.Steps.Refuse();
    threadA.join();
    threadB.join();

    compared.A = std::move(passA.Model);
    compared.B = std::move(passB.Model);
    for (const Pass* pass : {&passA, &passB})
        for (const auto& notice : pass->Notices.Notices) services.Report(compared.Read, notice);
    compared.Read.Stopped = passA.Read.Stopped || passB.Read.Stopped || stop;
    outcome = compared.Read;
    if (outcome.Failed() || outcome.Stopped) return outcome;

    compared.Refused = PlanComparison(compared.A, compared.B, request, compared.Result);
    if (compared.Refused) return outcome;
    std::map<LineKey, const Differences*> found;
    for (const ComparedLine* line : lines)
        found.emplace(LineKey{line->Variable, line->Vector}, &line->Found);
    for (auto& line : compared.Result.Lines) {
        if (line.IsTimes) {
            for (std::int32_t t = 1; t <= line.Steps; ++t) {
                const float x = compared.A.Times[static_cast<std::size_t>(t - 1)].Time;
                line.Found.Add(x, compared.B.Times[static_cast<std::size_t>(t - 1)].Time, 0, t, x,
                               request.Within);
            }
            continue;
        }
        const auto it = found.find({line.Variable, line.Vector});
        if (it != found.end() && line.Steps > 0) line.Found = *it->second;
    }
    const std::int32_t steps = std::min(compared.A.TimeCount, compared.B.TimeCount);
    if (!lines.empty()) {
        if (auto failed = FirstFailure(passA.Reading, placesA, steps))
            compared.Failures.push_back(std::move(*failed));
        if (auto failed = FirstFailure(passB.Reading, placesB, steps))
            compared.Failures.push_back(std::move(*failed));
    }
    return outcome;
}

}  // namespace vx
