#include <new>
#include <optional>
#include <vector>

#include "common/Failure.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
#include "reader/Reader.h"
#include "reader/ScanProgress.h"
#include "reader/TextRoutines.h"
#include "reader/TimeIndex.h"

namespace vx {

namespace {

constexpr std::string_view kReadingInput = "Reading input...";
constexpr std::string_view kNoDescription =
    "The string DESCRIPTION OF THE STRUCTURE was not found. Cannot continue.";
constexpr std::string_view kNoNodePositions =
    "The string POSITION OF THE NODES was not found. Cannot continue.";

// A missing landmark: the thermal listing lacks a part the reading needs.
void ShowMissing(Services& services, Outcome& outcome, std::string_view text) {
    services.Report(outcome, {FailureKind::MissingBlock, 0, std::string(text), MsgIcon::Critical});
}

void Scan(OutputFileModel& model, Services& services, Outcome& outcome, ScanObserver* observer) {
    LineReader in(model.FilePath, services.Reading.VectorLevel);
    if (observer) in.Share(&observer->Bytes());
    ScanProgress progress(services.Progress, in, services.StopScan);
    progress.Report(in.Position(), kReadingInput);

    std::string_view line;
    while (!IsExactly(line, marker::Description)) {
        if (in.AtEnd()) {
            ShowMissing(services, outcome, kNoDescription);
            return;
        }
        line = in.ReadLine();
    }
    progress.Report(in.Position(), kReadingInput);

    WordList words;
    while (!Contains(line, marker::NodePositions)) {
        if (in.AtEnd()) {
            ShowMissing(services, outcome, kNoNodePositions);
            return;
        }
        line = in.ReadLine();
        if (Contains(line, marker::ThereAre)) {
            SplitWords(line, words, 4);
            if (Contains(line, marker::Nodes)) model.NodeCount = WholeWordInt32(WordAt(words, 3));
            if (Contains(line, marker::SolidElements))
                model.SolidCount = WholeWordInt16(WordAt(words, 3));
        }
        progress.Tick(in.Position(), kReadingInput);
    }

    StepsFound found;
    // What the observer is told: the model with its temperatures offered, as the model
    // itself is once a step is found (it gets them at the end, as without an observer).
    std::optional<OutputFileModel> offered;
    if (observer)
        found = [&](const std::vector<TimeStep>& times) {
            if (times.size() < 2) return;
            if (!offered) {
                offered = model;
                offered->HasTemperatures = true;
            }
            observer->StepsComplete(*offered, times, times.size() - 1);
        };
    IndexTimeSteps(in, model, progress, services.Reading, found);
    model.HasTemperatures = model.TimeCount != 0;
    if (observer) observer->StepsComplete(model, model.Times, model.Times.size());
}

}  // namespace

void ScanThermalFile(OutputFileModel& model, Services& services, Outcome& outcome,
                     ScanObserver* observer) {
    // A thermal listing that cannot be read to its end simply offers no time step:
    // its read failures end the scan without a message.
    try {
        Scan(model, services, outcome, observer);
    } catch (const Failure&) {
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace vx
