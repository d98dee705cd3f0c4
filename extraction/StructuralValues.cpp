#include "extraction/Extraction.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "common/Failure.h"
#include "extraction/NumberColumns.h"
#include "extraction/StepReading.h"
#include "extraction/ValueText.h"
#include "extraction/Variables.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
#include "reader/TextRoutines.h"

namespace vx {

namespace {

// How a variable's block is read, for the chosen vector kind: the header to search, the
// rows of the table, the lines from the header to the first record (0: the header is the
// record), the lines from one record to the next, and the word that holds the value (or
// fibre pairs).
struct ReadingPlan {
    std::string_view Header;
    std::int32_t Rows = 0;
    std::int32_t Lead = 0;
    std::int32_t Stride = 0;
    std::size_t Word = 0;
    bool Pairs = false;
    std::int32_t BlocksToSkip = 0;  // blocks of the same kind before the chosen one
};

bool MakePlan(const OutputFileModel& m, const ExtractionRequest& request, ReadingPlan& plan) {
    const Variable* v = FindVariable(request.Variable);
    if (!v || v->Layout == BlockLayout::TemperatureTable) return false;
    const std::int32_t k = request.VectorKindIndex;
    plan.Header = m.Ndim == 2 && !v->PlaneHeader.empty() ? v->PlaneHeader : v->Header;
    plan.Rows = CountOf(m, v->Rows);
    plan.Lead = v->Lead + (v->Picks == KindPicks::Line ? k : 0);
    plan.Stride = CountOf(m, v->Stride);
    const std::int32_t word =
        static_cast<std::int32_t>(v->Word) + (v->Picks == KindPicks::Word ? k : 0);
    plan.Word = static_cast<std::size_t>(word);
    plan.Pairs = v->Layout == BlockLayout::FibrePairs;
    plan.BlocksToSkip = v->Picks == KindPicks::Block && k > 0 ? k : 0;
    return true;
}

// Rows that are not kept are passed over in bulk when at least this many come together;
// fewer are read one by one.
constexpr std::int32_t kMinRowsToSkip = 8;

// The value of a record line: its word `Word`, into one table.
class OneWord {
public:
    OneWord(ValueTable& table, std::size_t word) : m_table(table), m_word(word) {}
    const ValueTable& Table() const { return m_table; }
    // Converts the line's word; a number too large for a single is thrown.
    void Convert(std::string_view line, ColumnReading&) {
        const char* p = line.data();
        const char* const end = p + line.size();
        auto blank = [](char c) { return c == ' ' || c == '\t'; };
        for (std::size_t w = 0;; ++w) {
            while (p < end && blank(*p)) ++p;
            m_has = p < end;
            if (!m_has) return;
            if (w == m_word) break;
            while (p < end && !blank(*p)) ++p;
        }
        // The number where it stands, as a rule; a word of another shape the long way.
        const char* const start = p;
        if (ReadPlainNumber(p, end, m_value) && (p == end || blank(*p))) return;
        p = start;
        while (p < end && !blank(*p)) ++p;
        m_value = SingleValue(std::string_view(start, static_cast<std::size_t>(p - start)));
    }
    void Set(std::int32_t r, std::int32_t t) {
        if (m_has) m_table.Set(r, t, m_value);
    }
    bool Done() const { return false; }

private:
    ValueTable& m_table;
    std::size_t m_word;
    bool m_has = false;
    float m_value = 0.0f;
};

// The values of several vector kinds that are words of the same record lines (the
// degrees of freedom of a node), each into its own table, the line walked once. A kind
// whose word is too large for a single is dropped where it stands, as its own reading
// would have ended there; `failed(k)` is told, with the failure as the current exception.
class SeveralWords {
public:
    struct Kind {
        ValueTable* Table;
        std::size_t Word;
        bool Reading = true;
        bool Has = false;
        float Value = 0.0f;
    };
    // `vectorLevel`: the widest vector instructions the reading may use (VectorLevel.h).
    SeveralWords(std::vector<Kind> kinds, const std::function<void(std::size_t)>& failed,
                 int vectorLevel)
        : m_kinds(std::move(kinds)),
          m_failed(failed),
          m_read(WordsRead(m_kinds)),
          m_columns(m_read, vectorLevel) {
        for (const auto& kind : m_kinds) m_words = std::max(m_words, kind.Word + 1);
        m_kindsOfWord.resize(m_words);
        m_readerOfWord.assign(m_words, kNoReader);
        for (std::size_t k = 0; k < m_kinds.size(); ++k) {
            const std::size_t w = m_kinds[k].Word;
            m_kindsOfWord[w].push_back(k);
            m_readerOfWord[w] = m_readerOfWord[w] == kNoReader ? k : kSeveralReaders;
        }
        for (const auto& kind : m_kinds)
            m_placeOf.push_back(static_cast<std::size_t>(
                std::lower_bound(m_read.begin(), m_read.end(), kind.Word) - m_read.begin()));
    }
    const ValueTable& Table() const { return *m_kinds.front().Table; }
    // Walks the line's words once: a word some kind reads is converted where it stands,
    // once for all the kinds that read it; the others are passed over. A line whose
    // numbers stand where the previous line's stood is read in one go.
    void Convert(std::string_view line, ColumnReading&) {
        if (m_columns.Read(line, m_columnValues)) {
            for (std::size_t k = 0; k < m_kinds.size(); ++k) {
                m_kinds[k].Has = m_kinds[k].Reading;
                m_kinds[k].Value = m_columnValues[m_placeOf[k]];
            }
            return;
        }
        for (auto& kind : m_kinds) kind.Has = false;
        const char* p = line.data();
        const char* const end = p + line.size();
        auto blank = [](char c) { return c == ' ' || c == '\t'; };
        for (std::size_t w = 0; w < m_words; ++w) {
            while (p < end && blank(*p)) ++p;
            if (p == end) break;
            const char* const start = p;
            // The word's one reader, as a rule (the kinds read words of their own).
            const std::size_t reader = m_readerOfWord[w];
            const bool wanted = reader == kSeveralReaders
                                    ? std::any_of(m_kindsOfWord[w].begin(), m_kindsOfWord[w].end(),
                                                  [&](std::size_t k) { return m_kinds[k].Reading; })
                                    : reader != kNoReader && m_kinds[reader].Reading;
            float value = 0;
            bool plain = wanted && ReadPlainNumber(p, end, value) && (p == end || blank(*p));
            if (!plain) {
                p = start;
                while (p < end && !blank(*p)) ++p;
                if (!wanted) continue;
                try {
                    value =
                        SingleValue(std::string_view(start, static_cast<std::size_t>(p - start)));
                } catch (const Failure&) {
                    for (std::size_t k : m_kindsOfWord[w]) {
                        if (!m_kinds[k].Reading) continue;
                        m_kinds[k].Reading = false;
                        --m_reading;
                        m_failed(k);
                    }
                    continue;
                }
            }
            if (reader != kSeveralReaders) {
                m_kinds[reader].Value = value, m_kinds[reader].Has = true;
                continue;
            }
            for (std::size_t k : m_kindsOfWord[w])
                if (m_kinds[k].Reading) m_kinds[k].Value = value, m_kinds[k].Has = true;
        }
    }
    void Set(std::int32_t r, std::int32_t t) {
        for (auto& kind : m_kinds)
            if (kind.Has) kind.Table->Set(r, t, kind.Value);
    }
    bool Done() const { return m_reading == 0; }
    bool Reading(std::size_t k) const { return m_kinds[k].Reading; }

private:
    std::vector<Kind> m_kinds;
    const std::function<void(std::size_t)>& m_failed;
    std::size_t m_words = 0;
    std::size_t m_reading = m_kinds.size();
    std::vector<std::vector<std::size_t>> m_kindsOfWord;  // the kinds that read each word
    // Each word's one reader, or none, or several (then m_kindsOfWord says which).
    static constexpr std::size_t kNoReader = SIZE_MAX, kSeveralReaders = SIZE_MAX - 1;
    std::vector<std::size_t> m_readerOfWord;
    std::vector<std::size_t> m_read;  // the words the kinds read, each once, in order
    NumberColumns m_columns;
    float m_columnValues[NumberColumns::kMostWords] = {};
    std::vector<std::size_t> m_placeOf;  // each kind's word among the words read

    // The words the kinds read, each once, in order.
    static std::vector<std::size_t> WordsRead(const std::vector<Kind>& kinds) {
        std::vector<std::size_t> words;
        for (const auto& kind : kinds) words.push_back(kind.Word);
        std::sort(words.begin(), words.end());
        words.erase(std::unique(words.begin(), words.end()), words.end());
        return words;
    }
};

// Reads one column (one selected step) of the table. Several columns are read at once,
// each through its own line reader, so everything here is const apart from the column.
class ColumnReader {
public:
    ColumnReader(const OutputFileModel& model, const ExtractionRequest& request, ValueTable& table,
                 const ReadingPlan& plan)
        : m_model(model), m_request(request), m_table(table), m_plan(plan) {}

    void Read(ColumnReading& reading, std::int32_t t) const {
        OneWord values(m_table, m_plan.Word);
        Read(reading, t, values);
    }

    // The same, the values of each record line taken by `values`.
    template <typename Values>
    void Read(ColumnReading& reading, std::int32_t t, Values& values) const {
        LineReader& in = reading.In;
        SeekToColumnStep(in, m_model, m_request, t);
        std::string_view line;
        for (std::int32_t block = 0; block <= m_plan.BlocksToSkip; ++block) {
            // The search is bounded only by the end of the file: a step without
            // the block takes the next one, from a later step.
            if (in.ReadLineContaining(m_plan.Header, line) != LineReader::Search::Found)
                Raise(fail::InputPastEndOfFile);
        }
        reading.Reported = true;
        Advance(in, line, m_plan.Lead);
        // Fibre mode packs five fibres on a line.
        const std::int32_t recordLines = m_plan.Pairs ? (m_plan.Rows + 4) / 5 : m_plan.Rows;
        // The record counter is a 16-bit field.
        if (recordLines > INT16_MAX) Raise(fail::Overflow);
        if (m_plan.Pairs)
            ReadFibres(reading, line, t, recordLines);
        else
            ReadRecords(reading, line, t, recordLines, values);
    }

private:
    // Reads `count` lines; at the end of the file the current line stays as it is. True
    // when `line` is another line than before.
    static bool Advance(LineReader& in, std::string_view& line, std::int32_t count) {
        bool moved = false;
        for (std::int32_t i = 0; i < count; ++i) {
            if (in.AtEnd()) return moved;
            line = in.ReadLine();
            moved = true;
        }
        return moved;
    }

    // One value per record line. Every record's word is converted, kept or not, since a
    // number too large for a single ends the reading wherever it stands; long stretches
    // of rows the table does not keep are only checked for such numbers. Past the end of
    // the file every record left takes the last line again: it is converted once, not
    // once per record (a last line can be very long).
    template <typename Values>
    void ReadRecords(ColumnReading& reading, std::string_view line, std::int32_t t,
                     std::int32_t rows, Values& values) const {
        const ValueTable& table = values.Table();
        const std::vector<std::int32_t>& kept = table.KeptRows();
        std::size_t nextKept = 0;
        std::int32_t readSingly = 0;  // rows up to this one are read one by one
        bool fresh = true;            // `line` has not been converted yet
        for (std::int32_t r = 1;; ++r) {
            if (fresh) {
                values.Convert(line, reading);
                if (values.Done()) return;
                fresh = false;
            }
            values.Set(r, t);
            if (r == rows) break;
            if (table.KeepsEveryRow() || r < readSingly || m_plan.Stride < 1) {
                fresh = Advance(reading.In, line, m_plan.Stride);
                continue;
            }
            while (nextKept < kept.size() && kept[nextKept] <= r) ++nextKept;
            const std::int32_t following = nextKept < kept.size() ? kept[nextKept] : rows + 1;
            if (following - r - 1 < kMinRowsToSkip) {
                fresh = Advance(reading.In, line, m_plan.Stride);
                continue;
            }
            if (!SkipRows(reading, line, r, following, rows)) {
                readSingly = following - 1;
                fresh = Advance(reading.In, line, m_plan.Stride);
                continue;
            }
            if (following > rows) break;
            r = following - 1;
            fresh = true;
        }
        Advance(reading.In, line, m_plan.Stride);
    }

    // Up to five "fibre value" pairs a line; the second word of pair j is fibre
    // (r-1)*5 + j. A line taken again past the end of the file is split once, and each
    // of its values converted once.
    void ReadFibres(ColumnReading& reading, std::string_view line, std::int32_t t,
                    std::int32_t lines) const {
        float values[5] = {};
        bool converted[5] = {};
        bool fresh = true;
        for (std::int32_t r = 1; r <= lines; ++r) {
            if (fresh) {
                SplitWords(line, reading.Words, 10);
                std::fill(std::begin(converted), std::end(converted), false);
            }
            for (std::size_t j = 1; j <= 5; ++j) {
                const std::int32_t fibre = (r - 1) * 5 + static_cast<std::int32_t>(j);
                if (reading.Words.size() < 2 * j || fibre > m_plan.Rows) continue;
                if (!converted[j - 1]) values[j - 1] = SingleValue(reading.Words[2 * j - 1]);
                converted[j - 1] = true;
                m_table.Set(fibre, t, values[j - 1]);
            }
            fresh = Advance(reading.In, line, m_plan.Stride);
        }
    }

    // Passes over the rows after r up to the next kept one, `following` (rows + 1 when
    // none is left), and leaves `line` on the line of row `following`. False, with the
    // reader back on row r, when the rows must be read one by one: a number in them
    // might not fit, or the file ends before row `following`.
    bool SkipRows(ColumnReading& reading, std::string_view& line, std::int32_t r,
                  std::int32_t following, std::int32_t rows) const {
        LineReader& in = reading.In;
        const std::int64_t stride = m_plan.Stride;
        const bool last = following > rows;
        const std::int64_t lines = last ? (rows - r) * stride : (following - r) * stride - 1;
        const std::int64_t start = in.Position();
        if (line.data() != reading.Saved.data()) reading.Saved.assign(line);
        WordNumberGuard guard(in.VectorLevel());
        const std::int64_t skipped =
            in.SkipLines(lines, [&](std::string_view bytes) { guard.Feed(bytes); });
        // After the end of the file the remaining rows repeat its last line, which the
        // guard has seen; before a kept row the line of that row must exist.
        if (guard.Clear() && (last || (skipped == lines && !in.AtEnd()))) {
            if (!last) line = in.ReadLine();
            return true;
        }
        in.Seek(start);
        line = reading.Saved;
        return false;
    }

    const OutputFileModel& m_model;
    const ExtractionRequest& m_request;
    ValueTable& m_table;
    const ReadingPlan& m_plan;
};

void Read(const OutputFileModel& model, const ExtractionRequest& request, ValueTable& table,
          Services& services) {
    ReadingPlan plan;
    if (!MakePlan(model, request, plan)) return;
    const std::int32_t timeCount = PrepareTable(table, plan.Rows, request);
    LineReader in(model.FilePath, services.Reading.VectorLevel);
    const ColumnReader reader(model, request, table, plan);
    ReadColumns(in, model.FilePath, timeCount, "Reading " + request.Variable + "...", services,
                table,
                [&reader](ColumnReading& reading, std::int32_t t) { reader.Read(reading, t); });
}

// The failure under way when it is one a reading shows (a Failure, or memory running
// out); anything else goes on up.
std::exception_ptr ReadingFailure() {
    std::exception_ptr failure = std::current_exception();
    if (!ReadingNotice(failure)) std::rethrow_exception(failure);
    return failure;
}

// True when the requests differ in nothing but the vector kind, so that one reading of
// each step serves them all.
bool ShareOneReading(const OutputFileModel& model, std::span<const ExtractionRequest> requests) {
    if (requests.size() < 2) return false;
    if (model.AnalysisType != AnalysisStatic && model.AnalysisType != AnalysisDynamic) return false;
    ReadingPlan plan;
    if (!MakePlan(model, requests.front(), plan)) return false;
    return std::all_of(requests.begin(), requests.end(), [&](const ExtractionRequest& r) {
        return r.Variable == requests.front().Variable && r.Vectors == requests.front().Vectors &&
               r.SelectedTimes == requests.front().SelectedTimes;
    });
}

// Reads every request's columns step by step: each step's bytes are held while each kind
// reads its column from them, exactly as its own reading would, up to its first failure.
// Each outcome gets the notice of that kind's failure, nothing is shown.
void ReadKinds(const OutputFileModel& model, std::span<const ExtractionRequest> requests,
               std::span<ValueTable> tables, Services& services, std::vector<Outcome>& outcomes) {
    const std::size_t kinds = requests.size();
    std::vector<ReadingPlan> plans(kinds);
    std::vector<std::exception_ptr> failures(kinds);
    constexpr std::int32_t kNone = INT32_MAX;
    std::vector<std::int32_t> failedAt(kinds, kNone);  // the first column that failed
    std::int32_t columns = 0;
    for (std::size_t k = 0; k < kinds; ++k) {
        MakePlan(model, requests[k], plans[k]);
        try {
            columns = PrepareTable(tables[k], plans[k].Rows, requests[k]);
        } catch (...) {
            failures[k] = ReadingFailure();
            failedAt[k] = 0;
        }
    }
    std::vector<ColumnReader> readers;
    readers.reserve(kinds);
    for (std::size_t k = 0; k < kinds; ++k)
        readers.emplace_back(model, requests[k], tables[k], plans[k]);
    std::mutex mutex;
    auto failedBy = [&](std::size_t k, std::int32_t t) {  // at column t or before
        std::lock_guard lock(mutex);
        return failedAt[k] <= t;
    };
    auto record = [&](std::size_t k, std::int32_t t, std::exception_ptr failure) {
        std::lock_guard lock(mutex);
        if (t < failedAt[k]) failedAt[k] = t, failures[k] = std::move(failure);
    };
    // Degrees of freedom are words of the same lines: each line is split once for all.
    const Variable* variable = FindVariable(requests.front().Variable);
    const bool words = variable && variable->Picks == KindPicks::Word;
    auto readWords = [&](ColumnReading& reading, std::int32_t t) {
        std::vector<SeveralWords::Kind> reads;
        std::vector<std::size_t> kindOf;
        for (std::size_t k = 0; k < kinds; ++k) {
            if (failedBy(k, t)) continue;
            reads.push_back({&tables[k], plans[k].Word});
            kindOf.push_back(k);
        }
        if (reads.empty()) return;
        const std::function<void(std::size_t)> failed = [&](std::size_t i) {
            record(kindOf[i], t, std::current_exception());
        };
        SeveralWords values(std::move(reads), failed, reading.In.VectorLevel());
        try {
            readers[kindOf.front()].Read(reading, t, values);
        } catch (...) {
            const std::exception_ptr failure = ReadingFailure();
            for (std::size_t i = 0; i < kindOf.size(); ++i)
                if (values.Reading(i)) record(kindOf[i], t, failure);
        }
    };
    auto readColumn = [&](ColumnReading& reading, std::int32_t t) {
        if (words) {
            readWords(reading, t);
            reading.Reported = true;
            return;
        }
        LineReader& in = reading.In;
        const std::int16_t step = requests.front().SelectedTimes[static_cast<std::size_t>(t - 1)];
        if (step >= 1 && step <= static_cast<std::int32_t>(model.Times.size()))
            in.Keep(model.Times[static_cast<std::size_t>(step - 1)].Position);
        for (std::size_t k = 0; k < kinds; ++k) {
            if (failedBy(k, t)) continue;
            try {
                readers[k].Read(reading, t);
            } catch (...) {
                record(k, t, ReadingFailure());
            }
        }
        in.Keep(-1);
        reading.Reported = true;
    };
    auto clearColumn = [&](std::int32_t t) {
        for (std::size_t k = 0; k < kinds; ++k)
            if (failedAt[k] != 0) tables[k].ClearColumn(t);
    };
    if (std::any_of(failedAt.begin(), failedAt.end(), [&](std::int32_t f) { return f == kNone; })) {
        LineReader in(model.FilePath, services.Reading.VectorLevel);
        try {
            ReadColumns(in, model.FilePath, columns, "Reading " + requests.front().Variable + "...",
                        services, readColumn, clearColumn);
        } catch (...) {
            // The host's own failure, from a progress report, ends every kind still read.
            const std::exception_ptr failure = ReadingFailure();
            for (std::size_t k = 0; k < kinds; ++k)
                if (failedAt[k] == kNone) failedAt[k] = columns, failures[k] = failure;
        }
    }
    for (std::size_t k = 0; k < kinds; ++k) {
        if (!failures[k]) continue;
        if (failedAt[k] > 0)
            for (std::int32_t t = failedAt[k] + 1; t <= columns; ++t) tables[k].ClearColumn(t);
        outcomes[k].Notices.push_back(*ReadingNotice(failures[k]));
    }
}

// Shows nothing: the notices are in the outcomes.
class Unshown : public NoticeService {
public:
    void Show(const Notice&) override {}
};

}  // namespace

struct StepValues::Reading {
    Reading(const OutputFileModel& m, std::vector<ExtractionRequest> r, int vectorLevel)
        : model(m), requests(std::move(r)), in(m.FilePath, vectorLevel), reading(in) {}
    void Fail(std::size_t k, const std::exception_ptr& failure) {
        if (failed[k]) return;
        failed[k] = true;
        const auto notice = ReadingNotice(failure);
        if (!notice) std::rethrow_exception(failure);
        failures.push_back({k, *notice});
    }
    const OutputFileModel& model;
    std::vector<ExtractionRequest> requests;  // each at its own one step: column 1
    std::vector<ValueTable> tables;
    std::vector<ReadingPlan> plans;
    std::vector<bool> temperatures;
    // Consecutive requests of one variable whose kinds are words of the same lines, read
    // with the lines split once: [first, end) each.
    std::vector<std::pair<std::size_t, std::size_t>> groups;
    std::vector<std::size_t> offsets;
    // Whether a request's items are its table's stored rows, in order: its values are
    // then the column as it stands.
    std::vector<bool> stored;
    std::vector<bool> failed;
    std::vector<Failed> failures;  // of the step read last
    LineReader in;
    ColumnReading reading;
};

StepValues::StepValues(const OutputFileModel& model, std::vector<ExtractionRequest> requests,
                       int vectorLevel, SharedBytes* shared)
    : m_reading(std::make_unique<Reading>(model, std::move(requests), vectorLevel)) {
    Reading& r = *m_reading;
    r.in.Share(shared);
    const std::size_t count = r.requests.size();
    r.failed.assign(count, false);
    r.tables.resize(count);
    r.plans.resize(count);
    r.temperatures.resize(count);
    std::size_t offset = 0;
    for (std::size_t k = 0; k < count; ++k) {
        ExtractionRequest& request = r.requests[k];
        request.SelectedTimes = {1};
        r.temperatures[k] = !MakePlan(model, request, r.plans[k]);
        PrepareTable(r.tables[k], r.temperatures[k] ? model.NodeCount : r.plans[k].Rows, request);
        r.offsets.push_back(offset);
        offset += request.Vectors.size();
        const ValueTable& table = r.tables[k];
        const auto& items = request.Vectors;
        bool stored = table.KeepsEveryRow() ? items.size() == static_cast<std::size_t>(table.Rows())
                                            : items.size() == table.KeptRows().size();
        for (std::size_t i = 0; stored && i < items.size(); ++i)
            stored = items[i] == (table.KeepsEveryRow() ? static_cast<std::int32_t>(i) + 1
                                                        : table.KeptRows()[i]);
        r.stored.push_back(stored);
        const Variable* variable = FindVariable(request.Variable);
        const bool words = !r.temperatures[k] && variable && variable->Picks == KindPicks::Word;
        if (words && !r.groups.empty() && r.groups.back().second == k) {
            const ExtractionRequest& first = r.requests[r.groups.back().first];
            if (first.Variable == request.Variable && first.Vectors == request.Vectors &&
                !r.temperatures[r.groups.back().first]) {
                ++r.groups.back().second;
                continue;
            }
        }
        r.groups.emplace_back(k, k + 1);
    }
    r.offsets.push_back(offset);
}

StepValues::~StepValues() = default;

std::size_t StepValues::Count() const {
    return m_reading->offsets.back();
}

std::size_t StepValues::Offset(std::size_t k) const {
    return m_reading->offsets.at(k);
}

const ValueTable& StepValues::Table(std::size_t k) const {
    return m_reading->tables.at(k);
}

std::vector<StepValues::Failed> StepValues::Read(std::int16_t step, std::span<float> values) {
    Reading& r = *m_reading;
    r.failures.clear();
    for (std::size_t k = 0; k < r.requests.size(); ++k) {
        r.requests[k].SelectedTimes.front() = step;
        r.tables[k].ClearColumn(1);
    }
    // Several readings of the step read its bytes once; one reading reads them in one go.
    if (r.groups.size() > 1 && step >= 1 && step <= static_cast<std::int32_t>(r.model.Times.size()))
        r.in.Keep(r.model.Times[static_cast<std::size_t>(step - 1)].Position);
    for (const auto& [first, end] : r.groups) {
        std::vector<std::size_t> kinds;  // the group's requests still read
        for (std::size_t k = first; k < end; ++k)
            if (!r.failed[k]) kinds.push_back(k);
        if (kinds.empty()) continue;
        const std::size_t k0 = kinds.front();
        try {
            if (r.temperatures[k0]) {
                ReadTemperatureColumn(r.model, r.requests[k0], r.tables[k0], r.reading, 1);
            } else if (end - first == 1) {
                ColumnReader(r.model, r.requests[k0], r.tables[k0], r.plans[k0]).Read(r.reading, 1);
            } else {
                std::vector<SeveralWords::Kind> words;
                for (std::size_t k : kinds) words.push_back({&r.tables[k], r.plans[k].Word});
                const std::function<void(std::size_t)> failed = [&](std::size_t i) {
                    r.Fail(kinds[i], std::current_exception());
                };
                SeveralWords several(std::move(words), failed, r.reading.In.VectorLevel());
                ColumnReader(r.model, r.requests[k0], r.tables[k0], r.plans[k0])
                    .Read(r.reading, 1, several);
            }
        } catch (...) {
            const std::exception_ptr failure = ReadingFailure();
            for (std::size_t k : kinds) r.Fail(k, failure);
        }
    }
    r.in.Keep(-1);
    for (std::size_t k = 0; k < r.requests.size(); ++k) {
        const std::vector<std::int16_t>& items = r.requests[k].Vectors;
        float* out = values.data() + r.offsets[k];
        if (r.failed[k]) {
            std::fill(out, out + items.size(), 0.0f);
            continue;
        }
        if (r.stored[k]) {
            const std::span<const float> column = r.tables[k].Column(1);
            std::copy(column.begin(), column.end(), out);
            continue;
        }
        for (std::size_t i = 0; i < items.size(); ++i) out[i] = r.tables[k].At(items[i], 1);
    }
    std::sort(r.failures.begin(), r.failures.end(),
              [](const Failed& x, const Failed& y) { return x.Request < y.Request; });
    return r.failures;
}

bool StepIsComplete(const OutputFileModel& model, std::int16_t step, SharedBytes* held) {
    if (step < 1 || step > static_cast<std::int32_t>(model.Times.size())) return false;
    if (step < static_cast<std::int32_t>(model.Times.size())) return true;
    const std::int64_t start = model.Times[static_cast<std::size_t>(step - 1)].Position;
    try {
        LineReader in(model.FilePath);
        in.Share(held);
        // The step is looked through once for each block: its bytes are read once (a
        // compressed listing is not decompressed again for each).
        in.Seek(start);
        in.Keep(start);
        std::string_view line;
        // Reads `count` more lines; false when the file ends before the last is ended.
        auto lines = [&](std::int64_t count) {
            for (std::int64_t i = 0; i < count; ++i) {
                if (in.AtEnd()) return false;
                line = in.ReadLine();
            }
            return in.Position() > in.LineStart() + static_cast<std::int64_t>(line.size());
        };
        for (const OfferedVariable& offered : OfferedVariables(model)) {
            const std::size_t kinds = std::max<std::size_t>(offered.VectorKinds.size(), 1);
            for (std::size_t k = 0; k < kinds; ++k) {
                in.Seek(start);
                if (offered.Row->Layout == BlockLayout::TemperatureTable) {
                    const std::int64_t nodes = model.NodeCount;
                    if (in.ReadLineContaining(marker::TemperatureHeader, line) !=
                            LineReader::Search::Found ||
                        !lines((nodes + 4) / 5))
                        return false;
                    continue;
                }
                ExtractionRequest request{
                    offered.Name, "", static_cast<std::int16_t>(k), {}, {step}};
                ReadingPlan plan;
                if (!MakePlan(model, request, plan)) continue;
                for (std::int32_t block = 0; block <= plan.BlocksToSkip; ++block)
                    if (in.ReadLineContaining(plan.Header, line) != LineReader::Search::Found)
                        return false;
                const std::int64_t records = plan.Pairs ? (plan.Rows + 4) / 5 : plan.Rows;
                const std::int64_t after =
                    plan.Lead + (records > 0 ? (records - 1) * plan.Stride : 0);
                if (!lines(after)) return false;
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<CutShort> RequestCutShort(const OutputFileModel& model,
                                        const ExtractionRequest& request, SharedBytes* held) {
    const auto last = static_cast<std::int16_t>(model.Times.size());
    if (last < 1 || request.Vectors.empty() ||
        std::find(request.SelectedTimes.begin(), request.SelectedTimes.end(), last) ==
            request.SelectedTimes.end() ||
        StepIsComplete(model, last, held))
        return std::nullopt;
    // The lines after the block's header that are there and ended, up to `wanted`.
    std::int64_t ended = -1;  // -1: no header
    std::function<std::int64_t(std::int16_t)> lineOf;
    try {
        LineReader in(model.FilePath);
        in.Share(held);
        in.Seek(model.Times[static_cast<std::size_t>(last - 1)].Position);
        std::string_view line;
        // After the header `line`: how many of the `wanted` lines after it are there and
        // ended (-1 when not even the header is).
        auto count = [&](std::int64_t wanted) {
            auto endedNow = [&] {
                return in.Position() > in.LineStart() + static_cast<std::int64_t>(line.size());
            };
            ended = endedNow() ? 0 : -1;
            while (ended >= 0 && ended < wanted && !in.AtEnd()) {
                line = in.ReadLine();
                if (!endedNow()) break;
                ++ended;
            }
        };
        ReadingPlan plan;
        if (MakePlan(model, request, plan)) {
            bool found = true;
            for (std::int32_t block = 0; block <= plan.BlocksToSkip && found; ++block)
                found = in.ReadLineContaining(plan.Header, line) == LineReader::Search::Found;
            lineOf = [plan](std::int16_t item) {
                const std::int64_t record = plan.Pairs ? (item - 1) / 5 + 1 : item;
                return plan.Lead + (record - 1) * plan.Stride;
            };
            if (found)
                count(lineOf(
                    static_cast<std::int16_t>(std::min<std::int32_t>(plan.Rows, INT16_MAX))));
        } else if (in.ReadLineContaining(marker::TemperatureHeader, line) ==
                   LineReader::Search::Found) {
            lineOf = [](std::int16_t item) { return std::int64_t{(item - 1) / 5 + 1}; };
            count((model.NodeCount + 4) / 5);
        }
    } catch (...) {
        ended = -1;
    }
    for (std::int16_t item : request.Vectors)
        if (ended < 0 || !lineOf || lineOf(item) > ended) return CutShort{last, item};
    return std::nullopt;
}

std::string CutShortText(const OutputFileModel& model, const ExtractionRequest& request,
                         const CutShort& cut) {
    const float time = model.Times.at(static_cast<std::size_t>(cut.Step - 1)).Time;
    return "step " + std::to_string(cut.Step) + " (time " + ShortestText(time) +
           ") is not complete in the listing: " + VectorLabel(request.Variable, cut.Item) +
           " of it is not written yet (nor what follows)";
}

std::vector<Outcome> ExtractKinds(const OutputFileModel& model,
                                  std::span<const ExtractionRequest> requests,
                                  std::span<ValueTable> tables, Services& services) {
    Unshown unshown;
    Services quiet{unshown, services.Progress, services.AbortRequested, services.StopScan,
                   services.Reading};
    std::vector<Outcome> outcomes(requests.size());
    if (!ShareOneReading(model, requests)) {
        for (std::size_t k = 0; k < requests.size(); ++k) {
            outcomes[k] = ExtractValues(model, requests[k], tables[k], quiet);
            if (outcomes[k].Stopped) {
                for (auto& later : std::span(outcomes).subspan(k)) later.Stopped = true;
                break;
            }
        }
        return outcomes;
    }
    ReadKinds(model, requests, tables, quiet, outcomes);
    for (auto& outcome : outcomes) outcome.Stopped = services.AbortRequested;
    return outcomes;
}

Outcome ReadStructuralValues(const OutputFileModel& model, const ExtractionRequest& request,
                             ValueTable& table, Services& services) {
    return ReportingFailures(services, [&] { Read(model, request, table, services); });
}

Outcome ExtractValues(const OutputFileModel& model, const ExtractionRequest& request,
                      ValueTable& table, Services& services) {
    switch (model.AnalysisType) {
        case AnalysisThermal:
            return ReadTemperatures(model, request, table, services);
        case AnalysisStatic:
        case AnalysisDynamic:
            return ReadStructuralValues(model, request, table, services);
        default:
            return {};
    }
}

}  // namespace vx
