#include "reader/TimeIndex.h"

#include "common/Failure.h"
#include "reader/Markers.h"
#include "reader/TextRoutines.h"

namespace vx {

void IndexTimeSteps(LineReader& in, OutputFileModel& model, ScanProgress& progress) {
    static constexpr std::string_view kReadingTimes = "Reading times...";
    std::vector<TimeStep> times;
    std::int32_t k = 1;  // the step counter is a 16-bit field
    WordList words;
    std::string_view line;
    while (!in.AtEnd()) {
        LineReader::Search found;
        while ((found = in.ReadLineContaining(marker::TimeLine, line, kSearchBudget)) ==
               LineReader::Search::Paused)
            progress.Tick(in.Position(), kReadingTimes);
        if (found == LineReader::Search::Found) {
            SplitWords(line, words, 3);
            TimeStep step;
            step.Position = in.Position();
            step.Time = RoundToSingle(NumericPrefix(WordAt(words, 2)));
            times.push_back(step);
            if (++k > INT16_MAX) Raise(fail::Overflow);
        }
        progress.Tick(in.Position(), kReadingTimes);
    }
    model.Times = std::move(times);
    model.TimeCount = static_cast<std::int16_t>(k - 1);
}

}  // namespace vx
