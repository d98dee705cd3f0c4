#pragma once

#include <string>

#include "app/cli/Json.h"
#include "export/ResultTable.h"

namespace vx::cli {

// A result table as CSV: comma-separated, `.` decimal point, the header line, then a line
// per row; singles and doubles as their shortest round-trip decimals, yes/no as words,
// empty cells empty, texts quoted where a comma, a quote or a line end needs it.
std::string CsvText(const ResultTable& table);

// The rows of a result table as a JSON array of objects keyed by the columns' keys:
// numbers as JSON numbers, yes/no as true/false, empty cells null.
void WriteJsonRows(JsonWriter& json, const ResultTable& table);

}  // namespace vx::cli
