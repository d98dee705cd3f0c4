#include <new>
#include <string>

#include "common/Failure.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
#include "reader/Reader.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

constexpr std::size_t kPairWidth = 11;
constexpr std::size_t kNodeWidth = 5;
constexpr std::size_t kTemperatureWidth = 6;

// The temperature of pair j (0-based) of a table line: characters 6 to 11 of the pair.
// A short line gives fewer characters, or none, and so 0.
float PairTemperature(std::string_view line, std::size_t j) {
    std::size_t start = j * kPairWidth + kNodeWidth;
    if (start >= line.size()) return 0.0f;
    return RoundToSingle(NumericPrefix(line.substr(start, kTemperatureWidth)));
}

void Read(const OutputFileModel& model, const ExtractionRequest& request, ValueTable& table,
          Services& services) {
    if (request.SelectedTimes.size() > static_cast<std::size_t>(INT16_MAX)) Raise(fail::Overflow);
    const auto timeCount = static_cast<std::int32_t>(request.SelectedTimes.size());
    // A table without rows or columns cannot be made.
    if (model.NodeCount < 1 || timeCount < 1) Raise(fail::SubscriptOutOfRange);
    table.Resize(model.NodeCount, timeCount);

    LineReader in(model.FilePath);
    const std::string caption = "Reading " + request.Variable + "...";
    const std::int32_t nodes = model.NodeCount;
    const std::int32_t lines = nodes / 5 + (nodes % 5 != 0 ? 1 : 0);
    std::string_view line;
    for (std::int32_t t = 1; t <= timeCount; ++t) {
        if (services.AbortRequested) return;
        std::int16_t step = request.SelectedTimes[static_cast<std::size_t>(t - 1)];
        if (step < 1 || step > static_cast<std::int32_t>(model.Times.size()))
            Raise(fail::SubscriptOutOfRange);
        in.Seek(model.Times[static_cast<std::size_t>(step - 1)].Position);
        if (in.ReadLineContaining(marker::TemperatureHeader, line) != LineReader::Search::Found)
            Raise(fail::InputPastEndOfFile);
        services.Progress.UpdateProgress(
            static_cast<float>(static_cast<double>(t) / static_cast<double>(timeCount)), caption);

        std::int32_t n = 1;  // the node counter is a 16-bit field
        for (std::int32_t l = 1; l <= lines; ++l) {
            line = in.ReadLine();
            std::int32_t pairs = (l == lines && nodes % 5 != 0) ? nodes % 5 : 5;
            for (std::int32_t j = 0; j < pairs; ++j) {
                table.Set(n, t, PairTemperature(line, static_cast<std::size_t>(j)));
                if (++n > INT16_MAX) Raise(fail::Overflow);
            }
        }
    }
}

}  // namespace

void ReadTemperatures(const OutputFileModel& model, const ExtractionRequest& request,
                      ValueTable& table, Services& services) {
    try {
        Read(model, request, table, services);
    } catch (const Failure& failure) {
        services.Messages.MsgBox(FailureText(failure.Number(), failure.Description()), MsgButtons::Ok,
                                 MsgIcon::None);
    } catch (const std::bad_alloc&) {
        Failure failure(fail::OutOfMemory);
        services.Messages.MsgBox(FailureText(failure.Number(), failure.Description()), MsgButtons::Ok,
                                 MsgIcon::None);
    }
}

}  // namespace vx
