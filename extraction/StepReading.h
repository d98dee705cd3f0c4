#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/Failure.h"
#include "extraction/ExtractionRequest.h"
#include "extraction/ValueTable.h"
#include "reader/LineReader.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "reader/TextRoutines.h"

// Reading the columns of an extraction, one selected time step each, several at once.
namespace vx {

// What a column reader works with: a line reader of its own, room it may keep from one
// column to the next, and the mark of the point where progress is reported.
struct ColumnReading {
    explicit ColumnReading(LineReader& in) : In(in) {}
    LineReader& In;
    WordList Words;
    std::string Saved;
    // Set by the column reader once it has found the block it reads: the point where
    // reading one step after the other reports progress.
    bool Reported = false;
};

// Fills columns 1..`columns` of `table`, calling readColumn(reading, t) for each column
// t. readColumn writes column t of the table and nothing else, sets reading.Reported
// when it gets to the progress point, and throws the failure that ends the reading.
//
// Columns are read on worker threads, each with its own LineReader (the first one is
// `first`, the others open `path`), while the calling thread hands the results to the
// host in column order, exactly as reading the columns one after the other would: for
// each column, the abort flag is tested first and ends the reading when set; a failure
// before the progress point is thrown; then the progress report (t / columns with
// `caption`); then a failure after it is thrown. A column that failed keeps what was
// read before the failure; every column after the end of the reading is all zeros.
void ReadColumns(LineReader& first, const std::string& path, std::int32_t columns,
                 std::string_view caption, Services& services, ValueTable& table,
                 const std::function<void(ColumnReading&, std::int32_t)>& readColumn);

// The same, for readings that clear their columns themselves: clearColumn(t) for each
// column t after the end of the reading.
void ReadColumns(LineReader& first, const std::string& path, std::int32_t columns,
                 std::string_view caption, Services& services,
                 const std::function<void(ColumnReading&, std::int32_t)>& readColumn,
                 const std::function<void(std::int32_t)>& clearColumn);

// Puts `in` at the step of column t (1-based), the line after its time line: where each
// column's reading starts. A step the listing does not hold is out of range (9).
void SeekToColumnStep(LineReader& in, const OutputFileModel& model,
                      const ExtractionRequest& request, std::int32_t t);

// Reads column t of a temperature extraction through `reading`, as ReadTemperatures
// reads each of its columns.
void ReadTemperatureColumn(const OutputFileModel& model, const ExtractionRequest& request,
                           ValueTable& table, ColumnReading& reading, std::int32_t t);

// Makes `table` ready for an extraction of `records` records at the request's selected
// times and returns the number of columns. More than 32767 times is an overflow (6); a
// table without rows or columns cannot be made (9). Records past 32767 are never kept
// (record and vector numbers are 16-bit), so a listing that claims two billion nodes
// costs no gigabytes of zeros; of the others only those the request names are kept (a
// request naming none keeps all).
std::int32_t PrepareTable(ValueTable& table, std::int32_t records,
                          const ExtractionRequest& request);

// A failure of a reading as extractions show it: "N: description", no icon, reading past
// the end being a missing block; nothing for what is no failure of the reading.
Notice ReadingNotice(const Failure& failure);
std::optional<Notice> ReadingNotice(const std::exception_ptr& failure);

// Runs one extraction and shows its failure as extractions show theirs: "N: description"
// with no icon, reading past the end being a missing block. Nothing is passed on: the
// failure is returned.
Outcome ReportingFailures(Services& services, const std::function<void()>& read);

}  // namespace vx
