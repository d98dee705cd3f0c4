#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "reader/OutputFileModel.h"

// The parts of an export request that the window's boxes and lists decide: the
// readiness rule of Save, and the vector and time-step lists built when Save runs.
// The window and the command-line tool share them.
namespace vx {

// The one rule for the enabled state of Save. "Eigen Values" needs nothing; any other
// variable needs numeric From, To and Step, From and To within 1 to the variable's
// bound, and at least one selected time. When `reason` is given it receives why not.
bool ReadyToSave(std::string_view variable, std::string_view from, std::string_view to,
                 std::string_view step, std::size_t selectedCount, const OutputFileModel& model,
                 std::string* reason = nullptr);

// The vector numbers of a request from the From, To and Step texts: (1) for "Eigen
// Values"; otherwise From, From + Step, ... while within To, their count fixed first as
// (round(To - From) div Step) + 1. Returns false, with the reason, in every case where
// the export run ends without reading or writing (a Step that is not a number or is 0,
// a count below 1 or above 32767, more values than that count, a number beyond 16 bits).
bool BuildVectors(std::string_view variable, std::string_view from, std::string_view to,
                  std::string_view step, std::vector<std::int16_t>& vectors, std::string& reason);

// The time-step numbers of the hidden list, in Selected-list order. Returns false, with
// the reason, for an empty list or an entry that is not a number.
bool BuildSelectedTimes(const std::vector<std::string>& hiddenItems,
                        std::vector<std::int16_t>& selectedTimes, std::string& reason);

}  // namespace vx
