#include "extraction/ListingPass.h"

#include <new>

#include "common/Failure.h"
#include "extraction/StepReading.h"

namespace vx {

bool ListingPass::Start(const OutputFileModel& model) {
    if (m_started) return m_values.has_value();
    m_started = true;
    m_model = model;
    m_model.Times.clear();
    m_requests = m_choose(m_model);
    try {
        m_values.emplace(m_model, m_requests, m_vectorLevel, &m_shared);
        m_step.resize(m_values->Count());
    } catch (...) {
        // A table that cannot be made for a request: the reading of the first step fails.
        const auto notice = ReadingNotice(std::current_exception());
        if (!notice) throw;
        m_failures.push_back({1, 0, *notice});
        m_values.reset();
        m_wanted = false;
    }
    return m_values.has_value();
}

void ListingPass::ReadStep(std::int16_t step) {
    if (m_want && !m_want(step, m_model.Times[static_cast<std::size_t>(step - 1)].Time)) return;
    try {
        for (auto& failed : m_values->Read(step, m_step))
            m_failures.push_back({step, failed.Request, std::move(failed.What)});
    } catch (const std::bad_alloc&) {
        for (std::size_t k = 0; k < m_requests.size(); ++k)
            m_failures.push_back({step, k, ReadingNotice(Failure(fail::OutOfMemory))});
        m_wanted = false;
        return;
    } catch (...) {
        // A step the values cannot be laid out of (an item outside the table): the reading
        // of the values ends there.
        m_failures.push_back({step, 0,
                              ReadingNotice(std::current_exception())
                                  .value_or(ReadingNotice(Failure(fail::OutOfMemory)))});
        m_wanted = false;
        return;
    }
    m_wanted = m_deliver(step, m_step);
}

void ListingPass::StepsComplete(const OutputFileModel& model, const std::vector<TimeStep>& times,
                                std::size_t complete) {
    if (!m_wanted) return;
    try {
        if (!Start(model)) return;
        // The steps found so far, for the reading of each: where it starts.
        m_model.Times.insert(m_model.Times.end(),
                             times.begin() + static_cast<std::ptrdiff_t>(m_model.Times.size()),
                             times.end());
        for (; m_delivered < complete && m_wanted; ++m_delivered) {
            ReadStep(static_cast<std::int16_t>(m_delivered + 1));
            // Nothing before the next step is read again.
            if (m_delivered + 1 < m_model.Times.size())
                m_shared.Release(m_model.Times[m_delivered + 1].Position);
        }
    } catch (...) {
        // Nothing may escape into the scan: what went wrong ends the values' reading.
        const auto notice = ReadingNotice(std::current_exception());
        m_failures.push_back({static_cast<std::int16_t>(m_delivered + 1), 0,
                              notice.value_or(ReadingNotice(Failure(fail::OutOfMemory)))});
        m_wanted = false;
    }
}

Outcome ListingPass::Run(OutputFileModel& model, Services& services) {
    m_vectorLevel = services.Reading.VectorLevel;
    Outcome outcome = ReadOutputFile(model, services, this);
    if (outcome.Failed() || outcome.Stopped || !m_wanted) {
        m_shared.Release(INT64_MAX);
        return outcome;
    }
    // The steps the scan did not hand over (the last, whose end only the end of the file
    // tells): from the bytes the scan read last where they are still held (a compressed
    // listing is not decompressed again for them), else from the file. Those bytes stay
    // held for a look at the last step (Bytes()) until the pass ends.
    if (!Start(model)) return outcome;
    m_model.Times = model.Times;
    for (; m_delivered < model.Times.size() && m_wanted; ++m_delivered) {
        if (services.AbortRequested) {
            outcome.Stopped = true;
            break;
        }
        ReadStep(static_cast<std::int16_t>(m_delivered + 1));
    }
    return outcome;
}

}  // namespace vx
