#include "csv/CsvFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "common/Failure.h"
#include "common/Text.h"

namespace vx {

namespace {

// The file is written whenever this much text has piled up: a sheet of millions of
// numbers then costs a hundred writes.
constexpr std::size_t kSpillSize = 1 << 20;
// The longest number text: the shortest round trip of any double.
constexpr std::size_t kNumberRoom = 32;
// Sheets of fewer cells are not worth a thread; blocks of about this many cells keep
// every thread busy and the text held at once to a few megabytes.
constexpr std::int64_t kParallelCells = 1 << 18;
constexpr std::int64_t kBlockCells = 1 << 16;

bool NeedsQuotes(std::string_view text) {
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FailureFromErrno(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

CsvText::CsvText(std::int32_t firstRow, std::int32_t width)
    : m_firstRow(firstRow), m_row(firstRow), m_width(width) {}

char* CsvText::Room(std::size_t bytes) {
    // Never the null pointer of a text not yet begun, even for no bytes: it is copied to.
    if (!m_bytes || m_used + bytes > m_capacity) {
        const std::size_t capacity = std::max(m_capacity * 2, m_used + bytes + 4096);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_used > 0) std::memcpy(grown.get(), m_bytes.get(), m_used);
        m_bytes = std::move(grown);
        m_capacity = capacity;
    }
    return m_bytes.get() + m_used;
}

void CsvText::FinishLine() {
    for (; m_field < m_width; ++m_field)
        if (m_field > 0) Put(',');
    std::memcpy(Room(2), "\r\n", 2);
    m_used += 2;
    ++m_row;
    m_field = 0;
}

void CsvText::EndLine() {
    if (m_field > 0) FinishLine();
}

void CsvText::EndRowsThrough(std::int32_t row) {
    while (m_row <= row) FinishLine();
}

char* CsvText::Field(std::int32_t row, std::int32_t col, std::size_t bytes) {
    if (row < m_firstRow || col < 1) Raise(fail::Overflow);
    if (row < m_row || (row == m_row && col <= m_field)) Raise(fail::InvalidCall);
    while (m_row < row) FinishLine();
    for (; m_field < col - 1; ++m_field)
        if (m_field > 0) Put(',');
    if (m_field > 0) Put(',');
    m_field = col;
    return Room(bytes);
}

void CsvText::Text(std::int32_t row, std::int32_t col, std::string_view latin1) {
    std::string text = Latin1ToUtf8(latin1);
    if (NeedsQuotes(text)) {
        std::string quoted = "\"";
        for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        text = quoted + '"';
    }
    std::memcpy(Field(row, col, text.size()), text.data(), text.size());
    m_used += text.size();
}

void CsvText::Number(std::int32_t row, std::int32_t col, float value) {
    if (!std::isfinite(value)) Raise(fail::TypeMismatch);
    char* at = Field(row, col, kNumberRoom);
    m_used += static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - at);
}

void CsvText::Number(std::int32_t row, std::int32_t col, double value) {
    if (!std::isfinite(value)) Raise(fail::TypeMismatch);
    char* at = Field(row, col, kNumberRoom);
    m_used += static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - at);
}

CsvFile::CsvFile() = default;
CsvFile::~CsvFile() = default;

void CsvFile::Create(const std::string& path) {
    m_file.reset();
    m_text = CsvText();
    m_file = std::make_unique<FileReplacement>(path);
}

void CsvFile::Open() const {
    if (!m_file) Raise(fail::BadFileNameOrNumber);
}

void CsvFile::Spill(bool always) {
    if (m_text.Bytes().size() < (always ? 1 : kSpillSize)) return;
    try {
        WriteAll(m_file->Descriptor(), m_text.Bytes());
    } catch (...) {
        // The file is lost: nothing of it may take the destination's place.
        m_file.reset();
        throw;
    }
    m_text.Drop();
}

void CsvFile::Text(std::int32_t row, std::int32_t col, std::string_view latin1) {
    Open();
    m_text.Text(row, col, latin1);
    Spill(false);
}

void CsvFile::Number(std::int32_t row, std::int32_t col, float value) {
    Open();
    m_text.Number(row, col, value);
    Spill(false);
}

void CsvFile::Number(std::int32_t row, std::int32_t col, double value) {
    Open();
    m_text.Number(row, col, value);
    Spill(false);
}

void CsvFile::Append(std::string_view bytes) {
    Open();
    Spill(true);
    try {
        WriteAll(m_file->Descriptor(), bytes);
    } catch (...) {
        m_file.reset();
        throw;
    }
}

void CsvFile::Close() {
    Open();
    m_text.EndLine();
    Spill(true);
    auto file = std::move(m_file);
    file->Commit();
}

void CsvSheetWriter::Write(const Sheet& sheet) {
    const std::int32_t rows = sheet.Rows(), columns = sheet.Columns();
    m_file.SetWidth(columns);
    const unsigned threads = std::min(4u, std::thread::hardware_concurrency());
    if (threads < 2 || std::int64_t{rows} * columns < kParallelCells) {
        WriteByRows(sheet, m_file);
        return;
    }
    const auto perBlock =
        static_cast<std::int32_t>(std::max<std::int64_t>(1, kBlockCells / std::max(columns, 1)));
    const std::int32_t blocks = (rows - 1) / perBlock + 1;
    // Block b is made into ring[b % ring.size()] once block b - ring.size() is written.
    struct Slot {
        CsvText Text;
        std::exception_ptr Failure;
        bool Ready = false;
    };
    std::vector<Slot> ring(2 * threads);
    const auto slots = static_cast<std::int32_t>(ring.size());
    std::mutex mutex;
    std::condition_variable changed;
    std::int32_t next = 0, written = 0;
    bool stop = false;
    auto work = [&] {
        for (;;) {
            std::int32_t b;
            {
                std::unique_lock lock(mutex);
                b = next++;
                changed.wait(lock, [&] { return stop || b >= blocks || b < written + slots; });
                if (stop || b >= blocks) return;
            }
            const std::int32_t first = b * perBlock + 1;
            const std::int32_t last = std::min(rows, first + perBlock - 1);
            CsvText text(first, columns);
            std::exception_ptr failure;
            try {
                WriteByRows(sheet, text, first, last);
                // The last row of the sheet ends as the cells end, as one text would.
                if (last == rows)
                    text.EndLine();
                else
                    text.EndRowsThrough(last);
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard lock(mutex);
            Slot& slot = ring[static_cast<std::size_t>(b % slots)];
            slot.Text = std::move(text);
            slot.Failure = failure;
            slot.Ready = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    std::exception_ptr failure;
    try {
        for (unsigned i = 0; i < threads; ++i) workers.emplace_back(work);
        for (std::int32_t b = 0; b < blocks && !failure; ++b) {
            Slot& slot = ring[static_cast<std::size_t>(b % slots)];
            CsvText text;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return slot.Ready; });
                failure = slot.Failure;
                text = std::move(slot.Text);
            }
            if (!failure) m_file.Append(text.Bytes());
            std::lock_guard lock(mutex);
            slot.Ready = false;
            written = b + 1;
            changed.notify_all();
        }
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (auto& worker : workers) worker.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace vx
