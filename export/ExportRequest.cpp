#include "export/ExportRequest.h"

#include <cmath>

#include "common/Failure.h"
#include "export/VariableCatalogue.h"
#include "reader/TextRoutines.h"

namespace vx {

bool ReadyToSave(std::string_view variable, std::string_view from, std::string_view to,
                 std::string_view step, std::size_t selectedCount, const OutputFileModel& model,
                 std::string* reason) {
    auto no = [&](std::string why) {
        if (reason) *reason = std::move(why);
        return false;
    };
    if (variable == var::EigenValues) return true;
    const double bound = UpperBound(variable, model);
    auto fromValue = ParseNumber(from), toValue = ParseNumber(to);
    if (!fromValue) return no("From is not a number");
    if (!toValue) return no("To is not a number");
    if (!IsNumeric(step)) return no("Step is not a number");
    auto range = [&] { return " (1 to " + std::to_string(static_cast<int>(bound)) + ")"; };
    if (*fromValue < 1 || *fromValue > bound) return no("From is outside the range" + range());
    if (*toValue < 1 || *toValue > bound) return no("To is outside the range" + range());
    if (selectedCount == 0) return no("no time step is selected");
    return true;
}

bool BuildVectors(std::string_view variable, std::string_view from, std::string_view to,
                  std::string_view step, std::vector<std::int16_t>& vectors, std::string& reason) {
    if (variable == var::EigenValues) {
        vectors = {1};
        return true;
    }
    if (!IsNumeric(step)) {
        reason = "Step is not a number";
        return false;
    }
    try {
        auto fromValue = ParseNumber(from), toValue = ParseNumber(to);
        if (!fromValue || !toValue) Raise(fail::TypeMismatch);
        const std::int32_t s = RoundToInt32(*ParseNumber(step));
        if (s == 0) {
            reason = "Step 0 gives no vector list";
            return false;
        }
        // Truncates toward zero. In 64 bits: -2147483648 / -1 does not fit 32 bits.
        const std::int64_t q = std::int64_t{RoundToInt32(*toValue - *fromValue)} / s;
        const std::int64_t count = q + 1;
        if (count < 1 || count > INT16_MAX) {
            reason = "From, To and Step give " + std::to_string(count) +
                     " vectors; between 1 and 32767 are possible";
            return false;
        }
        const std::int32_t f = RoundToInt16(*fromValue), e = RoundToInt16(*toValue);
        const std::int32_t d = RoundToInt16(*ParseNumber(step));
        std::vector<std::int16_t> list(static_cast<std::size_t>(count), 0);
        std::size_t next = 0;
        for (std::int32_t v = f; d >= 0 ? v <= e : v >= e; v += d) {
            if (next == list.size()) {
                reason = "From " + std::string(from) + " to " + std::string(to) + " by " +
                         std::string(step) + " gives more than the " + std::to_string(count) +
                         " vectors counted from their difference";
                return false;
            }
            list[next++] = static_cast<std::int16_t>(v);
        }
        vectors = std::move(list);
        return true;
    } catch (const Failure& failure) {
        reason = "From, To or Step cannot be used: " + failure.Description();
        return false;
    }
}

bool BuildSelectedTimes(const std::vector<std::string>& hiddenItems,
                        std::vector<std::int16_t>& selectedTimes, std::string& reason) {
    if (hiddenItems.empty()) {
        reason = "no time step is selected";
        return false;
    }
    if (hiddenItems.size() > static_cast<std::size_t>(INT16_MAX)) {
        reason = "more than 32767 time steps are selected";
        return false;
    }
    std::vector<std::int16_t> times;
    times.reserve(hiddenItems.size());
    try {
        for (const auto& item : hiddenItems) {
            auto value = ParseNumber(item);
            if (!value) Raise(fail::TypeMismatch);
            times.push_back(RoundToInt16(*value));
        }
    } catch (const Failure& failure) {
        reason = "a selected time step number cannot be used: " + failure.Description();
        return false;
    }
    selectedTimes = std::move(times);
    return true;
}

}  // namespace vx
