#include "timelists/TimeLists.h"

#include <charconv>

#include "timelists/ModListBox.h"

namespace vx {

bool AddTime(TimeLists lists, std::string_view time) {
    if (FindItemExact(lists.Selected, time) != -1) return false;
    std::int32_t i = AddItemSorted(lists.Selected, time);
    if (i == -1) return false;
    std::int32_t a = FindItemExact(lists.Available, time);
    lists.Hidden.AddItem(std::to_string(a + 1), i);
    return true;
}

void AddTime(const std::vector<std::string>& available, std::vector<std::string>& selected,
             std::vector<std::int16_t>& steps, std::string_view time) {
    if (FindItemExact(selected, time) != -1) return;
    const std::int32_t i = FindSortedPosition(selected, time);
    if (i == -1) return;
    selected.insert(selected.begin() + i, std::string(time));
    const std::int32_t a = FindItemExact(available, time);
    steps.insert(steps.begin() + i, static_cast<std::int16_t>(a + 1));
}

void AddAllTimes(TimeLists lists) {
    lists.Selected.Clear();
    std::int32_t n = CopyListItems(lists.Available, lists.Selected);
    lists.Hidden.Clear();
    for (std::int32_t i = 1; i <= n; ++i) lists.Hidden.AddItem(std::to_string(i));
}

bool AvailableItemAt(const ListBox& available, std::string_view piece, std::int32_t& index) {
    std::int32_t value = -1;
    auto [ptr, ec] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (ec != std::errc() || ptr != piece.data() + piece.size()) return false;
    if (value < 0 || value >= available.ListCount()) return false;
    index = value;
    return true;
}

}  // namespace vx
