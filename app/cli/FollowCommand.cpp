#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "app/cli/Commands.h"
#include "app/cli/ConsoleServices.h"
#include "app/cli/ExportOptions.h"
#include "common/Text.h"
#include "extraction/Extraction.h"
#include "reader/Reader.h"
#include "reader/TextRoutines.h"

namespace vx::cli {

namespace {

using Clock = std::chrono::steady_clock;

// How often the listing is looked at while it does not change.
constexpr auto kPoll = std::chrono::milliseconds(200);

int Refuse(const std::string& reason) {
    const std::string line = "voraxextract-cli follow: " + reason + "\n";
    std::fputs(Latin1ToUtf8(line).c_str(), stderr);
    return kExitUsage;
}

void Say(const std::string& text) {
    std::fputs(Latin1ToUtf8("voraxextract-cli follow: " + text + "\n").c_str(), stderr);
}

// The steps whose next step's time line has been written.
std::int32_t CompleteSteps(const OutputFileModel& model) {
    return std::max(0, model.TimeCount - 1);
}

// Whether the counts and the first step's blocks are there: what a request is judged by.
bool FirstStepSettled(const OutputFileModel& model) {
    return model.TimeCount >= 1 && model.Mark.FirstStepSettled;
}

}  // namespace

int RunFollow(const std::vector<std::string>& args) {
    ExportOptions o;
    std::string error;
    if (!ParseFollowArgs(args, o, error)) return Refuse(error);

    ConsoleServices console(/*echoMessages=*/true, /*showProgress=*/!o.Quiet);
    auto services = console.Get();
    OutputFileModel model;
    const Outcome read = console.ReadListing(o.File, model);
    if (read.Failed()) return ExitStatus(read);
    Clock::time_point lastGrowth = Clock::now();
    std::int64_t lastSize = model.Mark.Size;
    auto idle = [&] {
        return o.UntilIdle &&
               Clock::now() - lastGrowth >= std::chrono::duration<double>(*o.UntilIdle);
    };
    // Looks at the listing again; false when a message was shown.
    auto refresh = [&](bool& stop) {
        for (auto waited = Clock::duration::zero(); waited < kPoll;
             waited += std::chrono::milliseconds(50)) {
            if (console.Interrupted()) {
                stop = true;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const Refreshed refreshed = RefreshOutputFile(model, services);
        console.ClearProgress();
        if (refreshed.Replaced)
            Say("the listing was replaced or shortened; it is read again from the start");
        if (model.Mark.Size != lastSize || refreshed.Replaced) {
            lastSize = model.Mark.Size;
            lastGrowth = Clock::now();
        }
        return !refreshed.Read.Failed();
    };

    // The request is judged by the first step, once the listing holds it whole.
    bool stop = false;
    while (!FirstStepSettled(model) && !idle()) {
        if (!refresh(stop)) return kExitMessage;
        if (stop) return kExitOk;
    }
    ExportRequest request = std::move(o.Request);
    request.Steps = StepNumbers{{std::int64_t{1}}};
    request.IgnoreItemsWithoutRange = true;
    const Planned planned = PlanExport(model, request);
    if (const auto* refused = std::get_if<Refusal>(&planned))
        return Refuse(RefusalText(*refused, SheetFormat::Csv));
    const ExtractionRequest reading = std::get<ExportPlan>(planned).Readings.front();

    std::string header = "Step,Time";
    for (std::int16_t item : reading.Vectors) header += "," + std::to_string(item);
    std::puts(header.c_str());
    std::fflush(stdout);

    std::optional<StepValues> values;
    auto open = [&] {
        values.emplace(model, std::vector<ExtractionRequest>{reading},
                       services.Reading.VectorLevel);
    };
    open();
    std::vector<float> step(values->Count());
    std::int32_t next = o.FromNow ? CompleteSteps(model) + 1 : 1;
    for (;;) {
        const bool ending = idle();
        const std::int32_t last = ending ? model.TimeCount : CompleteSteps(model);
        for (; next <= last; ++next) {
            if (console.Interrupted()) return kExitOk;
            if (next == model.TimeCount) {
                // The last step, printed on idle: is it whole?
                ExtractionRequest one = reading;
                one.SelectedTimes = {static_cast<std::int16_t>(next)};
                WarnIfCutShort(model, std::span(&one, 1));
            }
            const auto failures = values->Read(static_cast<std::int16_t>(next), step);
            if (!failures.empty()) {
                Outcome shown;
                services.Report(shown, failures.front().What);
                return kExitMessage;
            }
            std::string line = std::to_string(next) + "," +
                               ShortestText(model.Times[static_cast<std::size_t>(next - 1)].Time);
            for (float value : step) line += "," + ShortestText(value);
            std::puts(line.c_str());
            std::fflush(stdout);
        }
        if (ending) return kExitOk;
        const std::uint64_t inode = model.Mark.Inode;
        const std::int16_t steps = model.TimeCount;
        if (!refresh(stop)) return kExitMessage;
        if (stop) return kExitOk;
        if (model.Mark.Inode != inode || model.TimeCount < steps) {
            // Another listing now: its steps from the first, read from the new file.
            open();
            next = 1;
        }
    }
}

}  // namespace vx::cli
