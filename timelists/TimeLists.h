#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "timelists/ListBox.h"

// Moving time steps from the Available list to the Selected list while the hidden list
// records, index for index, where each selected time stands in Available (1-based).
namespace vx {

struct TimeLists {
    ListBox& Available;
    ListBox& Selected;
    ListBox& Hidden;
};

// Adds one time text as a double-click would: skipped when its text or its value is
// already selected; otherwise inserted by value, its Available position recorded.
// Returns whether it was added.
bool AddTime(TimeLists lists, std::string_view time);

// The same rule for a request made without the window's lists: `selected` holds the
// selected texts, `steps` the time-step number of each (the hidden list's numbers),
// `available` the texts the Available list shows. The time must be one of them.
void AddTime(const std::vector<std::string>& available, std::vector<std::string>& selected,
             std::vector<std::int16_t>& steps, std::string_view time);

// Selected becomes a copy of Available in file order (duplicates kept), Hidden the
// numbers 1 to n.
void AddAllTimes(TimeLists lists);

// The Available item at a whole-number position text ("3"), as a drop payload piece
// names it; false for anything that is not a whole number naming an item.
bool AvailableItemAt(const ListBox& available, std::string_view piece, std::int32_t& index);

}  // namespace vx
