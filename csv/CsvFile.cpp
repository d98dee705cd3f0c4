#include "csv/CsvFile.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "common/Failure.h"
#include "common/Text.h"

namespace vx {

namespace {

// Large enough that a sheet of millions of numbers costs a few hundred writes.
constexpr std::size_t kBufferSize = 1 << 20;
// The longest number text: the shortest round trip of any double.
constexpr std::size_t kNumberRoom = 32;

bool NeedsQuotes(std::string_view text) {
    return text.find_first_of(",\"\r\n") != std::string_view::npos;
}

}  // namespace

CsvFile::CsvFile() = default;
CsvFile::~CsvFile() = default;

void CsvFile::Create(const std::string& path) {
    m_file.reset();
    if (!m_buffer) m_buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    m_used = 0;
    m_row = 1;
    m_field = 0;
    m_width = 0;
    m_file = std::make_unique<FileReplacement>(path);
}

char* CsvFile::Room(std::size_t bytes) {
    if (!m_file) Raise(fail::BadFileNameOrNumber);
    if (m_used + bytes > kBufferSize) Flush();
    return m_buffer.get() + m_used;
}

void CsvFile::Flush() {
    std::size_t done = 0;
    while (done < m_used) {
        const ssize_t n = ::write(m_file->Descriptor(), m_buffer.get() + done, m_used - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            // The file is lost: nothing of it may take the destination's place.
            m_file.reset();
            m_used = 0;
            throw FailureFromErrno(error);
        }
        done += static_cast<std::size_t>(n);
    }
    m_used = 0;
}

void CsvFile::EndLine() {
    for (; m_field < m_width; ++m_field) {
        if (m_field > 0) *Room(1) = ',', ++m_used;
    }
    std::memcpy(Room(2), "\r\n", 2);
    m_used += 2;
    ++m_row;
    m_field = 0;
}

char* CsvFile::Field(std::int32_t row, std::int32_t col, std::size_t bytes) {
    if (!m_file) Raise(fail::BadFileNameOrNumber);
    if (row < 1 || col < 1) Raise(fail::Overflow);
    if (row < m_row || (row == m_row && col <= m_field)) Raise(fail::InvalidCall);
    while (m_row < row) EndLine();
    for (; m_field < col - 1; ++m_field) {
        if (m_field > 0) *Room(1) = ',', ++m_used;
    }
    if (m_field > 0) *Room(1) = ',', ++m_used;
    m_field = col;
    return Room(bytes);
}

void CsvFile::Text(std::int32_t row, std::int32_t col, std::string_view latin1) {
    std::string text = Latin1ToUtf8(latin1);
    if (NeedsQuotes(text)) {
        std::string quoted = "\"";
        for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        text = quoted + '"';
    }
    Field(row, col, 0);
    // Long texts pass through the buffer in pieces.
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t piece = std::min(rest.size(), kBufferSize);
        std::memcpy(Room(piece), rest.data(), piece);
        m_used += piece;
        rest.remove_prefix(piece);
    }
}

void CsvFile::Number(std::int32_t row, std::int32_t col, float value) {
    if (!std::isfinite(value)) Raise(fail::TypeMismatch);
    char* at = Field(row, col, kNumberRoom);
    m_used =
        static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - m_buffer.get());
}

void CsvFile::Number(std::int32_t row, std::int32_t col, double value) {
    if (!std::isfinite(value)) Raise(fail::TypeMismatch);
    char* at = Field(row, col, kNumberRoom);
    m_used =
        static_cast<std::size_t>(std::to_chars(at, at + kNumberRoom, value).ptr - m_buffer.get());
}

void CsvFile::Close() {
    if (!m_file) Raise(fail::BadFileNameOrNumber);
    if (m_field > 0) EndLine();
    Flush();
    auto file = std::move(m_file);
    file->Commit();
}

void CsvSheetWriter::Write(const Sheet& sheet) {
    m_file.SetWidth(sheet.Columns());
    WriteByRows(sheet, m_file);
}

}  // namespace vx
