#include <new>

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

void Scan(OutputFileModel& model, Services& services, Outcome& outcome) {
    LineReader in(model.FilePath, services.Reading.VectorLevel);
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

    IndexTimeSteps(in, model, progress, services.Reading);
    model.HasTemperatures = model.TimeCount != 0;
}

}  // namespace

void ScanThermalFile(OutputFileModel& model, Services& services, Outcome& outcome) {
    // A thermal listing that cannot be read to its end simply offers no time step:
    // its read failures end the scan without a message.
    try {
        Scan(model, services, outcome);
    } catch (const Failure&) {
    } catch (const std::bad_alloc&) {
    }
}

}  // namespace vx
