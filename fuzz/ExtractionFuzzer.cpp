// A fuzzed listing with a fuzzed request: the listing is scanned as the window opens
// it, then one export runs as Save runs it (temperatures or a structural variable, then
// the worksheet), on one thread or several. The request's choices are taken from the
// end of the input, the listing is the rest. Most requests are ones the window could
// make; some name any variable and any vector kind, as a listing that changed since
// its scan would make them look. A degree of freedom is also read with all the others
// of its line, and must read the same.

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/ExportPlan.h"
#include "export/Worksheet.h"
#include "extraction/Extraction.h"
#include "extraction/Peaks.h"
#include "extraction/Variables.h"
#include "fuzz/FuzzSupport.h"
#include "reader/Reader.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned Get16(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) |
           static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

// A sheet left on disk, finished or stopped by a failure, is a whole record stream:
// BOF first, records that fill the file exactly, EOF last.
void CheckSheet(const std::string& bytes) {
    VX_FUZZ_CHECK(bytes.size() >= 12);
    VX_FUZZ_CHECK(bytes.compare(0, 8, std::string("\x09\x00\x04\x00\x02\x00\x0A\x00", 8)) == 0);
    std::size_t at = 0, last = 0;
    while (at + 4 <= bytes.size()) {
        last = at;
        at += 4 + Get16(bytes, at + 2);
    }
    VX_FUZZ_CHECK(at == bytes.size());
    VX_FUZZ_CHECK(Get16(bytes, last) == 0x000A && Get16(bytes, last + 2) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vx;
    static fuzz::MemoryFile file("listing.out");
    static const std::string sheet =
        "/dev/shm/vx-fuzz-extraction-" + std::to_string(::getpid()) + ".xls";

    FuzzedDataProvider in(data, size);
    const bool anyVariable = in.ConsumeBool();
    const auto variablePick = in.ConsumeIntegral<std::uint8_t>();
    const auto kindPick = in.ConsumeIntegral<std::uint8_t>();
    const int timeCount = in.ConsumeIntegralInRange<int>(1, 6);
    std::vector<std::uint8_t> stepPicks;
    for (int i = 0; i < timeCount; ++i) stepPicks.push_back(in.ConsumeIntegral<std::uint8_t>());
    const int from = in.ConsumeIntegralInRange<int>(-1, 40);
    const int to = in.ConsumeIntegralInRange<int>(-1, 40);
    const int step = in.ConsumeIntegralInRange<int>(-3, 3);
    const bool columns = in.ConsumeBool();
    const int abortAfter = in.ConsumeIntegralInRange<int>(0, 3);
    // One thread or several, the time index in pieces small enough for a few bytes of
    // listing, and every width of vector instructions.
    const auto readingPick = in.ConsumeIntegral<std::uint8_t>();
    const std::string listing = in.ConsumeRemainingBytesAsString();

    OutputFileModel model;
    model.FilePath = file.Set(listing);
    model.Reset();
    fuzz::Host host;
    auto services = host.Get();
    services.Reading = {.Threads = 1 + readingPick % 3,
                        .TimeIndexPieceBytes = readingPick / 3 % 2 ? 64 : 4096,
                        .VectorLevel = readingPick / 6 % 3};
    ReadOutputFile(model, services);
    fuzz::CheckModel(model, fuzz::ListingSize(model.FilePath));

    ExtractionRequest request;
    const auto offered = OfferedVariables(model);
    const OfferedVariable* chosen = nullptr;  // the offered variable requested, if any
    if (!anyVariable && !offered.empty()) {
        const auto& v = offered[variablePick % offered.size()];
        chosen = &v;
        request.Variable = v.Name;
        if (!v.VectorKinds.empty()) {
            request.VectorKindIndex = static_cast<std::int16_t>(kindPick % v.VectorKinds.size());
            request.VectorKind = v.VectorKinds[static_cast<std::size_t>(request.VectorKindIndex)];
        }
    } else {
        const auto variables = AllVariables();
        request.Variable = std::string(variables[variablePick % variables.size()].Name);
        request.VectorKindIndex = static_cast<std::int16_t>(kindPick % 9) - 1;
        request.VectorKind = "kind";
    }
    for (auto pick : stepPicks) {
        request.SelectedTimes.push_back(model.TimeCount > 0 && !anyVariable
                                            ? static_cast<std::int16_t>(1 + pick % model.TimeCount)
                                            : static_cast<std::int16_t>(pick % 4));
    }
    std::string reason;
    if (!BuildVectors(request.Variable, std::to_string(from), std::to_string(to),
                      std::to_string(step), request.Vectors, reason))
        request.Vectors = {1};

    host.MessageCount = 0;
    host.AbortAfterReports = abortAfter;
    ValueTable table;
    const ExportPlan plan{{request}, {sheet, SheetFormat::Xls, columns}};
    const Outcome outcome = RunExport(model, plan, table, services);
    // The extraction and the layout each show at most one message, and what the run
    // returns is what it showed.
    VX_FUZZ_CHECK(host.MessageCount <= 2);
    VX_FUZZ_CHECK(outcome.Notices.size() == static_cast<std::size_t>(host.MessageCount));
    VX_FUZZ_CHECK(table.Rows() >= 0 && table.Columns() >= 0);

    // Every kind of a variable whose kinds are words of one line (degrees of freedom),
    // read together (each line split once, or read in columns): the requested kind's
    // values are those the export read alone.
    const Variable* variable = FindVariable(request.Variable);
    if (!outcome.Failed() && !outcome.Stopped && chosen && variable &&
        variable->Picks == KindPicks::Word && chosen->VectorKinds.size() > 1) {
        std::vector<ExtractionRequest> kinds;
        for (std::size_t k = 0; k < chosen->VectorKinds.size(); ++k) {
            ExtractionRequest kind = request;
            kind.VectorKindIndex = static_cast<std::int16_t>(k);
            kind.VectorKind = chosen->VectorKinds[k];
            kinds.push_back(kind);
        }
        std::vector<ValueTable> tables(kinds.size());
        host.AbortAfterReports = 0;
        const auto read = ExtractKinds(model, kinds, tables, services);
        const auto k = static_cast<std::size_t>(request.VectorKindIndex);
        if (!read[k].Failed() && !read[k].Stopped)
            for (const std::int16_t item : request.Vectors)
                for (std::int32_t t = 1; t <= table.Columns(); ++t)
                    VX_FUZZ_CHECK(std::bit_cast<std::uint32_t>(tables[k].At(item, t)) ==
                                  std::bit_cast<std::uint32_t>(table.At(item, t)));
    }

    // The peaks of the same request, read a few steps at a time: no message where the
    // export showed none, and the fold of the very values the export wrote.
    if (!outcome.Failed() && !outcome.Stopped) {
        host.MessageCount = 0;
        host.AbortAfterReports = 0;
        services.Reading.ReductionBatchSteps = 1 + kindPick % 3;
        for (PeaksOver over : {PeaksOver::Steps, PeaksOver::Items}) {
            std::vector<KindPeaks> peaks;
            const Outcome reduced = ReducePeaks(model, plan.Readings, over, peaks, services);
            VX_FUZZ_CHECK(!reduced.Failed() && peaks.size() == 1);
            PeaksFold fold(over, request.Vectors.size(), request.SelectedTimes.size());
            for (std::size_t t = 0; t < request.SelectedTimes.size(); ++t)
                fold.Step(static_cast<std::int32_t>(t), [&](std::size_t k) {
                    return table.At(request.Vectors[k], static_cast<std::int32_t>(t + 1));
                });
            const KindPeaks expected = fold.Take();
            VX_FUZZ_CHECK(peaks[0].Items == expected.Items && peaks[0].Steps == expected.Steps);
        }
    }

    VX_FUZZ_CHECK(ReadWhole(file.Path()) == listing);  // the listing is never written
    std::error_code ec;
    if (std::filesystem::exists(sheet, ec)) {
        CheckSheet(ReadWhole(sheet));
        std::filesystem::remove(sheet, ec);
    }
    return 0;
}
