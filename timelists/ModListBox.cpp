#include "timelists/ModListBox.h"

#include <charconv>
#include <cmath>

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

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

void SetRedraw(ListBox& list, bool redraw) {
    list.SetRedraw(redraw);
}

std::int32_t FindItemExact(const ListBox& list, std::string_view text) {
    for (std::int32_t i = 0; i < list.ListCount(); ++i)
        if (EqualIgnoringCase(list.List(i), text)) return i;
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
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    std::size_t end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        std::size_t expDigits = 0;
        while (j < text.size() && IsDigit(text[j])) ++j, ++expDigits;
        if (expDigits > 0) end = j;
    }
    std::string number(text.substr(start, end - start));
    if (!number.empty() && number[0] == '+') number.erase(0, 1);
    double value = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) return number[0] == '-' ? -HUGE_VAL : HUGE_VAL;
    return value;
}

std::int32_t FindSortedPosition(const ListBox& list, std::string_view text) {
    const double t = TimeValue(text);
    std::int32_t lo = 0;
    std::int32_t hi = list.ListCount() - 1;
    while (lo <= hi) {
        // (lo + hi) / 2 to the nearest whole number, halves to the even one.
        const std::int32_t mid = static_cast<std::int32_t>(std::nearbyint((lo + hi) / 2.0));
        const double v = TimeValue(list.List(mid));
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
    std::int32_t position = FindSortedPosition(list, text);
    if (position == -1) return -1;
    list.AddItem(std::string(text), position);
    return position;
}

}  // namespace vx
