#include "export/ExportPlan.h"

#include <algorithm>
#include <cmath>

#include "common/Failure.h"
#include "common/Paths.h"
#include "export/ItemList.h"
#include "extraction/Variables.h"
#include "reader/TextRoutines.h"
#include "timelists/ModListBox.h"
#include "timelists/TimeLists.h"

namespace vx {

namespace {

Refusal Refuse(RefusalRule rule, std::string reason, std::string variable = {}) {
    return Refusal{rule, std::move(reason), false, std::move(variable)};
}

bool NeedsNoRange(std::string_view variable) {
    const Variable* v = FindVariable(variable);
    return v && !NeedsRange(*v);
}

// How a whole number was spelled.
std::string Spelled(const WholeNumber& number) {
    if (const auto* typed = std::get_if<std::int64_t>(&number)) return std::to_string(*typed);
    return std::get<std::string>(number);
}

// The request under construction: the chosen variable and what is settled so far.
struct Planning {
    const OutputFileModel& Model;
    const ExportRequest& Request;
    std::vector<OfferedVariable> Offered;
    const OfferedVariable* Chosen = nullptr;
    std::vector<std::int16_t> Vectors;
    std::vector<std::int16_t> Steps;
};

std::optional<Refusal> ChooseVariable(Planning& p) {
    if (p.Offered.empty())
        return Refuse(RefusalRule::NoVariableOffered, "the listing offers no variable to export");
    if (!p.Request.Variable) {
        p.Chosen = &p.Offered.front();
        return std::nullopt;
    }
    for (const auto& v : p.Offered) {
        if (v.Name == *p.Request.Variable) {
            p.Chosen = &v;
            return std::nullopt;
        }
    }
    std::string names;
    for (const auto& v : p.Offered) names += (names.empty() ? "" : ", ") + v.Name;
    return Refuse(RefusalRule::VariableNotOffered,
                  "variable '" + *p.Request.Variable +
                      "' is not offered by this listing (offered: " + names + ")");
}

// The entry of the vector-kind list, by place or by text; a variable without kinds
// carries the empty text and the index -1, as the window's empty list does.
std::optional<Refusal> ChooseVectorKind(const OfferedVariable& variable,
                                        const VectorKindChoice& choice,
                                        ExtractionRequest& reading) {
    const auto& kinds = variable.VectorKinds;
    std::int64_t kind = kinds.empty() ? -1 : 0;
    if (choice.Index) {
        const auto k = WholeNumberValue(*choice.Index);
        if (!k || *k < 0 || *k >= static_cast<std::int64_t>(kinds.size()))
            return Refuse(RefusalRule::VectorIndexNotAnEntry,
                          "vector index '" + Spelled(*choice.Index) + "' is not an entry of '" +
                              variable.Name + "' (0 to " +
                              std::to_string(static_cast<int>(kinds.size()) - 1) + ")");
        kind = *k;
    }
    if (choice.Text) {
        const auto found = std::find(kinds.begin(), kinds.end(), *choice.Text);
        if (found == kinds.end())
            return Refuse(
                RefusalRule::VectorKindUnknown,
                "vector kind '" + *choice.Text + "' does not exist for '" + variable.Name + "'");
        if (choice.Index && found - kinds.begin() != kind)
            return Refuse(RefusalRule::VectorChoicesDiffer,
                          "the vector kind and the vector index name different entries");
        kind = found - kinds.begin();
    }
    reading.VectorKindIndex = static_cast<std::int16_t>(kind);
    reading.VectorKind = kind >= 0 ? kinds[static_cast<std::size_t>(kind)] : "";
    return std::nullopt;
}

// The texts the Available list shows, one per time step.
std::vector<std::string> AvailableTexts(const OutputFileModel& model) {
    std::vector<std::string> texts;
    for (std::int32_t i = 0; i < model.TimeCount; ++i)
        texts.push_back(TimeText(model.Times[static_cast<std::size_t>(i)].Time));
    return texts;
}

// The number of selected times must fit the 16-bit time count, and be at least one.
bool CountSelectedTimes(std::size_t count, std::string& reason) {
    if (count == 0)
        reason = "no time step is selected";
    else if (count > static_cast<std::size_t>(INT16_MAX))
        reason = "more than 32767 time steps are selected";
    return count > 0 && count <= static_cast<std::size_t>(INT16_MAX);
}

// The selected steps, as the window's lists would hold them: step numbers as given,
// times added as a double-click adds them, or every step; the window's own hidden list
// as it is.
std::optional<Refusal> SelectSteps(Planning& p, std::vector<std::string>& hidden,
                                   std::optional<std::vector<std::int16_t>>& steps) {
    const OutputFileModel& m = p.Model;
    return std::visit(
        [&](const auto& choice) -> std::optional<Refusal> {
            using T = std::decay_t<decltype(choice)>;
            if constexpr (std::is_same_v<T, SelectedList>) {
                hidden = choice.Hidden;
                return std::nullopt;
            } else {
                std::vector<std::int16_t> numbers;
                if constexpr (std::is_same_v<T, EveryStep>) {
                    for (std::int32_t i = 1; i <= m.TimeCount; ++i)
                        numbers.push_back(static_cast<std::int16_t>(i));
                } else if constexpr (std::is_same_v<T, StepNumbers>) {
                    for (const auto& number : choice.Numbers) {
                        const auto step = WholeNumberValue(number);
                        if (!step || *step < 1 || *step > m.TimeCount)
                            return Refuse(RefusalRule::StepNotInListing,
                                          "time step '" + Spelled(number) +
                                              "' is not a number from 1 to " +
                                              std::to_string(m.TimeCount));
                        numbers.push_back(static_cast<std::int16_t>(*step));
                    }
                } else if constexpr (std::is_same_v<T, StepTimes>) {
                    const std::vector<std::string> available = AvailableTexts(m);
                    std::vector<std::string> selected;
                    for (const auto& time : choice.Times) {
                        if (FindItemExact(available, time) == -1)
                            return Refuse(
                                RefusalRule::TimeNotAvailable,
                                "time '" + time + "' is not in the list of available times");
                        AddTime(available, selected, numbers, time);
                    }
                }
                steps = std::move(numbers);
                return std::nullopt;
            }
        },
        p.Request.Steps);
}

// Items named one by one: each within the bound the From and To boxes have.
std::optional<Refusal> ItemVectors(const OfferedVariable& variable,
                                   const std::vector<std::int64_t>& items,
                                   std::vector<std::int16_t>& vectors) {
    if (!variable.NeedsRange)
        return Refuse(RefusalRule::ItemsNotApplicable,
                      "'" + variable.Name + "' has no items to choose", variable.Name);
    if (items.empty()) return Refuse(RefusalRule::NoItemGiven, "no item is given");
    if (items.size() > static_cast<std::size_t>(INT16_MAX))
        return Refuse(RefusalRule::TooManyItems, std::to_string(items.size()) +
                                                     " items are given; at most 32767 are "
                                                     "possible");
    std::vector<std::int16_t> list;
    list.reserve(items.size());
    for (std::int64_t item : items) {
        if (item < 1 || item > variable.Bound)
            return Refuse(RefusalRule::ItemOutOfRange, "item " + std::to_string(item) +
                                                           " is outside the range (1 to " +
                                                           std::to_string(variable.Bound) + ")");
        list.push_back(static_cast<std::int16_t>(item));
    }
    vectors = std::move(list);
    return std::nullopt;
}

// The items, and the From, To and Step texts the window's rule is applied to: the boxes
// as given, or for items named one by one, from the least to the greatest of them.
std::optional<Refusal> ChooseItems(Planning& p, std::string& from, std::string& to,
                                   std::string& step, bool& listed) {
    const OfferedVariable& variable = *p.Chosen;
    std::optional<std::vector<std::int64_t>> items;
    if (!variable.NeedsRange && p.Request.IgnoreItemsWithoutRange) {
        from = to = step = "";
    } else if (const auto* range = std::get_if<ItemRange>(&p.Request.Items)) {
        from = range->From, to = range->To, step = range->Step;
    } else if (std::holds_alternative<EveryItem>(p.Request.Items)) {
        from = "1", to = std::to_string(variable.Bound), step = "1";
    } else if (const auto* numbers = std::get_if<ItemNumbers>(&p.Request.Items)) {
        items = numbers->Numbers;
    } else {
        if (!variable.NeedsRange)
            return Refuse(RefusalRule::ItemsNotApplicable,
                          "'" + variable.Name + "' has no items to choose", variable.Name);
        std::vector<std::int16_t> parsed;
        std::string error;
        if (!ParseItems(std::get<ItemListText>(p.Request.Items).Text,
                        std::min<std::int32_t>(variable.Bound, INT16_MAX), parsed, error))
            return Refuse(RefusalRule::ItemListInvalid, error);
        items.emplace(parsed.begin(), parsed.end());
    }
    listed = items.has_value();
    if (items) {
        if (auto refused = ItemVectors(variable, *items, p.Vectors)) return refused;
        const auto [least, greatest] = std::minmax_element(items->begin(), items->end());
        from = std::to_string(*least), to = std::to_string(*greatest), step = "1";
    }
    // "Eigen Values" empties the range boxes in the window.
    if (!variable.NeedsRange) from = to = step = "";
    return std::nullopt;
}

// One reading: the chosen variable and one vector kind, with the items and steps that
// are the same for every kind.
std::optional<Refusal> PlanReading(Planning& p, const VectorKindChoice& kind,
                                   ExtractionRequest& reading, bool first) {
    reading.Variable = p.Chosen->Name;
    if (auto refused = ChooseVectorKind(*p.Chosen, kind, reading)) return refused;
    if (first) {
        std::vector<std::string> hidden;
        std::optional<std::vector<std::int16_t>> steps;
        if (auto refused = SelectSteps(p, hidden, steps)) return refused;
        std::string from, to, step;
        bool listed = false;
        if (auto refused = ChooseItems(p, from, to, step, listed)) return refused;
        const std::size_t selected = steps ? steps->size() : hidden.size();
        if (auto refused = SaveRefusal(p.Chosen->Name, from, to, step, selected, p.Model))
            return refused;
        std::string reason;
        if (!listed && !BuildVectors(p.Chosen->Name, from, to, step, p.Vectors, reason))
            return Refuse(RefusalRule::RangeUnusable, reason);
        const bool counted = CountSelectedTimes(selected, reason);
        if (counted && steps)
            p.Steps = std::move(*steps);
        else if (!counted || !BuildSelectedTimes(hidden, p.Steps, reason))
            return Refuse(selected == 0 ? RefusalRule::NoStepSelected : RefusalRule::StepsUnusable,
                          reason, p.Chosen->Name);
    }
    reading.Vectors = p.Vectors;
    reading.SelectedTimes = p.Steps;
    return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> WholeNumberValue(const WholeNumber& number) {
    if (const auto* typed = std::get_if<std::int64_t>(&number)) return *typed;
    const auto value = ParseNumber(std::get<std::string>(number));
    if (!value || *value != std::trunc(*value) || std::abs(*value) > 9e18) return std::nullopt;
    return static_cast<std::int64_t>(*value);
}

std::optional<Refusal> CheckSheetPath(const std::string& listing, const std::string& sheet) {
    if (!IsSameFile(sheet, listing)) return std::nullopt;
    return Refuse(
        RefusalRule::OutputIsListing,
        "the output file '" + sheet + "' is the listing itself, which is never overwritten");
}

SheetFormat FormatOf(const SheetRequest& sheet) {
    return sheet.Format.value_or(FormatOfPath(sheet.Path).value_or(SheetFormat::Xls));
}

Planned PlanExport(const OutputFileModel& model, const ExportRequest& request) {
    ExportPlan plan;
    const SheetRequest& sheet = request.Sheet;
    if (!sheet.Path.empty()) {
        if (auto refused = CheckSheetPath(model.FilePath, sheet.Path)) return *refused;
    }
    plan.Sheet = {sheet.Path, FormatOf(sheet), sheet.TimesInColumns};

    Planning p{model, request, OfferedVariables(model), nullptr, {}, {}};
    if (auto refused = ChooseVariable(p)) return *refused;
    std::vector<VectorKindChoice> kinds = request.VectorKinds;
    if (kinds.empty()) kinds.emplace_back();
    if (auto refused = PlanReading(p, kinds.front(), plan.Readings.emplace_back(), true))
        return *refused;
    if (request.EveryVectorKind) {
        kinds.clear();
        for (const auto& text : p.Chosen->VectorKinds) kinds.push_back({text, std::nullopt});
    }
    for (std::size_t i = 1; i < kinds.size(); ++i) {
        if (auto refused = PlanReading(p, kinds[i], plan.Readings.emplace_back(), false))
            return *refused;
    }
    if (request.SheetPerVectorKind && plan.Readings.size() > 1 &&
        plan.Sheet.Format != SheetFormat::Xlsx)
        return Refuse(RefusalRule::SeveralKindsNeedWorkbook,
                      "several vector kinds need an xlsx workbook, one sheet each; a " +
                          std::string(FormatInfo(plan.Sheet.Format).Name) +
                          " file holds one sheet");
    return plan;
}

std::optional<Refusal> SaveRefusal(std::string_view variable, std::string_view from,
                                   std::string_view to, std::string_view step,
                                   std::size_t selectedCount, const OutputFileModel& model) {
    auto no = [&](RefusalRule rule, std::string why) {
        return Refusal{rule, std::move(why), true, std::string(variable)};
    };
    if (NeedsNoRange(variable)) return std::nullopt;
    const double bound = UpperBound(variable, model);
    auto fromValue = ParseNumber(from), toValue = ParseNumber(to);
    if (!fromValue) return no(RefusalRule::RangeNotReady, "From is not a number");
    if (!toValue) return no(RefusalRule::RangeNotReady, "To is not a number");
    if (!IsNumeric(step)) return no(RefusalRule::RangeNotReady, "Step is not a number");
    auto range = [&] { return " (1 to " + std::to_string(static_cast<int>(bound)) + ")"; };
    if (*fromValue < 1 || *fromValue > bound)
        return no(RefusalRule::RangeNotReady, "From is outside the range" + range());
    if (*toValue < 1 || *toValue > bound)
        return no(RefusalRule::RangeNotReady, "To is outside the range" + range());
    if (selectedCount == 0) return no(RefusalRule::NoStepSelected, "no time step is selected");
    return std::nullopt;
}

bool BuildVectors(std::string_view variable, std::string_view from, std::string_view to,
                  std::string_view step, std::vector<std::int16_t>& vectors, std::string& reason) {
    if (NeedsNoRange(variable)) {
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
    if (!CountSelectedTimes(hiddenItems.size(), reason)) return false;
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
