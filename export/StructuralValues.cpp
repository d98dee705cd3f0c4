#include "export/StructuralValues.h"

#include <new>
#include <string>

#include "common/Failure.h"
#include "export/VariableCatalogue.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
#include "reader/Reader.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

constexpr std::string_view kDisplacementHeader =
    "NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7";
constexpr std::string_view kEigenValueHeader = "RELATIVE EIGEN VALUE";
constexpr std::string_view kTrussHeader = "ELEM.      N";
constexpr std::string_view kBeamHeader2D = "ELEM. PT.    N           M";
constexpr std::string_view kBeamHeader3D =
    "ELEM. PT.    N           MY          MZ          Mw         Mr2";
constexpr std::string_view kSoilHeader = "ELEM.     N[kN]     P[kN/m\xB2]";

// How a variable's block is read: the header to search, the rows of the table, the
// lines from the header to the first record (0: the header is the record), the lines
// from one record to the next, and the word that holds the value (or fibre pairs).
struct ReadingPlan {
    std::string_view Header;
    std::int32_t Rows = 0;
    std::int32_t Lead = 0;
    std::int32_t Stride = 0;
    std::size_t Word = 0;
    bool Pairs = false;
    std::int32_t BlocksToSkip = 0;  // fibre blocks of the same kind before the chosen one
};

bool MakePlan(const OutputFileModel& m, const ExtractionRequest& request, ReadingPlan& plan) {
    const std::string_view name = request.Variable;
    const std::int32_t k = request.VectorKindIndex;
    auto record = [&](std::string_view header, std::int32_t rows, std::int32_t lead,
                      std::int32_t stride, std::size_t word) {
        plan = ReadingPlan{header, rows, lead, stride, word, false, 0};
    };
    auto shell = [&](std::string_view header, std::size_t word) {
        record(header, m.ShellCount, k + 3, m.ShellSurfaceCount, word);
    };
    auto beam = [&](std::string_view header, std::size_t word) {
        record(header, m.BeamCount, k + 1, m.BeamPointCount, word);
    };
    if (name == var::Displacements) record(kDisplacementHeader, m.NodeCount, 1, 1, static_cast<std::size_t>(k + 1));
    else if (name == var::EigenValues) record(kEigenValueHeader, 1, 0, 0, 7);
    else if (name == var::TrussAxialForce) record(kTrussHeader, m.TrussCount, 1, 1, 1);
    else if (name == var::BeamAxialForce) beam(m.Ndim == 2 ? kBeamHeader2D : kBeamHeader3D, 2);
    else if (name == var::BeamBendingMoment) beam(kBeamHeader2D, 3);
    else if (name == var::BeamBendingMomentMy) beam(kBeamHeader3D, 3);
    else if (name == var::BeamBendingMomentMz) beam(kBeamHeader3D, 4);
    else if (name == var::BeamBendingMomentMw) beam(kBeamHeader3D, 5);
    else if (name == var::MembraneForceNx) shell(marker::MembraneForces, 5);
    else if (name == var::MembraneForceNy) shell(marker::MembraneForces, 7);
    else if (name == var::MembraneForceNxy) shell(marker::MembraneForces, 9);
    else if (name == var::MembraneForceN1) shell(marker::MembraneForces, 11);
    else if (name == var::MembraneForceN2) shell(marker::MembraneForces, 13);
    else if (name == var::BendingForceMx) shell(marker::BendingForces, 5);
    else if (name == var::BendingForceMy) shell(marker::BendingForces, 7);
    else if (name == var::BendingForceMxy) shell(marker::BendingForces, 9);
    else if (name == var::BendingForceM1) shell(marker::BendingForces, 11);
    else if (name == var::BendingForceM2) shell(marker::BendingForces, 13);
    else if (name == var::SoilAxialForceNx) record(kSoilHeader, m.SoilCount, 1, 1, 1);
    else if (name == var::SoilPressure) record(kSoilHeader, m.SoilCount, 1, 1, 2);
    else if (name == var::BeamStresses || name == var::BeamTangentModulus) {
        plan = ReadingPlan{name == var::BeamStresses ? marker::BeamStresses : marker::BeamTangentModulus,
                           m.FiberCount, 4, 1, 0, true, k > 0 ? k : 0};
    } else {
        return false;
    }
    return true;
}

class StructuralReader {
public:
    StructuralReader(const OutputFileModel& model, const ExtractionRequest& request, ValueTable& table,
                     Services& services, const ReadingPlan& plan)
        : m_model(model), m_request(request), m_table(table), m_services(services), m_plan(plan),
          m_in(model.FilePath) {}

    void Run(std::int32_t timeCount) {
        const std::string caption = "Reading " + m_request.Variable + "...";
        // Fibre mode packs five fibres on a line.
        const std::int32_t recordLines = m_plan.Pairs ? (m_plan.Rows + 4) / 5 : m_plan.Rows;
        for (std::int32_t t = 1; t <= timeCount; ++t) {
            if (m_services.AbortRequested) return;
            std::int16_t step = m_request.SelectedTimes[static_cast<std::size_t>(t - 1)];
            if (step < 1 || step > static_cast<std::int32_t>(m_model.Times.size()))
                Raise(fail::SubscriptOutOfRange);
            m_line = {};
            m_in.Seek(m_model.Times[static_cast<std::size_t>(step - 1)].Position);
            for (std::int32_t block = 0; block <= m_plan.BlocksToSkip; ++block) {
                // The search is bounded only by the end of the file: a step without
                // the block takes the next one, from a later step.
                if (m_in.ReadLineContaining(m_plan.Header, m_line) != LineReader::Search::Found)
                    Raise(fail::InputPastEndOfFile);
            }
            m_services.Progress.UpdateProgress(
                static_cast<float>(static_cast<double>(t) / static_cast<double>(timeCount)), caption);
            Advance(m_plan.Lead);
            // The record counter is a 16-bit field.
            if (recordLines > INT16_MAX) Raise(fail::Overflow);
            for (std::int32_t r = 1; r <= recordLines; ++r) {
                SplitWords(m_line, m_words);
                if (m_plan.Pairs)
                    StorePairs(r, t);
                else if (m_words.size() > m_plan.Word)
                    m_table.Set(r, t, RoundToSingle(NumericPrefix(m_words[m_plan.Word])));
                Advance(m_plan.Stride);
            }
        }
    }

private:
    // Reads `count` lines; at the end of the file the current line stays as it is.
    void Advance(std::int32_t count) {
        for (std::int32_t i = 0; i < count; ++i) {
            if (m_in.AtEnd()) return;
            m_line = m_in.ReadLine();
        }
    }

    // Up to five "fibre value" pairs; the second word of pair j is fibre (r-1)*5 + j.
    void StorePairs(std::int32_t r, std::int32_t t) {
        for (std::int32_t j = 1; j <= 5; ++j) {
            std::int32_t fibre = (r - 1) * 5 + j;
            if (m_words.size() >= static_cast<std::size_t>(2 * j) && fibre <= m_plan.Rows)
                m_table.Set(fibre, t,
                            RoundToSingle(NumericPrefix(m_words[static_cast<std::size_t>(2 * j - 1)])));
        }
    }

    const OutputFileModel& m_model;
    const ExtractionRequest& m_request;
    ValueTable& m_table;
    Services& m_services;
    const ReadingPlan& m_plan;
    LineReader m_in;
    std::string_view m_line;
    WordList m_words;
};

void Read(const OutputFileModel& model, const ExtractionRequest& request, ValueTable& table,
          Services& services) {
    ReadingPlan plan;
    if (!MakePlan(model, request, plan)) return;
    if (request.SelectedTimes.size() > static_cast<std::size_t>(INT16_MAX)) Raise(fail::Overflow);
    const auto timeCount = static_cast<std::int32_t>(request.SelectedTimes.size());
    // A table without rows or columns cannot be made.
    if (plan.Rows < 1 || timeCount < 1) Raise(fail::SubscriptOutOfRange);
    table.Resize(plan.Rows, timeCount);
    StructuralReader reader(model, request, table, services, plan);
    reader.Run(timeCount);
}

}  // namespace

void ReadStructuralValues(const OutputFileModel& model, const ExtractionRequest& request,
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
