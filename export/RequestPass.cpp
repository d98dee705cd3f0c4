#include "export/RequestPass.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <span>
#include <string>

#include "export/Worksheet.h"
#include "extraction/Extraction.h"
#include "extraction/ListingPass.h"
#include "extraction/Variables.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

constexpr std::int32_t kNever = INT32_MAX;

// The columns of one reading as the steps come, in pieces taken from the
// system and given back to it whole, so that the table made of them afterwards can take
// their room piece by piece as they are let go.
class ColumnStore {
public:
    ColumnStore() = default;
    ColumnStore(const ColumnStore&) = delete;
    ColumnStore& operator=(const ColumnStore&) = delete;
    ColumnStore(ColumnStore&& other) noexcept
        : m_pieces(std::move(other.m_pieces)), m_at(std::move(other.m_at)) {}
    ~ColumnStore() { Clear(); }

    void Clear() {
        for (auto& piece : m_pieces) Free(piece);
        m_pieces.clear();
        m_at.clear();
    }

    // Adds a column (an empty one for a column of zeros): the next place.
    void Add(std::span<const float> column) {
        const std::size_t bytes = column.size_bytes();
        if (bytes == 0) {
            m_at.push_back({SIZE_MAX, 0, 0});
            return;
        }
        if (m_pieces.empty() || m_pieces.back().Used + bytes > m_pieces.back().Size) {
            // 64 columns a piece, within 64 KiB and 1 MiB: the table made of the pieces holds
            // little more than itself while they are let go.
            const std::size_t size =
                (std::clamp(64 * bytes, kLeastPieceBytes, std::max(kPieceBytes, bytes)) + 4095) &
                ~std::size_t{4095};
            void* at =
                ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (at == MAP_FAILED) throw std::bad_alloc();
            m_pieces.push_back({static_cast<char*>(at), size, 0, 0});
        }
        Piece& piece = m_pieces.back();
        std::memcpy(piece.Bytes + piece.Used, column.data(), bytes);
        m_at.push_back({m_pieces.size() - 1, piece.Used, column.size()});
        piece.Used += bytes;
        ++piece.Columns;
    }

    std::size_t Count() const { return m_at.size(); }

    std::span<const float> Column(std::size_t place) const {
        const Place& at = m_at[place];
        if (at.Piece == SIZE_MAX) return {};
        return {reinterpret_cast<const float*>(m_pieces[at.Piece].Bytes + at.Offset), at.Count};
    }

    // Column `place` is wanted no more: its piece goes back once none of its columns is.
    void Done(std::size_t place) {
        Place& at = m_at[place];
        if (at.Piece == SIZE_MAX) return;
        Piece& piece = m_pieces[at.Piece];
        at.Piece = SIZE_MAX;
        if (--piece.Columns == 0) Free(piece);
    }

private:
    static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
    static constexpr std::size_t kLeastPieceBytes = std::size_t{64} << 10;
    struct Piece {
        char* Bytes;
        std::size_t Size, Used;
        std::size_t Columns;  // not yet done
    };
    struct Place {
        std::size_t Piece, Offset, Count;
    };
    static void Free(Piece& piece) {
        if (piece.Bytes) ::munmap(piece.Bytes, piece.Size);
        piece.Bytes = nullptr;
    }

    std::vector<Piece> m_pieces;
    std::vector<Place> m_at;
};

// Readings that read the same values: the variable, the vector kind and the items (their
// steps aside).
bool SameReadings(const std::vector<ExtractionRequest>& a,
                  const std::vector<ExtractionRequest>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ExtractionRequest& x, const ExtractionRequest& y) {
                          return x.Variable == y.Variable && x.VectorKind == y.VectorKind &&
                                 x.VectorKindIndex == y.VectorKindIndex && x.Vectors == y.Vectors;
                      });
}

// Whether the extraction after the scan reads the readings as a step's reading does:
// temperatures of a thermal listing, structural variables of a structural one.
bool ReadAlike(const OutputFileModel& model, const std::vector<ExtractionRequest>& readings) {
    const bool thermal = model.AnalysisType == AnalysisThermal;
    if (!thermal && model.AnalysisType != AnalysisStatic && model.AnalysisType != AnalysisDynamic)
        return false;
    return std::all_of(readings.begin(), readings.end(), [&](const ExtractionRequest& r) {
        const Variable* v = FindVariable(r.Variable);
        return v && (v->Layout == BlockLayout::TemperatureTable) == thermal;
    });
}

}  // namespace

struct RequestPass::State {
    State(ExportRequest request, Keep keep)
        : Request(std::move(request)),
          Keeping(keep),
          Pass([this](const OutputFileModel& m) { return Choose(m); },
               [this](std::int16_t step, std::span<const float> v) { return Deliver(step, v); },
               [this](std::int16_t step, float time) { return Want(step, time); },
               keep == Keep::Values) {}

    std::vector<ExtractionRequest> Choose(const OutputFileModel& partial);
    bool Want(std::int16_t step, float time);
    bool Deliver(std::int16_t step, std::span<const float> values);
    // Whether the values read with the scan give the plan's exactly.
    bool Usable(const OutputFileModel& model, const ExportPlan& plan, const Services& services);
    // The column (0-based, in the plan's order of steps) where each reading fails, kNever
    // for none; false when that cannot be told from the steps read.
    bool FailingColumns(const ExportPlan& plan);
    void Assemble(const ExportPlan& plan, std::vector<ValueTable>& tables,
                  std::vector<Outcome>& read);

    ExportRequest Request;
    Keep Keeping;
    std::optional<ExportPlan> Early;  // chosen by the listing's counts and first step
    std::optional<Planned> Final;     // on the listing as read
    Outcome Scan;
    bool Once = false;

    // The steps wanted: step numbers known in advance (their first place), or time texts.
    std::map<std::int16_t, std::int32_t> Places;
    std::set<std::string> Texts, Seen;
    // By step - 1, for every step the scan found: the key a kept step is folded under (its
    // place where the places are known in advance, else its step - 1), and its place among
    // the kept steps; -1 for a step passed over.
    std::vector<std::int32_t> KeyOf, KeptAt;
    std::vector<std::int16_t> Kept;
    std::size_t SeenFailures = 0;
    std::vector<std::int32_t> FailedAt;  // each reading's first failing step, kNever
    std::vector<std::int32_t> Rows;      // of each reading's table
    bool Abandoned = false;

    // Keep::Values: each reading's column of each kept step (by kept place; empty once the
    // reading failed at an earlier step).
    std::vector<ColumnStore> Columns;
    std::size_t Bytes = 0;
    // Keep::PeaksOver...: each reading's fold over the steps, or each kept step's rows.
    std::vector<PeaksFold> Folds;
    std::vector<std::vector<StepPeaks>> StepRows;  // [kept place][k]

    // Filled by FailingColumns: where each reading fails, and what it shows there.
    std::vector<std::int32_t> FailingColumn;
    std::vector<const Notice*> FailingNotice;

    ListingPass Pass;
};

std::vector<ExtractionRequest> RequestPass::State::Choose(const OutputFileModel& partial) {
    if (std::holds_alternative<NoSteps>(Request.Steps)) return {};
    // The steps are not known yet: the plan is made with one, and everything else it
    // checks against the counts and the first step. The real plan checks the steps.
    ExportRequest early = Request;
    early.Steps = SelectedList{{"1"}};
    Planned planned = PlanExport(partial, early);
    if (!std::holds_alternative<ExportPlan>(planned)) return {};
    Early = std::get<ExportPlan>(std::move(planned));
    if (const auto* numbers = std::get_if<StepNumbers>(&Request.Steps)) {
        for (std::size_t i = 0; i < numbers->Numbers.size(); ++i) {
            const auto step = WholeNumberValue(numbers->Numbers[i]);
            if (step && *step >= 1 && *step <= INT16_MAX)
                Places.emplace(static_cast<std::int16_t>(*step), static_cast<std::int32_t>(i));
        }
    } else if (const auto* hidden = std::get_if<SelectedList>(&Request.Steps)) {
        std::vector<std::int16_t> steps;
        std::string reason;
        if (BuildSelectedTimes(hidden->Hidden, steps, reason))
            for (std::size_t i = 0; i < steps.size(); ++i)
                Places.emplace(steps[i], static_cast<std::int32_t>(i));
    } else if (const auto* times = std::get_if<StepTimes>(&Request.Steps)) {
        Texts.insert(times->Times.begin(), times->Times.end());
    }
    const std::size_t count = Early->Readings.size();
    FailedAt.assign(count, kNever);
    Columns.resize(count);
    if (Keeping == Keep::PeaksOverSteps)
        Folds.assign(count, PeaksFold(PeaksOver::Steps, Early->Readings.front().Vectors.size(), 0));
    return Early->Readings;
}

bool RequestPass::State::Want(std::int16_t step, float time) {
    std::int32_t key = -1;
    if (Early) {
        if (std::holds_alternative<EveryStep>(Request.Steps)) {
            key = step - 1;
        } else if (std::holds_alternative<StepTimes>(Request.Steps)) {
            // The first step of each time text asked for: the one the Available list finds.
            std::string text = TimeText(time);
            if (Texts.count(text) && Seen.insert(std::move(text)).second) key = step - 1;
        } else if (const auto at = Places.find(step); at != Places.end()) {
            key = at->second;
        }
    }
    KeyOf.push_back(key);
    KeptAt.push_back(key < 0 ? -1 : static_cast<std::int32_t>(Kept.size()));
    if (key >= 0) Kept.push_back(step);
    return key >= 0;
}

bool RequestPass::State::Deliver(std::int16_t step, std::span<const float> values) {
    const auto& failures = Pass.Failures();
    for (; SeenFailures < failures.size(); ++SeenFailures) {
        const auto& failed = failures[SeenFailures];
        FailedAt[failed.Request] = std::min<std::int32_t>(FailedAt[failed.Request], failed.Step);
    }
    const std::vector<ExtractionRequest>& readings = Early->Readings;
    if (Rows.empty())
        for (std::size_t k = 0; k < readings.size(); ++k) Rows.push_back(Pass.Rows(k));
    try {
        if (Keeping == Keep::Values) {
            for (std::size_t k = 0; k < readings.size(); ++k) {
                if (FailedAt[k] < step) {
                    Columns[k].Add({});
                    continue;
                }
                const std::span<const float> column = Pass.Column(k);
                Columns[k].Add(column);
                Bytes += column.size_bytes();
            }
            // Several kinds hold no more together than when the export reads them together.
            if (readings.size() > 1 && Bytes > kSeveralSheetsBytes) {
                Abandoned = true;
                Columns.clear();
                return false;
            }
        } else if (Keeping == Keep::PeaksOverSteps) {
            const std::int32_t key = KeyOf[static_cast<std::size_t>(step - 1)];
            for (std::size_t k = 0; k < readings.size(); ++k) {
                const float* const kind = values.data() + Pass.Offset(k);
                Folds[k].Step(key, [kind](std::size_t i) { return kind[i]; });
            }
        } else {
            auto& rows = StepRows.emplace_back();
            const std::size_t items = readings.front().Vectors.size();
            for (std::size_t k = 0; k < readings.size(); ++k) {
                PeaksFold fold(PeaksOver::Items, items, 1);
                const float* const kind = values.data() + Pass.Offset(k);
                fold.Step(0, [kind](std::size_t i) { return kind[i]; });
                rows.push_back(fold.Take().Steps.front());
            }
        }
    } catch (const std::bad_alloc&) {
        // Read after the scan instead, as without it.
        Abandoned = true;
        Columns.clear();
        StepRows.clear();
        return false;
    }
    return true;
}

bool RequestPass::State::FailingColumns(const ExportPlan& plan) {
    const std::vector<std::int16_t>& steps = plan.Readings.front().SelectedTimes;
    const std::size_t count = plan.Readings.size();
    FailingColumn.assign(count, kNever);
    FailingNotice.assign(count, nullptr);
    for (std::size_t k = 0; k < count; ++k) {
        const std::int32_t failed = FailedAt[k];
        for (std::size_t j = 0; j < steps.size(); ++j) {
            const std::int16_t step = steps[j];
            // Every step up to the failure must have been read with the scan.
            if (step < 1 || static_cast<std::size_t>(step) > KeyOf.size() ||
                KeyOf[static_cast<std::size_t>(step - 1)] < 0)
                return false;
            if (step < failed) continue;
            // A later step than the failure: whether it would fail too is not known.
            if (step > failed) return false;
            FailingColumn[k] = static_cast<std::int32_t>(j);
            break;
        }
        if (FailingColumn[k] == kNever) continue;
        for (const auto& f : Pass.Failures())
            if (f.Request == k) {
                FailingNotice[k] = &f.What;
                break;
            }
        if (!FailingNotice[k]) return false;
    }
    return true;
}

bool RequestPass::State::Usable(const OutputFileModel& model, const ExportPlan& plan,
                                const Services& services) {
    if (Scan.Failed() || Scan.Stopped || services.AbortRequested || !Early || Abandoned ||
        !Pass.ReadToEnd() || KeyOf.size() != model.Times.size())
        return false;
    const auto& readings = plan.Readings;
    if (!SameReadings(Early->Readings, readings) || !ReadAlike(model, readings)) return false;
    if (std::any_of(readings.begin(), readings.end(), [&](const ExtractionRequest& r) {
            return r.SelectedTimes != readings.front().SelectedTimes;
        }))
        return false;
    if (Keeping == Keep::Values && readings.size() > 1 &&
        static_cast<double>(ValueTable::ColumnBytes(readings.front().Vectors)) *
                static_cast<double>(readings.front().SelectedTimes.size()) *
                static_cast<double>(readings.size()) >
            static_cast<double>(kSeveralSheetsBytes))
        return false;  // read sheet by sheet, each table alone in memory
    return FailingColumns(plan);
}

void RequestPass::State::Assemble(const ExportPlan& plan, std::vector<ValueTable>& tables,
                                  std::vector<Outcome>& read) {
    const std::vector<std::int16_t>& steps = plan.Readings.front().SelectedTimes;
    tables.resize(plan.Readings.size());
    read.resize(plan.Readings.size());
    for (std::size_t k = 0; k < plan.Readings.size(); ++k) {
        ColumnStore& columns = Columns[k];
        // A kept step's column is let go after its last use.
        std::vector<std::int32_t> lastUse(columns.Count(), -1);
        for (std::size_t j = 0;
             j < steps.size() && static_cast<std::int32_t>(j) <= FailingColumn[k]; ++j)
            lastUse[static_cast<std::size_t>(KeptAt[static_cast<std::size_t>(steps[j] - 1)])] =
                static_cast<std::int32_t>(j);
        std::int32_t done = -1;  // the kept place of the column copied last, when let go
        tables[k].Assemble(Rows[k], static_cast<std::int32_t>(steps.size()),
                           plan.Readings[k].Vectors, [&](std::int32_t t) -> std::span<const float> {
                               if (done >= 0) columns.Done(static_cast<std::size_t>(done));
                               done = -1;
                               const auto j = static_cast<std::size_t>(t - 1);
                               if (static_cast<std::int32_t>(j) > FailingColumn[k]) return {};
                               const auto at = static_cast<std::size_t>(
                                   KeptAt[static_cast<std::size_t>(steps[j] - 1)]);
                               if (lastUse[at] == static_cast<std::int32_t>(j))
                                   done = static_cast<std::int32_t>(at);
                               return columns.Column(at);
                           });
        columns.Clear();
        if (FailingNotice[k]) read[k].Notices.push_back(*FailingNotice[k]);
    }
}

RequestPass::RequestPass(ExportRequest request, Keep keep)
    : m(std::make_unique<State>(std::move(request), keep)) {}

RequestPass::~RequestPass() = default;

Outcome RequestPass::Read(OutputFileModel& model, Services& services) {
    m->Scan = m->Pass.Run(model, services);
    m->Final = PlanExport(model, m->Request);
    return m->Scan;
}

const Planned& RequestPass::Plan() const {
    return *m->Final;
}

bool RequestPass::ReadOnce() const {
    return m->Once;
}

SharedBytes* RequestPass::Held() {
    return &m->Pass.Bytes();
}

Outcome RequestPass::Export(const OutputFileModel& model, ValueTable& table, Services& services) {
    const ExportPlan& plan = std::get<ExportPlan>(*m->Final);
    m->Once = m->Keeping == Keep::Values && m->Usable(model, plan, services);
    if (!m->Once) return RunExport(model, plan, table, services);
    std::vector<ValueTable> tables;
    std::vector<Outcome> read;
    m->Assemble(plan, tables, read);
    const Outcome outcome = RunExport(model, plan, tables, read, services);
    table = std::move(tables.back());
    return outcome;
}

std::vector<Outcome> RequestPass::Extract(const OutputFileModel& model,
                                          std::vector<ValueTable>& tables, Services& services) {
    const ExportPlan& plan = std::get<ExportPlan>(*m->Final);
    m->Once = m->Keeping == Keep::Values && m->Usable(model, plan, services);
    if (!m->Once) {
        tables.assign(plan.Readings.size(), ValueTable());
        return ExtractKinds(model, plan.Readings, tables, services);
    }
    std::vector<Outcome> read;
    m->Assemble(plan, tables, read);
    return read;
}

Outcome RequestPass::Values(const OutputFileModel& model, ValueTable& table, Services& services) {
    const ExportPlan& plan = std::get<ExportPlan>(*m->Final);
    m->Once = m->Keeping == Keep::Values && m->Usable(model, plan, services);
    if (!m->Once) return ExtractValues(model, plan.Readings.front(), table, services);
    std::vector<ValueTable> tables;
    std::vector<Outcome> read;
    m->Assemble(plan, tables, read);
    Outcome outcome;
    for (const Notice& notice : read.front().Notices) services.Report(outcome, notice);
    outcome.Stopped = services.AbortRequested;
    table = std::move(tables.front());
    return outcome;
}

Outcome RequestPass::Peaks(const OutputFileModel& model, std::vector<KindPeaks>& peaks,
                           Services& services) {
    const ExportPlan& plan = std::get<ExportPlan>(*m->Final);
    const PeaksOver over = m->Keeping == Keep::PeaksOverItems ? PeaksOver::Items : PeaksOver::Steps;
    const std::vector<std::int16_t>& steps = plan.Readings.front().SelectedTimes;
    // Each distinct step's first place in the plan's order.
    std::map<std::int16_t, std::int32_t> firstPlace;
    for (std::size_t j = 0; j < steps.size(); ++j)
        firstPlace.emplace(steps[j], static_cast<std::int32_t>(j));
    // Over the steps, the folds hold keys: the order of the keys must be that of the
    // places, and no step outside the plan may have been folded.
    std::map<std::int32_t, std::int32_t> placeOfKey;
    bool folded = m->Keeping != Keep::Values && m->Usable(model, plan, services);
    if (folded && over == PeaksOver::Steps) {
        for (std::int16_t step : m->Kept) folded = folded && firstPlace.count(step) > 0;
        std::vector<std::pair<std::int32_t, std::int32_t>> order;  // (place, key)
        for (const auto& [step, place] : firstPlace)
            if (static_cast<std::size_t>(step) <= m->KeyOf.size())
                order.emplace_back(place, m->KeyOf[static_cast<std::size_t>(step - 1)]);
        std::sort(order.begin(), order.end());
        for (std::size_t i = 0; i < order.size(); ++i) {
            folded = folded && (i == 0 || order[i - 1].second < order[i].second);
            placeOfKey[order[i].second] = order[i].first;
        }
    }
    m->Once = folded;
    if (!folded) return ReducePeaks(model, plan.Readings, over, peaks, services);

    Outcome outcome;
    peaks.clear();
    // The message ReducePeaks shows: that of the first kind in order whose reading fails
    // (the kinds after it are no longer read, those before it read to their end).
    const Notice* shown = nullptr;
    for (std::size_t k = 0; k < plan.Readings.size() && !shown; ++k) shown = m->FailingNotice[k];
    if (shown) {
        services.Report(outcome, *shown);
        return outcome;
    }
    for (std::size_t k = 0; k < plan.Readings.size(); ++k) {
        KindPeaks& kind = peaks.emplace_back();
        if (over == PeaksOver::Steps) {
            kind = m->Folds[k].Take();
            for (ItemPeaks& p : kind.Items) {
                p.MaxAt = placeOfKey.at(p.MaxAt);
                p.MinAt = placeOfKey.at(p.MinAt);
                p.AbsMaxAt = placeOfKey.at(p.AbsMaxAt);
            }
            continue;
        }
        for (std::int16_t step : steps) {
            const auto at = m->KeptAt[static_cast<std::size_t>(step - 1)];
            kind.Steps.push_back(m->StepRows[static_cast<std::size_t>(at)][k]);
        }
    }
    return outcome;
}

}  // namespace vx
