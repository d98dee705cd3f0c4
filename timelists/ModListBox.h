#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "timelists/ListBox.h"

// The list operations the time lists are built from, on the model's list boxes.
namespace vx {

void SetRedraw(ListBox& list, bool redraw);

// The first item, from the top, whose whole text equals `text` ignoring case; -1.
std::int32_t FindItemExact(const std::vector<std::string>& items, std::string_view text);
inline std::int32_t FindItemExact(const ListBox& list, std::string_view text) {
    return FindItemExact(list.Items(), text);
}

std::int32_t GetSelCount(const ListBox& list);

// Indices of the highlighted items, ascending; no array at all when none is.
std::optional<std::vector<std::int32_t>> GetSelectedItems(const ListBox& list);

void SelectAllItems(ListBox& list);

// Appends every item of `source` to `destination` in order; returns the destination's
// new count. Texts pass through a 260-character buffer, so at most 259 survive.
std::int32_t CopyListItems(const ListBox& source, ListBox& destination);

// The numeric value of a time text for ordering: the longest leading number (leading
// blanks skipped; sign, digits, "." and exponent); 0 for an empty or non-numeric text.
double TimeValue(std::string_view text);

// Binary search for the insert position of `text` by value; -1 when an item of equal
// value is already there.
std::int32_t FindSortedPosition(const std::vector<std::string>& items, std::string_view text);

// Inserts `text` at its ascending position and returns it; -1 (nothing inserted) when
// an item of equal value is there. Into an empty list it appends and returns 0.
std::int32_t AddItemSorted(ListBox& list, std::string_view text);

}  // namespace vx
