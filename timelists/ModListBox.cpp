#include "timelists/ModListBox.h"

#include <cmath>

#include "common/ScanDecimal.h"

namespace vx {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

void SetRedraw(ListBox& list, bool redraw) {
    list.SetRedraw(redraw);
}

std::int32_t FindItemExact(const std::vector<std::string>& items, std::string_view text) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (EqualIgnoringCase(items[i], text)) return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t GetSelCount(const ListBox& list) {
    std::int32_t count = 0;
    for (std::int32_t i = 0; i < list.ListCount(); ++i) count += list.Selected(i) ? 1 : 0;
    return count;
}

std::optional<std::vector<std::int32_t>> GetSelectedItems(const ListBox& list) {
    std::vector<std::int32_t> indices;
    for (std::int32_t i = 0; i < list.ListCount(); ++i)
        if (list.Selected(i)) indices.push_back(i);
    if (indices.empty()) return std::nullopt;
    return indices;
}

void SelectAllItems(ListBox& list) {
    for (std::int32_t i = 0; i < list.ListCount(); ++i) list.SetSelected(i, true);
}

std::int32_t CopyListItems(const ListBox& source, ListBox& destination) {
    constexpr std::size_t kBuffer = 260;
    for (std::int32_t i = 0; i < source.ListCount(); ++i) {
        const std::string& text = source.List(i);
        destination.AddItem(text.substr(0, kBuffer - 1));
    }
    return destination.ListCount();
}

double TimeValue(std::string_view text) {
    // A time too large for a double sorts after every other, as the infinity of its sign.
    return ScanDecimal<DecimalSyntax{}>(text).Value;
}

std::int32_t FindSortedPosition(const std::vector<std::string>& items, std::string_view text) {
    const double t = TimeValue(text);
    std::int32_t lo = 0;
    std::int32_t hi = static_cast<std::int32_t>(items.size()) - 1;
    while (lo <= hi) {
        // (lo + hi) / 2 to the nearest whole number, halves to the even one.
        const std::int32_t mid = static_cast<std::int32_t>(std::nearbyint((lo + hi) / 2.0));
        const double v = TimeValue(items[static_cast<std::size_t>(mid)]);
        if (v > t)
            hi = mid - 1;
        else if (v < t)
            lo = mid + 1;
        else
            return -1;
    }
    return lo;
}

std::int32_t AddItemSorted(ListBox& list, std::string_view text) {
    if (list.ListCount() == 0) {
        list.AddItem(std::string(text));
        return 0;
    }
    std::int32_t position = FindSortedPosition(list.Items(), text);
    if (position == -1) return -1;
    list.AddItem(std::string(text), position);
    return position;
}

}  // namespace vx
