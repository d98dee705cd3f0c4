#include "app/cli/TableOutput.h"

#include <variant>

#include "common/Text.h"
#include "reader/TextRoutines.h"

namespace vx::cli {

namespace {

std::string CsvField(const TableCell& cell) {
    if (std::holds_alternative<std::monostate>(cell)) return {};
    if (const auto* whole = std::get_if<std::int64_t>(&cell)) return std::to_string(*whole);
    if (const auto* single = std::get_if<float>(&cell)) return ShortestText(*single);
    if (const auto* value = std::get_if<double>(&cell)) return ShortestText(*value);
    if (const auto* yes = std::get_if<bool>(&cell)) return std::string(YesNo(*yes));
    std::string text = Latin1ToUtf8(std::get<std::string>(cell));
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

std::string CsvText(const ResultTable& table) {
    std::string out;
    for (const auto& column : table.Header()) {
        if (!out.empty()) out += ',';
        out += column.Header;
    }
    out += '\n';
    for (std::int32_t r = 0; r < table.DataRows(); ++r) {
        for (std::size_t c = 0; c < table.Header().size(); ++c) {
            if (c) out += ',';
            out += CsvField(table.Cell(r, c));
        }
        out += '\n';
    }
    return out;
}

void WriteJsonRows(JsonWriter& json, const ResultTable& table) {
    json.BeginArray();
    for (std::int32_t r = 0; r < table.DataRows(); ++r) {
        json.BeginObject();
        for (std::size_t c = 0; c < table.Header().size(); ++c) {
            json.Key(table.Header()[c].Key);
            const TableCell cell = table.Cell(r, c);
            if (std::holds_alternative<std::monostate>(cell))
                json.Null();
            else if (const auto* whole = std::get_if<std::int64_t>(&cell))
                json.Integer(*whole);
            else if (const auto* single = std::get_if<float>(&cell))
                json.Single(*single);
            else if (const auto* value = std::get_if<double>(&cell))
                json.Number(ShortestText(*value));
            else if (const auto* yes = std::get_if<bool>(&cell))
                json.Bool(*yes);
            else
                json.String(std::get<std::string>(cell));
        }
        json.EndObject();
    }
    json.EndArray();
}

}  // namespace vx::cli
