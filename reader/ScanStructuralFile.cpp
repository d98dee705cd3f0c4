#include <optional>

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

// The counts of the input echo, up to the first convergence line. One line may set
// several counts.
void ReadInputEcho(LineReader& in, OutputFileModel& model, ScanProgress& progress) {
    WordList words;
    std::string_view line;
    while (!in.AtEnd()) {
        line = in.ReadLine();
        if (IsExactly(line, marker::Convergence)) return;

        if (Contains(line, marker::ThereAre)) {
            SplitWords(line, words, 4);
            if (Contains(line, marker::Nodes)) model.NodeCount = WholeWordInt32(WordAt(words, 3));
            if (Contains(line, marker::TrussElements))
                model.TrussCount = WholeWordInt16(WordAt(words, 3));
            if (Contains(line, marker::BeamElements))
                model.BeamCount = WholeWordInt16(WordAt(words, 3));
            if (Contains(line, marker::ShellElements))
                model.ShellCount = WholeWordInt16(WordAt(words, 3));
            if (Contains(line, marker::SoilElements))
                model.SoilCount = WholeWordInt16(WordAt(words, 3));
        }
        if (Contains(line, marker::EachOfThemHas)) {
            SplitWords(line, words, 5);
            model.BeamPointCount = WholeWordInt16(WordAt(words, 4));
        }
        if (Contains(line, marker::LongitudinalFibers)) {
            // "AND   12 LONGITUDINAL FIBERS." continues the line before it; what is
            // left without the words is the number.
            std::string rest =
                ReplaceAll(ReplaceAll(line, marker::LongitudinalFibersDot, ""), marker::And, "");
            model.FiberCount = RoundToInt16(NumericPrefix(rest));
        }
        if (Contains(line, marker::IntegrationPoints)) {
            SplitWords(line, words, 1);
            model.ShellSurfaceCount = WholeWordInt16(WordAt(words, 0));
        }
        if (Contains(line, marker::GeometricGroup)) {
            // A section description: nothing in it is a count of the structure, not
            // even a line that looks like one, up to the line that ends it.
            if (!Contains(line, marker::SectionDiscretized)) {
                while (in.ReadLineContaining(marker::SectionDiscretized, line, kSearchBudget) ==
                       LineReader::Search::Paused)
                    progress.Pause(in.Position(), kReadingInput);
            }
        }
        progress.Tick(in.Position(), kReadingInput);
    }
}

std::string BlockLabel(std::string_view line, std::string_view blockMarker) {
    std::string label = ReplaceAll(TrimSpaces(line), blockMarker, "Beam");
    label = ReplaceAll(label, ",", "");
    label = ReplaceAll(label, "POINT", "(Point");
    label += ')';
    return label;
}

void AddLabel(std::int16_t& count, std::vector<std::string>& labels, std::string label) {
    if (count == INT16_MAX) Raise(fail::Overflow);
    ++count;
    labels.push_back(std::move(label));
}

// Which result blocks the first time step holds, and the labels of its beam stress
// and tangent-modulus blocks. Later steps are not looked at.
void ReadFirstStepBlocks(OutputFileModel& model) {
    LineReader in(model.FilePath);
    std::string_view line;
    while (!IsExactly(line, marker::Convergence) && !in.AtEnd()) {
        if (in.ReadLineContaining(marker::Convergence, line) != LineReader::Search::Found) break;
    }
    if (!in.AtEnd()) line = in.ReadLine();  // the step's time line
    while (!IsExactly(line, marker::Convergence) && !in.AtEnd()) {
        line = in.ReadLine();
        model.Mark.FirstStepSettled = IsExactly(line, marker::Convergence);
        if (IsExactly(line, marker::TotalDisplacements)) model.HasDisplacements = true;
        if (IsExactly(line, marker::BeamForces)) model.HasBeamForces = true;
        if (Contains(line, marker::BeamStresses)) {
            model.HasBeamStresses = true;
            AddLabel(model.StressPointCount, model.StressPoints,
                     BlockLabel(line, marker::BeamStresses));
        }
        if (Contains(line, marker::BeamTangentModulus)) {
            model.HasBeamTangentModulus = true;
            AddLabel(model.TangentPointCount, model.TangentPoints,
                     BlockLabel(line, marker::BeamTangentModulus));
        }
        if (IsExactly(line, marker::TrussForces)) model.HasTrussForces = true;
        if (IsExactly(line, marker::MembraneForces)) model.HasMembraneForces = true;
        if (IsExactly(line, marker::BendingForces)) model.HasBendingForces = true;
        if (IsExactly(line, marker::SoilForces)) model.HasSoilForces = true;
    }
}

}  // namespace

void ScanStructuralFile(OutputFileModel& model, Services& services, ScanObserver* observer) {
    {
        LineReader in(model.FilePath, services.Reading.VectorLevel);
        if (observer) in.Share(&observer->Bytes());
        ScanProgress progress(services.Progress, in, services.StopScan);
        progress.Report(in.Position(), kReadingInput);
        ReadInputEcho(in, model, progress);
        StepsFound found;
        // What the observer is told: the model with the first step's blocks, read as soon
        // as that step is complete (into a copy: the model itself gets them at the end, in
        // their turn, as without an observer).
        std::optional<OutputFileModel> first;
        bool following = observer != nullptr;
        if (observer)
            found = [&](const std::vector<TimeStep>& times) {
                if (!following || times.size() < 2) return;
                if (!first) {
                    try {
                        first = model;
                        ReadFirstStepBlocks(*first);
                    } catch (...) {
                        following = false;  // the scan meets this failure at the end
                        return;
                    }
                }
                observer->StepsComplete(*first, times, times.size() - 1);
            };
        IndexTimeSteps(in, model, progress, services.Reading, found);
    }
    ReadFirstStepBlocks(model);
    if (observer) observer->StepsComplete(model, model.Times, model.Times.size());
}

}  // namespace vx
