#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "export/SheetFormats.h"
#include "extraction/ExtractionRequest.h"
#include "reader/OutputFileModel.h"

// The one road from a request to what the core runs. Every door fills one ExportRequest
// (the window from its controls, the command-line tool from its options, the Python
// module from its arguments, the plot from the window) and PlanExport checks it against
// the open listing by the rules they all share: the variables and vector kinds the
// listing offers, the window's rules for the From, To and Step boxes and for the time
// lists, never writing over the listing, the format from the extension, several vector
// kinds only in a workbook. Out comes what to read and where to write it, or why not.
namespace vx {

// A whole number as a door has it: typed (the Python module), or as typed on a command
// line, read as the window reads a number ("2", " 2 ", "2.0", "2E0").
using WholeNumber = std::variant<std::int64_t, std::string>;
// Its value, when it is a whole number.
std::optional<std::int64_t> WholeNumberValue(const WholeNumber& number);

// One entry of the vector-kind list: by its text, by its 0-based place, or by both (which
// must then name the same entry).
struct VectorKindChoice {
    std::optional<std::string> Text;  // the listing's Latin-1 bytes
    std::optional<WholeNumber> Index;
};

// The items (nodes, elements or fibres), in one of four ways.
struct ItemRange {  // the From, To and Step boxes, read as the window reads them
    std::string From = "1", To = "1", Step = "1";
};
struct EveryItem {};  // 1 to the variable's bound
struct ItemNumbers {  // in the order wanted, repeats kept
    std::vector<std::int64_t> Numbers;
};
struct ItemListText {  // "1,5,9-20,100-200:10" (ItemList.h)
    std::string Text;
};
using ItemChoice = std::variant<ItemRange, EveryItem, ItemNumbers, ItemListText>;

// The time steps, in one of five ways.
struct NoSteps {};
struct StepNumbers {  // 1-based, in the order wanted, repeats kept
    std::vector<WholeNumber> Numbers;
};
struct StepTimes {  // time texts of the Available list, each added as a double-click adds it
    std::vector<std::string> Times;
};
struct EveryStep {};   // every step, in file order
struct SelectedList {  // the window's hidden list: the Selected times' step numbers as texts
    std::vector<std::string> Hidden;
};
using StepChoice = std::variant<NoSteps, StepNumbers, StepTimes, EveryStep, SelectedList>;

// Where the sheet goes.
struct SheetRequest {
    std::string Path;                   // empty: no sheet (values read for a door, a plot)
    std::optional<SheetFormat> Format;  // unset: by the path's extension, else .xls
    bool TimesInColumns = false;
};

struct ExportRequest {
    std::optional<std::string> Variable;        // by its name; unset: the first offered
    std::vector<VectorKindChoice> VectorKinds;  // a sheet each; none: the list's first entry
    bool EveryVectorKind = false;               // a sheet for every entry of the list
    ItemChoice Items = ItemRange{};
    StepChoice Steps = NoSteps{};
    SheetRequest Sheet;
    // Every vector kind has a sheet of its own (an export); false when all of them go into
    // one table (peaks), which any format holds.
    bool SheetPerVectorKind = true;
    // Items named for a variable without a range ("Eigen Values") are passed over, as the
    // window passes over its boxes, rather than refused.
    bool IgnoreItemsWithoutRange = false;
};

// Why a request cannot be run. Each door says it in its own words where it must (the
// command-line tool names its options, the Python module its arguments); Reason is the
// plain one.
enum class RefusalRule : std::uint8_t {
    NoVariableOffered,
    VariableNotOffered,
    VectorIndexNotAnEntry,
    VectorKindUnknown,
    VectorChoicesDiffer,  // a text and a place naming different entries
    StepNotInListing,
    TimeNotAvailable,
    ItemsNotApplicable,  // items given for "Eigen Values"
    ItemListInvalid,     // a piece of an item list that cannot be read
    NoItemGiven,
    TooManyItems,
    ItemOutOfRange,
    RangeNotReady,    // From, To or Step the window's readiness rule refuses
    NoStepSelected,   // the window's Save stays disabled, or its run ends, without a time
    RangeUnusable,    // From, To and Step that give no item list (the run ends silently)
    StepsUnusable,    // a selected step number that cannot be used
    OutputIsListing,  // the sheet would be written over the listing
    SeveralKindsNeedWorkbook,
};

struct Refusal {
    RefusalRule Rule;
    std::string Reason;  // in the listing's Latin-1 bytes where it quotes the listing
    // The window would keep Save disabled for this request (rather than end its run).
    bool SaveStaysDisabled = false;
    // The variable the refusal is about, where it is about one.
    std::string Variable;
};

// Where to write: the sheet's path, its format and its layout.
struct SheetTarget {
    std::string OutputPath;
    SheetFormat Format = SheetFormat::Xls;
    bool TimesInColumns = false;
    bool operator==(const SheetTarget&) const = default;
};

// What the core runs for a request: one reading per vector kind (one sheet each, in
// order), and where the sheet goes (an empty path when nothing is written).
struct ExportPlan {
    std::vector<ExtractionRequest> Readings;
    SheetTarget Sheet;
};

using Planned = std::variant<ExportPlan, Refusal>;

// Checks `request` against the scanned listing and turns it into its plan.
Planned PlanExport(const OutputFileModel& model, const ExportRequest& request);

// The format a sheet is written in: the one asked for, else the one the path's extension
// names, else the .xls.
SheetFormat FormatOf(const SheetRequest& sheet);

// Never over the listing: a refusal when `sheet` is the listing at `listing` (the same
// file, through a link too). A door may ask before it reads the listing.
std::optional<Refusal> CheckSheetPath(const std::string& listing, const std::string& sheet);

// The window's rules that the plan applies, which the window also applies by itself:
//
// The one rule for the enabled state of Save. "Eigen Values" needs nothing; any other
// variable needs numeric From, To and Step, From and To within 1 to the variable's
// bound, and at least one selected time. Why not, when not.
std::optional<Refusal> SaveRefusal(std::string_view variable, std::string_view from,
                                   std::string_view to, std::string_view step,
                                   std::size_t selectedCount, const OutputFileModel& model);
inline bool ReadyToSave(std::string_view variable, std::string_view from, std::string_view to,
                        std::string_view step, std::size_t selectedCount,
                        const OutputFileModel& model) {
    return !SaveRefusal(variable, from, to, step, selectedCount, model);
}

// The vector numbers of a request from the From, To and Step texts: (1) for a variable
// without a range ("Eigen Values"); otherwise From, From + Step, ... while within To,
// their count fixed first as (round(To - From) div Step) + 1. False, with the reason, in
// every case where the window's export run ends without reading or writing (a Step that
// is not a number or is 0, a count below 1 or above 32767, more values than that count, a
// number beyond 16 bits); the list is then left as it was.
bool BuildVectors(std::string_view variable, std::string_view from, std::string_view to,
                  std::string_view step, std::vector<std::int16_t>& vectors, std::string& reason);

// The time-step numbers of the hidden list, in Selected-list order. False, with the
// reason, for an empty list or an entry that is not a number.
bool BuildSelectedTimes(const std::vector<std::string>& hiddenItems,
                        std::vector<std::int16_t>& selectedTimes, std::string& reason);

}  // namespace vx
