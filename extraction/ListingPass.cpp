#include "extraction/ListingPass.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

#include "common/Failure.h"
#include "extraction/StepReading.h"

namespace vx {

namespace {

// The bytes of the steps handed over and not yet delivered, beyond which the scan waits
// for them (or reads them itself) before it goes on: the bytes the readers take must
// still be held.
constexpr std::int64_t kMostBytesInHand = std::int64_t{16} << 20;

// The values a step must give for helpers to read steps beside the scan.
constexpr std::size_t kValuesWorthAHelper = 2048;

}  // namespace

// One reader of steps: a model of its own (the pass's, the steps as far as they were
// handed over when it took its last one) and the values' reading.
struct ListingPass::Reader {
    explicit Reader(const OutputFileModel& model) : Model(model) {}
    OutputFileModel Model;
    std::optional<StepValues> Values;
};

// A step handed over: read by one of the readers, then delivered in its turn.
struct ListingPass::Slot {
    enum class State : std::uint8_t { Waiting, Reading, Read };
    std::int16_t Step = 0;
    State At = State::Waiting;
    std::vector<float> Values;
    std::vector<std::vector<float>> Columns;  // each request's column, when asked for
    std::vector<StepValues::Failed> Failed;
    bool Ended = false;  // the reading of the values ends here (Failed says why)
};

struct ListingPass::Readers {
    std::vector<std::unique_ptr<Reader>> All;  // the first is the pass's thread's
    std::vector<std::thread> Helpers;
    std::mutex Mutex;
    std::condition_variable Waiting, Read;
    std::deque<Slot> Slots;  // handed over, not delivered: those waiting come last
    std::vector<std::vector<float>> Spare;
    Slot Last;  // the step delivered last
    bool Stopping = false;

    Slot* FirstWaiting() {
        for (auto& slot : Slots)
            if (slot.At == Slot::State::Waiting) return &slot;
        return nullptr;
    }
    // The steps found since the reader took its last one (under the lock).
    static void Catch(Reader& reader, const OutputFileModel& model) {
        reader.Model.Times.insert(
            reader.Model.Times.end(),
            model.Times.begin() + static_cast<std::ptrdiff_t>(reader.Model.Times.size()),
            model.Times.end());
    }
};

ListingPass::ListingPass(Choose choose, Deliver deliver, Want want, bool columns)
    : m_choose(std::move(choose)),
      m_deliver(std::move(deliver)),
      m_want(std::move(want)),
      m_columns(columns) {}

ListingPass::~ListingPass() {
    StopHelpers();
}

std::size_t ListingPass::Offset(std::size_t k) const {
    return m_readers ? m_readers->All.front()->Values->Offset(k) : 0;
}

std::int32_t ListingPass::Rows(std::size_t k) const {
    return m_readers ? m_readers->All.front()->Values->Table(k).Rows() : 0;
}

std::span<const float> ListingPass::Column(std::size_t k) const {
    if (!m_readers || k >= m_readers->Last.Columns.size()) return {};
    return m_readers->Last.Columns[k];
}

bool ListingPass::Start(const OutputFileModel& model) {
    if (m_started) return m_readers != nullptr;
    m_started = true;
    m_model = model;
    m_model.Times.clear();
    m_requests = m_choose(m_model);
    auto readers = std::make_unique<Readers>();
    try {
        auto& first = readers->All.emplace_back(std::make_unique<Reader>(m_model));
        first->Values.emplace(first->Model, m_requests, m_vectorLevel, &m_shared);
    } catch (...) {
        // A table that cannot be made for a request: the reading of the first step fails.
        const auto notice = ReadingNotice(std::current_exception());
        if (!notice) throw;
        m_failures.push_back({1, 0, *notice});
        m_wanted = false;
        return false;
    }
    m_readers = std::move(readers);
    m_failed.assign(m_requests.size(), false);
    // A step of few values is read on the scan's thread in less time than it takes to
    // hand it over: helpers would only hold more of the listing's bytes.
    if (m_readers->All.front()->Values->Count() < m_helperValues) m_threads = 1;
    // The helpers, each with a reader of its own: as many as the system gives.
    try {
        for (int i = 1; i < m_threads; ++i) {
            auto reader = std::make_unique<Reader>(m_model);
            reader->Values.emplace(reader->Model, m_requests, m_vectorLevel, &m_shared);
            Reader& own = *m_readers->All.emplace_back(std::move(reader));
            m_readers->Helpers.emplace_back([this, &own] {
                Readers& r = *m_readers;
                std::unique_lock lock(r.Mutex);
                for (;;) {
                    Slot* slot = nullptr;
                    r.Waiting.wait(lock, [&] { return r.Stopping || (slot = r.FirstWaiting()); });
                    if (r.Stopping) return;
                    slot->At = Slot::State::Reading;
                    bool caught = true;
                    try {
                        Readers::Catch(own, m_model);
                    } catch (...) {
                        caught = false;
                    }
                    lock.unlock();
                    if (caught)
                        ReadSlot(own, *slot);
                    else
                        EndWithoutMemory(*slot);
                    lock.lock();
                    slot->At = Slot::State::Read;
                    r.Read.notify_all();
                }
            });
        }
    } catch (...) {
        // Fewer helpers: the pass's thread reads what they do not.
    }
    return true;
}

void ListingPass::ReadSlot(Reader& reader, Slot& slot) {
    const std::size_t count = reader.Values->Count();
    try {
        slot.Values.resize(count);
        slot.Failed = reader.Values->Read(slot.Step, slot.Values);
        if (m_columns) {
            slot.Columns.resize(m_requests.size());
            for (std::size_t k = 0; k < m_requests.size(); ++k) {
                const std::span<const float> column = reader.Values->Table(k).Column(1);
                slot.Columns[k].assign(column.begin(), column.end());
            }
        }
    } catch (const std::bad_alloc&) {
        EndWithoutMemory(slot);
    } catch (...) {
        // A step the values cannot be laid out of (an item outside the table): the reading
        // of the values ends there.
        slot.Ended = true;
        slot.Failed = {{0, ReadingNotice(std::current_exception())
                               .value_or(ReadingNotice(Failure(fail::OutOfMemory)))}};
    }
}

void ListingPass::EndWithoutMemory(Slot& slot) {
    slot.Ended = true;
    slot.Failed.clear();
    for (std::size_t k = 0; k < m_requests.size(); ++k)
        slot.Failed.push_back({k, ReadingNotice(Failure(fail::OutOfMemory))});
}

void ListingPass::DeliverSlot(Slot& slot) {
    if (slot.Ended) {
        for (auto& failed : slot.Failed)
            m_failures.push_back({slot.Step, failed.Request, std::move(failed.What)});
        m_wanted = false;
        return;
    }
    // A reader may not have seen a request fail at an earlier step that another read: its
    // values are those a reading that ended there leaves, zeros, and it fails no more.
    for (std::size_t k = 0; k < m_requests.size(); ++k) {
        if (!m_failed[k]) continue;
        std::fill(slot.Values.begin() + static_cast<std::ptrdiff_t>(Offset(k)),
                  slot.Values.begin() + static_cast<std::ptrdiff_t>(Offset(k + 1)), 0.0f);
        if (k < slot.Columns.size())
            std::fill(slot.Columns[k].begin(), slot.Columns[k].end(), 0.0f);
    }
    for (auto& failed : slot.Failed) {
        if (m_failed[failed.Request]) continue;
        m_failed[failed.Request] = true;
        m_failures.push_back({slot.Step, failed.Request, std::move(failed.What)});
    }
    m_wanted = m_deliver(slot.Step, slot.Values);
}

void ListingPass::Hand() {
    const auto step = static_cast<std::int16_t>(m_handed + 1);
    ++m_handed;
    if (m_want && !m_want(step, m_model.Times[static_cast<std::size_t>(step - 1)].Time)) return;
    Readers& r = *m_readers;
    {
        std::lock_guard lock(r.Mutex);
        Slot& slot = r.Slots.emplace_back();
        slot.Step = step;
        if (!r.Spare.empty()) {
            slot.Values = std::move(r.Spare.back());
            r.Spare.pop_back();
        }
    }
    r.Waiting.notify_one();
}

void ListingPass::DeliverRead(std::size_t most) {
    Readers& r = *m_readers;
    std::unique_lock lock(r.Mutex);
    for (;;) {
        while (m_wanted && !r.Slots.empty() && r.Slots.front().At == Slot::State::Read) {
            if (r.Last.Values.capacity() > 0 && r.Spare.size() < 16)
                r.Spare.push_back(std::move(r.Last.Values));
            r.Last = std::move(r.Slots.front());
            r.Slots.pop_front();
            lock.unlock();
            DeliverSlot(r.Last);
            lock.lock();
        }
        if (!m_wanted) {
            // No more values: those handed over are dropped once no reader reads one.
            while (!r.Slots.empty() && r.Slots.back().At == Slot::State::Waiting)
                r.Slots.pop_back();
            r.Read.wait(lock, [&] {
                return std::none_of(r.Slots.begin(), r.Slots.end(),
                                    [](const Slot& s) { return s.At == Slot::State::Reading; });
            });
            r.Slots.clear();
            return;
        }
        if (r.Slots.empty()) return;
        const std::int64_t from =
            m_model.Times[static_cast<std::size_t>(r.Slots.front().Step - 1)].Position;
        const std::int64_t to =
            m_handed < m_model.Times.size() ? m_model.Times[m_handed].Position : from;
        if (r.Slots.size() <= most && to - from <= kMostBytesInHand) return;
        if (Slot* slot = r.FirstWaiting()) {
            slot->At = Slot::State::Reading;
            Readers::Catch(*r.All.front(), m_model);
            lock.unlock();
            ReadSlot(*r.All.front(), *slot);
            lock.lock();
            slot->At = Slot::State::Read;
        } else {
            r.Read.wait(lock);
        }
    }
}

void ListingPass::StopHelpers() {
    if (!m_readers) return;
    Readers& r = *m_readers;
    {
        std::lock_guard lock(r.Mutex);
        r.Stopping = true;
        // Nothing waiting is read now.
        while (!r.Slots.empty() && r.Slots.back().At == Slot::State::Waiting) r.Slots.pop_back();
    }
    r.Waiting.notify_all();
    for (auto& helper : r.Helpers)
        if (helper.joinable()) helper.join();
    r.Helpers.clear();
    r.Slots.clear();
}

void ListingPass::StepsComplete(const OutputFileModel& model, const std::vector<TimeStep>& times,
                                std::size_t complete) {
    if (!m_wanted) return;
    try {
        if (!Start(model)) return;
        {
            // The steps found so far, for the reading of each: where it starts.
            std::lock_guard lock(m_readers->Mutex);
            m_model.Times.insert(m_model.Times.end(),
                                 times.begin() + static_cast<std::ptrdiff_t>(m_model.Times.size()),
                                 times.end());
        }
        // A few steps a reader in hand: each reader finds its next one waiting.
        const std::size_t most = m_threads > 1 ? 2 * static_cast<std::size_t>(m_threads) : 0;
        while (m_handed < complete && m_wanted) {
            Hand();
            DeliverRead(most);
        }
        // Nothing before the first step not yet delivered is read again.
        std::int64_t release =
            m_handed < m_model.Times.size() ? m_model.Times[m_handed].Position : -1;
        {
            std::lock_guard lock(m_readers->Mutex);
            if (!m_readers->Slots.empty())
                release = m_model.Times[static_cast<std::size_t>(m_readers->Slots.front().Step - 1)]
                              .Position;
        }
        if (release >= 0) m_shared.Release(release);
    } catch (...) {
        // Nothing may escape into the scan: what went wrong ends the values' reading.
        const auto notice = ReadingNotice(std::current_exception());
        m_failures.push_back({static_cast<std::int16_t>(m_handed), 0,
                              notice.value_or(ReadingNotice(Failure(fail::OutOfMemory)))});
        m_wanted = false;
        StopHelpers();
    }
}

Outcome ListingPass::Run(OutputFileModel& model, Services& services) {
    m_vectorLevel = services.Reading.VectorLevel;
    m_threads = ReadingThreads(services.Reading);
    m_helperValues =
        services.Reading.HelperValues > 0 ? services.Reading.HelperValues : kValuesWorthAHelper;
    Outcome outcome = ReadOutputFile(model, services, this);
    // Every step handed over is delivered, as the scan would have left them one by one.
    if (m_readers && m_wanted) {
        try {
            DeliverRead(0);
        } catch (...) {
            m_wanted = false;
        }
    }
    if (outcome.Failed() || outcome.Stopped || !m_wanted) {
        StopHelpers();
        m_shared.Release(INT64_MAX);
        return outcome;
    }
    // The steps the scan did not hand over (the last, whose end only the end of the file
    // tells): from the bytes the scan read last where they are still held (a compressed
    // listing is not decompressed again for them), else from the file. Those bytes stay
    // held for a look at the last step (Bytes()) until the pass ends.
    if (!Start(model)) return outcome;
    {
        // As the scan ended with them; the readers are idle (every step handed over was
        // delivered), each takes them whole.
        std::lock_guard lock(m_readers->Mutex);
        m_model.Times = model.Times;
        for (auto& reader : m_readers->All) reader->Model.Times = m_model.Times;
    }
    while (m_handed < model.Times.size() && m_wanted) {
        if (services.AbortRequested) {
            outcome.Stopped = true;
            break;
        }
        Hand();
        DeliverRead(0);
    }
    StopHelpers();
    return outcome;
}

}  // namespace vx
