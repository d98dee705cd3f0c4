#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/Outcome.h"
#include "export/ExportPlan.h"
#include "extraction/Peaks.h"
#include "extraction/ValueTable.h"
#include "reader/LineReader.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

// One reading of a listing for a request known before the listing is opened (the
// command-line tool's export and peaks, the Python module's one-call readings): the scan,
// and the values the request wants read from the bytes the scan has just read
// (ListingPass). What the request reads is chosen as soon as the listing's counts and
// first step are known, and the steps it wants are kept as the scan finds them; the plan
// itself is made on the whole listing once it is read, exactly as after opening it, and
// the values and messages it gives are exactly those of reading that plan after the scan.
//
// Where that cannot be told for certain from what was read with the scan (a scan that
// failed or was stopped, a plan that reads other items or kinds than those chosen early,
// a step that was not kept, a failure whose place in the request's order is not known,
// the tables of several kinds outgrowing what they may hold together), the plan's values
// are read after the scan as they always were: the file is read twice, the outcome is
// the same.
namespace vx {

class RequestPass {
public:
    // What is kept of each step read with the scan.
    enum class Keep : std::uint8_t {
        Values,          // the tables of an export or of values()
        PeaksOverSteps,  // each item's peaks, folded as the steps come
        PeaksOverItems,  // each step's row of peaks
    };

    RequestPass(ExportRequest request, Keep keep);
    ~RequestPass();
    RequestPass(const RequestPass&) = delete;
    RequestPass& operator=(const RequestPass&) = delete;

    // Reads the listing at model.FilePath as ReadOutputFile does (the model Reset() first,
    // its messages shown as they arise) with the values the request wants, and plans the
    // request on the listing as read. Returns the scan's outcome.
    Outcome Read(OutputFileModel& model, Services& services);

    // The plan of the request on the listing as read: PlanExport's, refusals included.
    const Planned& Plan() const;

    // What RunExport does with the plan (Keep::Values).
    Outcome Export(const OutputFileModel& model, ValueTable& table, Services& services);
    // What ExtractKinds gives for the plan's readings (Keep::Values): each one's table and
    // its outcome, nothing shown.
    std::vector<Outcome> Extract(const OutputFileModel& model, std::vector<ValueTable>& tables,
                                 Services& services);
    // What ExtractValues does with the plan's first reading (Keep::Values).
    Outcome Values(const OutputFileModel& model, ValueTable& table, Services& services);
    // What ReducePeaks does with the plan's readings (Keep::PeaksOver...).
    Outcome Peaks(const OutputFileModel& model, std::vector<KindPeaks>& peaks, Services& services);

    // Whether the plan's values came with the scan: the listing was read once. Known once
    // the request has been run (Export, Values or Peaks).
    bool ReadOnce() const;

    // The last bytes the reading read (the last step's, as a rule), for a look at them that
    // would otherwise read them again (StepIsComplete, RequestCutShort).
    SharedBytes* Held();

private:
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace vx
