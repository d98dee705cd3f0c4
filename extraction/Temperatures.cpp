#include <algorithm>
#include <new>
#include <string>

#include "common/Failure.h"
#include "extraction/Extraction.h"
#include "extraction/StepReading.h"
#include "extraction/ValueText.h"
#include "reader/LineReader.h"
#include "reader/Markers.h"
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
    return SingleValue(line.substr(start, kTemperatureWidth));
}

// Lines of nodes the table does not keep are passed over in bulk when at least this many
// come together; fewer are read one by one.
constexpr std::int32_t kMinLinesToSkip = 4;
// The last line whose nodes all stay below the limit of the 16-bit node counter.
constexpr std::int32_t kLastLineBelowLimit = (INT16_MAX - 1) / 5;

// Reads one column (one selected step) of the table. Several columns are read at once,
// each through its own line reader, so everything here is const apart from the column.
class TemperatureColumns {
public:
    TemperatureColumns(const OutputFileModel& model, const ExtractionRequest& request,
                       ValueTable& table)
        : m_model(model),
          m_request(request),
          m_table(table),
          m_nodes(model.NodeCount),
          m_lines(m_nodes / 5 + (m_nodes % 5 != 0 ? 1 : 0)) {}

    void Read(ColumnReading& reading, std::int32_t t) const {
        LineReader& in = reading.In;
        SeekToColumnStep(in, m_model, m_request, t);
        std::string_view line;
        if (in.ReadLineContaining(marker::TemperatureHeader, line) != LineReader::Search::Found)
            Raise(fail::InputPastEndOfFile);
        reading.Reported = true;

        std::int32_t n = 1;  // the node counter is a 16-bit field
        std::size_t nextKept = 0;
        std::int32_t readSingly = 0;  // lines up to this one are read one by one
        for (std::int32_t l = 1; l <= m_lines; ++l) {
            if (l > readSingly && !m_table.KeepsEveryRow()) {
                const std::int32_t run = LinesWithoutKeptNodes(l, nextKept);
                if (run >= kMinLinesToSkip) {
                    if (SkipLines(in, run)) {
                        l += run - 1;
                        n += 5 * run;
                        continue;
                    }
                    readSingly = l + run - 1;
                }
            }
            line = in.ReadLine();
            std::int32_t pairs = (l == m_lines && m_nodes % 5 != 0) ? m_nodes % 5 : 5;
            for (std::int32_t j = 0; j < pairs; ++j) {
                m_table.Set(n, t, PairTemperature(line, static_cast<std::size_t>(j)));
                if (++n > INT16_MAX) Raise(fail::Overflow);
            }
        }
    }

private:
    // How many lines from line l on hold no node the table keeps and stay below the
    // node counter's limit. `nextKept` moves on through the kept rows.
    std::int32_t LinesWithoutKeptNodes(std::int32_t l, std::size_t& nextKept) const {
        const std::vector<std::int32_t>& kept = m_table.KeptRows();
        const std::int32_t firstNode = 5 * (l - 1) + 1;
        while (nextKept < kept.size() && kept[nextKept] < firstNode) ++nextKept;
        const std::int32_t end =
            nextKept < kept.size() ? (kept[nextKept] - 1) / 5 + 1 : m_lines + 1;
        return std::min(end, kLastLineBelowLimit + 1) - l;
    }

    // Passes over `count` lines of unkept nodes; false, with the reader where it was,
    // when they must be read one by one (a field that might not fit, or the end of the
    // file, which reading them reports).
    static bool SkipLines(LineReader& in, std::int32_t count) {
        const std::int64_t start = in.Position();
        FieldNumberGuard guard;
        if (in.SkipLines(count, [&](std::string_view bytes) { guard.Feed(bytes); }) == count &&
            guard.Clear())
            return true;
        in.Seek(start);
        return false;
    }

    const OutputFileModel& m_model;
    const ExtractionRequest& m_request;
    ValueTable& m_table;
    const std::int32_t m_nodes;
    const std::int32_t m_lines;
};

void Read(const OutputFileModel& model, const ExtractionRequest& request, ValueTable& table,
          Services& services) {
    const std::int32_t timeCount = PrepareTable(table, model.NodeCount, request);

    LineReader in(model.FilePath, services.Reading.VectorLevel);
    const TemperatureColumns columns(model, request, table);
    ReadColumns(in, model.FilePath, timeCount, "Reading " + request.Variable + "...", services,
                table,
                [&columns](ColumnReading& reading, std::int32_t t) { columns.Read(reading, t); });
}

}  // namespace

void ReadTemperatureColumn(const OutputFileModel& model, const ExtractionRequest& request,
                           ValueTable& table, ColumnReading& reading, std::int32_t t) {
    TemperatureColumns(model, request, table).Read(reading, t);
}

Outcome ReadTemperatures(const OutputFileModel& model, const ExtractionRequest& request,
                         ValueTable& table, Services& services) {
    return ReportingFailures(services, [&] { Read(model, request, table, services); });
}

}  // namespace vx
