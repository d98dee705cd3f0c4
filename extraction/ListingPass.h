#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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
    // no more values are wanted (the scan goes on to its end).
    using Deliver = std::function<bool(std::int16_t step, std::span<const float> values)>;

    // Whether a step is read at all, told as the scan finds it (its time known): the steps
    // it passes over are neither read nor delivered.
    using Want = std::function<bool(std::int16_t step, float time)>;

    ListingPass(Choose choose, Deliver deliver, Want want = {})
        : m_choose(std::move(choose)), m_deliver(std::move(deliver)), m_want(std::move(want)) {}

    // Reads the listing at model.FilePath as ReadOutputFile does (the model Reset() first)
    // and delivers the values of every step, structural or thermal. Steps the scan did not
    // hand over as it went are read after it, from the file. Returns the scan's outcome;
    // failures of the values are kept (Failures), not shown.
    Outcome Run(OutputFileModel& model, Services& services);

    // The model the requests were chosen by, and the requests (empty before the first step).
    const OutputFileModel& Chosen() const { return m_model; }
    const std::vector<ExtractionRequest>& Requests() const { return m_requests; }
    std::size_t Offset(std::size_t k) const { return m_values ? m_values->Offset(k) : 0; }
    // Request k's table as the step just delivered left it (StepValues::Table).
    const ValueTable& Table(std::size_t k) const { return m_values->Table(k); }
    // Every request's first failure and its step, in the order they arose.
    struct Failed {
        std::int16_t Step;
        std::size_t Request;
        Notice What;
    };
    const std::vector<Failed>& Failures() const { return m_failures; }
    // Whether every step found was read (or passed over) up to the end of the scan: false
    // when the reading of the values ended early (no room, no more wanted).
    bool ReadToEnd() const { return m_started && m_wanted && m_delivered == m_model.Times.size(); }

    // The bytes the scan shares with the values' reading; after Run, the last ones it read
    // (the last step's, up to 64 MB), for a look at them that would read them again.
    SharedBytes& Bytes() override { return m_shared; }
    void StepsComplete(const OutputFileModel& model, const std::vector<TimeStep>& times,
                       std::size_t complete) override;

private:
    // Chooses the requests by `model` the first time; false when they cannot be read.
    bool Start(const OutputFileModel& model);
    void ReadStep(std::int16_t step);

    Choose m_choose;
    Deliver m_deliver;
    Want m_want;
    SharedBytes m_shared;
    OutputFileModel m_model;  // the counts and first step's blocks, steps as they are found
    std::vector<ExtractionRequest> m_requests;
    std::optional<StepValues> m_values;
    std::vector<float> m_step;
    std::vector<Failed> m_failures;
    std::size_t m_delivered = 0;
    bool m_started = false, m_wanted = true;
    int m_vectorLevel = 0;
};

}  // namespace vx
