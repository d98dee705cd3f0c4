#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reader/ExtractionRequest.h"
#include "reader/OutputFileModel.h"

// One export request from a script's words (the command-line tool's options, the Python
// module's arguments), built by the rules of the window's Save: only what the window's
// lists offer, From/To/Step read as its boxes are read, the times selected as its lists
// select them. A request the window would not let through is refused with its reason.
namespace vx {

struct ScriptChoice {
    std::optional<std::string> Variable;     // by its name; unset: the first offered
    std::optional<std::string> VectorKind;   // by its text (Latin-1); unset: the first entry
    std::optional<std::string> VectorIndex;  // by its 0-based place, as text
    // The From, To and Step boxes, unless one of the two below is set.
    std::string From = "1", To = "1", Step = "1";
    // From 1 to the variable's bound by 1: every item.
    bool EveryItem = false;
    // The items by number, in the order wanted (repeats kept).
    std::optional<std::vector<std::int64_t>> Items;
    // The items as the command line's --items text (ParseItems), instead of Items.
    std::optional<std::string> ItemList;
    // Where the selected time steps come from: 1-based step numbers kept as given (order
    // and repeats), time texts added as a double-click on Available adds them (sorted by
    // value, repeats skipped), or every step in file order.
    enum class Times { None, Steps, Times, All } TimeSource = Times::None;
    std::vector<std::string> TimeList;
    bool TimesInColumns = false;
    std::string Output;
};

// Fills `request` from `choice` for the scanned `model`. False, with the reason naming
// the word that cannot be used, for a request the window would refuse or its Save would
// end without a word.
bool BuildScriptRequest(const OutputFileModel& model, const ScriptChoice& choice,
                        ExtractionRequest& request, std::string& reason);

}  // namespace vx
