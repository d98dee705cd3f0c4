#include "export/ItemList.h"

#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>

namespace vx {

namespace {

constexpr std::int64_t kMaxItems = std::numeric_limits<std::int16_t>::max();

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Digits alone; a number too large for 64 bits is as far outside any bound as it gets.
std::optional<std::int64_t> Digits(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return std::numeric_limits<std::int64_t>::max();
    return value;
}

}  // namespace

std::vector<std::string_view> SplitAtCommas(std::string_view list) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        pieces.push_back(list.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) return pieces;
        start = comma + 1;
    }
}

bool ParseItems(std::string_view list, std::int32_t bound, std::vector<std::int16_t>& items,
                std::string& error) {
    if (Trim(list).empty()) {
        error = "item list '" + std::string(list) + "' is empty";
        return false;
    }
    std::vector<std::int16_t> found;
    for (const std::string_view raw : SplitAtCommas(list)) {
        const std::string_view piece = Trim(raw);
        const std::string named = "item '" + std::string(piece) + "'";
        const std::size_t dash = piece.find('-'), colon = piece.find(':');
        std::optional<std::int64_t> first, last, step = 1;
        if (dash == std::string_view::npos) {
            first = last = colon == std::string_view::npos ? Digits(piece) : std::nullopt;
        } else {
            first = Digits(piece.substr(0, dash));
            const std::string_view rest = piece.substr(dash + 1);
            const std::size_t stepAt = rest.find(':');
            last = Digits(rest.substr(0, stepAt));
            if (stepAt != std::string_view::npos) step = Digits(rest.substr(stepAt + 1));
        }
        if (!first || !last || !step) {
            error = named + " is not a number N, a range A-B or a range with a step A-B:S";
            return false;
        }
        if (*step < 1) {
            error = named + " has a step of 0; a step is 1 or more";
            return false;
        }
        for (std::int64_t end : {*first, *last}) {
            if (end < 1 || end > bound) {
                error = named + " is outside 1 to " + std::to_string(bound);
                return false;
            }
        }
        const std::int64_t count = std::llabs(*last - *first) / *step + 1;
        if (static_cast<std::int64_t>(found.size()) + count > kMaxItems) {
            error = named + " brings the items past 32767";
            return false;
        }
        // A step may be any size: it is only added while another item follows.
        const std::int64_t by = *first <= *last ? *step : -*step;
        for (std::int64_t n = 0, item = *first; n < count; ++n) {
            found.push_back(static_cast<std::int16_t>(item));
            if (n + 1 < count) item += by;
        }
    }
    items = std::move(found);
    return true;
}

}  // namespace vx
