#include <new>
#include <string>

#include "common/Failure.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
#include "reader/Reader.h"
#include "reader/ScanProgress.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

constexpr std::string_view kNotReadable = "Cannot read but temperature files";

// A read failure of the header or the structural scan: the listing is no listing this
// program reads when the reading runs past its end.
void ShowReadFileError(Services& services, Outcome& outcome, const Failure& failure) {
    services.Report(outcome,
                    {ReadingFailureKind(failure, FailureKind::NotAListing), failure.Number(),
                     "Read File Error " + FailureText(failure.Number(), failure.Description()),
                     MsgIcon::Critical});
}

// Reads on until the current line contains `marker`; the current line is tested first.
// Running out of lines is reading past the end.
void FindLineContaining(LineReader& in, std::string_view marker, std::string_view& line) {
    if (Contains(line, marker)) return;
    if (in.ReadLineContaining(marker, line) != LineReader::Search::Found)
        Raise(fail::InputPastEndOfFile);
}

bool HasAnalysisKeyword(std::string_view line) {
    return Contains(line, marker::Static) || Contains(line, marker::Temperat) ||
           Contains(line, marker::Torsion) || Contains(line, marker::Dynamic);
}

// The identification line, the version, the dimension and the kind of analysis.
void ReadHeader(OutputFileModel& model) {
    LineReader in(model.FilePath);
    std::string_view line;
    FindLineContaining(in, marker::Identification, line);

    std::size_t comma = line.find(',');
    if (comma == std::string_view::npos) Raise(fail::SubscriptOutOfRange);
    std::string_view piece = line.substr(comma + 1);
    piece = piece.substr(0, piece.find(','));
    model.Version = std::string(TrimSpaces(piece));

    FindLineContaining(in, marker::Ndim, line);
    model.Ndim = WholeWordInt16(WordAt(SplitWords(line, 2), 1));

    while (!HasAnalysisKeyword(line)) line = in.ReadLine();
    if (Contains(line, marker::Temperat))
        model.AnalysisType = AnalysisThermal;
    else if (Contains(line, marker::Static))
        model.AnalysisType = AnalysisStatic;
    else if (Contains(line, marker::Torsion))
        model.AnalysisType = AnalysisTorsion;
    else
        model.AnalysisType = AnalysisDynamic;
}

void ReadAndScan(OutputFileModel& model, Services& services, Outcome& outcome,
                 ScanObserver* observer) {
    if (!model.FilePath.empty()) {
        try {
            ReadHeader(model);
        } catch (const Failure& failure) {
            ShowReadFileError(services, outcome, failure);
            return;
        } catch (const std::bad_alloc&) {
            ShowReadFileError(services, outcome, Failure(fail::OutOfMemory));
            return;
        }
    }
    switch (model.AnalysisType) {
        case AnalysisThermal:
            ScanThermalFile(model, services, outcome, observer);
            break;
        case AnalysisStatic:
        case AnalysisDynamic:
            try {
                ScanStructuralFile(model, services, observer);
            } catch (const Failure& failure) {
                ShowReadFileError(services, outcome, failure);
            } catch (const std::bad_alloc&) {
                ShowReadFileError(services, outcome, Failure(fail::OutOfMemory));
            }
            break;
        default:
            services.Report(outcome, {FailureKind::NotAListing, 0, std::string(kNotReadable),
                                      MsgIcon::Information});
            break;
    }
}

}  // namespace

Outcome ReadOutputFile(OutputFileModel& model, Services& services) {
    return ReadOutputFile(model, services, nullptr);
}

Outcome ReadOutputFile(OutputFileModel& model, Services& services, ScanObserver* observer) {
    Outcome outcome;
    try {
        ReadAndScan(model, services, outcome, observer);
    } catch (const ScanStopped&) {
        // The window that asked for the reading has gone: nobody is left to tell.
        outcome.Stopped = true;
    }
    MarkReading(model, outcome);
    return outcome;
}

}  // namespace vx
