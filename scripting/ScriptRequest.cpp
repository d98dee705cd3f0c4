#include "scripting/ScriptRequest.h"

#include <algorithm>

#include "export/ExportRequest.h"
#include "export/VariableCatalogue.h"
#include "reader/TextRoutines.h"
#include "scripting/ItemList.h"
#include "timelists/ListBox.h"
#include "timelists/ModListBox.h"
#include "timelists/TimeLists.h"

namespace vx {

namespace {

const OfferedVariable* ChooseVariable(const std::vector<OfferedVariable>& offered,
                                      const ScriptChoice& choice, std::string& reason) {
    if (offered.empty()) {
        reason = "the listing offers no variable to export";
        return nullptr;
    }
    if (!choice.Variable) return &offered.front();
    for (const auto& v : offered)
        if (v.Name == *choice.Variable) return &v;
    std::string names;
    for (const auto& v : offered) names += (names.empty() ? "" : ", ") + v.Name;
    reason = "variable '" + *choice.Variable +
             "' is not offered by this listing (offered: " + names + ")";
    return nullptr;
}

// The entry of the vector-kind list, by place or by text; a variable without kinds
// carries the empty text and the index -1, as the window's empty list does.
bool ChooseVectorKind(const OfferedVariable& variable, const ScriptChoice& choice,
                      ExtractionRequest& request, std::string& reason) {
    const auto& kinds = variable.VectorKinds;
    std::int32_t kind = kinds.empty() ? -1 : 0;
    if (choice.VectorIndex) {
        auto k = ParseNumber(*choice.VectorIndex);
        if (!k || *k != static_cast<std::int32_t>(*k) || *k < 0 ||
            *k >= static_cast<double>(kinds.size())) {
            reason = "vector index '" + *choice.VectorIndex + "' is not an entry of '" +
                     variable.Name + "' (0 to " +
                     std::to_string(static_cast<int>(kinds.size()) - 1) + ")";
            return false;
        }
        kind = static_cast<std::int32_t>(*k);
    }
    if (choice.VectorKind) {
        std::int32_t found = -1;
        for (std::size_t i = 0; i < kinds.size() && found < 0; ++i)
            if (kinds[i] == *choice.VectorKind) found = static_cast<std::int32_t>(i);
        if (found < 0) {
            reason = "vector kind '" + *choice.VectorKind + "' does not exist for '" +
                     variable.Name + "'";
            return false;
        }
        if (choice.VectorIndex && found != kind) {
            reason = "--vector and --vector-index name different entries";
            return false;
        }
        kind = found;
    }
    request.VectorKindIndex = static_cast<std::int16_t>(kind);
    request.VectorKind = kind >= 0 ? kinds[static_cast<std::size_t>(kind)] : "";
    return true;
}

// The hidden list that the window's lists would hold for the chosen times.
bool SelectTimes(const ScriptChoice& choice, const OutputFileModel& model,
                 std::vector<std::string>& hidden, std::string& reason) {
    ListBox available("lstAvailable"), selected("lstSelected"), hiddenList("lstHidden");
    for (std::int32_t i = 0; i < model.TimeCount; ++i)
        available.AddItem(TimeText(model.Times[static_cast<std::size_t>(i)].Time));
    switch (choice.TimeSource) {
        case ScriptChoice::Times::None:
            break;
        case ScriptChoice::Times::All:
            AddAllTimes({available, selected, hiddenList});
            break;
        case ScriptChoice::Times::Steps:
            for (const auto& item : choice.TimeList) {
                auto number = ParseNumber(item);
                if (!number || *number != static_cast<std::int32_t>(*number) || *number < 1 ||
                    *number > model.TimeCount) {
                    reason = "time step '" + item + "' is not a number from 1 to " +
                             std::to_string(model.TimeCount);
                    return false;
                }
                hiddenList.AddItem(std::to_string(static_cast<std::int32_t>(*number)));
            }
            break;
        case ScriptChoice::Times::Times:
            for (const auto& item : choice.TimeList) {
                if (FindItemExact(available, item) == -1) {
                    reason = "time '" + item + "' is not in the list of available times";
                    return false;
                }
                AddTime({available, selected, hiddenList}, item);
            }
            break;
    }
    hidden = hiddenList.Items();
    return true;
}

// Items named one by one: each within the bound the From and To boxes have.
bool ItemVectors(const OfferedVariable& variable, const std::vector<std::int64_t>& items,
                 std::vector<std::int16_t>& vectors, std::string& reason) {
    if (!variable.NeedsRange) {
        reason = "'" + variable.Name + "' has no items to choose";
        return false;
    }
    if (items.empty()) {
        reason = "no item is given";
        return false;
    }
    if (items.size() > static_cast<std::size_t>(INT16_MAX)) {
        reason = std::to_string(items.size()) + " items are given; at most 32767 are possible";
        return false;
    }
    std::vector<std::int16_t> list;
    list.reserve(items.size());
    for (std::int64_t item : items) {
        if (item < 1 || item > variable.Bound) {
            reason = "item " + std::to_string(item) + " is outside the range (1 to " +
                     std::to_string(variable.Bound) + ")";
            return false;
        }
        list.push_back(static_cast<std::int16_t>(item));
    }
    vectors = std::move(list);
    return true;
}

}  // namespace

bool BuildScriptRequest(const OutputFileModel& model, const ScriptChoice& choice,
                        ExtractionRequest& request, std::string& reason) {
    const auto offered = OfferedVariables(model);
    const OfferedVariable* variable = ChooseVariable(offered, choice, reason);
    if (!variable) return false;
    request.Variable = variable->Name;
    if (!ChooseVectorKind(*variable, choice, request, reason)) return false;

    std::vector<std::string> hidden;
    if (!SelectTimes(choice, model, hidden, reason)) return false;

    // Items named one by one meet the same rule as the boxes from the least to the
    // greatest of them.
    std::string from = choice.From, to = choice.To, step = choice.Step;
    if (choice.EveryItem) from = "1", to = std::to_string(variable->Bound), step = "1";
    std::optional<std::vector<std::int64_t>> items = choice.Items;
    if (choice.ItemList) {
        if (!variable->NeedsRange) {
            reason =
                "--items does not apply to '" + variable->Name + "', which has no range of items";
            return false;
        }
        std::vector<std::int16_t> listed;
        if (!ParseItems(*choice.ItemList, std::min<std::int32_t>(variable->Bound, INT16_MAX),
                        listed, reason))
            return false;
        items.emplace(listed.begin(), listed.end());
    }
    if (items) {
        if (!ItemVectors(*variable, *items, request.Vectors, reason)) return false;
        const auto [least, greatest] = std::minmax_element(items->begin(), items->end());
        from = std::to_string(*least), to = std::to_string(*greatest), step = "1";
    }
    // "Eigen Values" empties the range boxes in the window.
    if (!variable->NeedsRange) from = to = step = "";

    std::string why;
    if (!ReadyToSave(request.Variable, from, to, step, hidden.size(), model, &why)) {
        reason = "Save would stay disabled: " + why;
        return false;
    }
    if (!items && !BuildVectors(request.Variable, from, to, step, request.Vectors, reason))
        return false;
    if (!BuildSelectedTimes(hidden, request.SelectedTimes, reason)) return false;
    request.TimesInColumns = choice.TimesInColumns;
    request.OutputPath = choice.Output;
    return true;
}

}  // namespace vx
