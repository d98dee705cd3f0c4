#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/Outcome.h"
#include "extraction/Extraction.h"
#include "extraction/ExtractionRequest.h"
#include "reader/Reader.h"

// One reading of a listing for a request known before it is opened: the scan, and the
// values of each step read from the bytes the scan has just read, handed over step after
// step as the scan goes. The model and the scan's messages are exactly those of opening
// the listing; each step's values exactly those of the extraction of that step.
namespace vx {

class ListingPass final : public ScanObserver {
public:
    // What to read, chosen once the listing's counts and first step are known: the model
    // as the scan has it then (no time steps yet). Called once, on the pass's thread.
    using Choose = std::function<std::vector<ExtractionRequest>(const OutputFileModel& model)>;
    // Each step's values, in step order, laid out as StepValues lays them out: false when
    // no more values are wanted (the scan goes on to its end). Called on the pass's thread.
    using Deliver = std::function<bool(std::int16_t step, std::span<const float> values)>;

    // Whether a step is read at all, told as the scan finds it (its time known): the steps
    // it passes over are neither read nor delivered. Called on the pass's thread, in order.
    using Want = std::function<bool(std::int16_t step, float time)>;

    // `columns`: each delivered step also brings each request's column of its table
    // (Column), not only the values of its items.
    ListingPass(Choose choose, Deliver deliver, Want want = {}, bool columns = false);
    ~ListingPass() override;
    ListingPass(const ListingPass&) = delete;
    ListingPass& operator=(const ListingPass&) = delete;

    // Reads the listing at model.FilePath as ReadOutputFile does (the model Reset() first)
    // and delivers the values of every step, structural or thermal. Steps the scan did not
    // hand over as it went are read after it, from the file. Returns the scan's outcome;
    // failures of the values are kept (Failures), not shown.
    //
    // The values of the steps are read on helper threads (ReadingOptions::Threads in all;
    // none for steps of few values, ReadingOptions::HelperValues) while the scan goes on,
    // each from the bytes the scan has read, and delivered in step order on the pass's
    // thread exactly as reading them one after the other would.
    Outcome Run(OutputFileModel& model, Services& services);

    // The model the requests were chosen by, and the requests (empty before the first step).
    const OutputFileModel& Chosen() const { return m_model; }
    const std::vector<ExtractionRequest>& Requests() const { return m_requests; }
    std::size_t Offset(std::size_t k) const;
    // Request k's table: its rows, and (`columns`) its one column as the step just
    // delivered left it (StepValues::Table).
    std::int32_t Rows(std::size_t k) const;
    std::span<const float> Column(std::size_t k) const;
    // Every request's first failure and its step, in the order they arose.
    struct Failed {
        std::int16_t Step;
        std::size_t Request;
        Notice What;
    };
    const std::vector<Failed>& Failures() const { return m_failures; }
    // Whether every step found was read (or passed over) up to the end of the scan: false
    // when the reading of the values ended early (no room, no more wanted).
    bool ReadToEnd() const { return m_started && m_wanted && m_handed == m_model.Times.size(); }

    // The bytes the scan shares with the values' reading; after Run, the last ones it read
    // (the last step's, up to 64 MB), for a look at them that would read them again.
    SharedBytes& Bytes() override { return m_shared; }
    void StepsComplete(const OutputFileModel& model, const std::vector<TimeStep>& times,
                       std::size_t complete) override;

private:
    struct Reader;
    struct Slot;
    struct Readers;
    // Chooses the requests by `model` the first time; false when they cannot be read.
    bool Start(const OutputFileModel& model);
    // Hands the next step in order to the readers, unless it is passed over.
    void Hand();
    // Delivers the steps read, in order; while more than `most` steps (or more than a few
    // MB of them) wait to be delivered, reads the first waiting one here or waits for it.
    void DeliverRead(std::size_t most);
    void DeliverSlot(Slot& slot);
    void ReadSlot(Reader& reader, Slot& slot);
    // The reading of the values ends at the slot's step: no memory for it.
    void EndWithoutMemory(Slot& slot);
    // Ends the helpers; the steps handed over and not delivered are dropped.
    void StopHelpers();

    Choose m_choose;
    Deliver m_deliver;
    Want m_want;
    bool m_columns;
    SharedBytes m_shared;
    OutputFileModel m_model;  // the counts and first step's blocks, steps as they are found
    std::vector<ExtractionRequest> m_requests;
    std::unique_ptr<Readers> m_readers;
    std::vector<bool> m_failed;  // the requests that failed at a step delivered
    std::vector<Failed> m_failures;
    std::size_t m_handed = 0;  // steps handed over or passed over, in order
    bool m_started = false, m_wanted = true;
    int m_vectorLevel = 0, m_threads = 1;
    std::size_t m_helperValues = 0;
};

}  // namespace vx
