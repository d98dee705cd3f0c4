#include "reader/LineReader.h"

#include <emmintrin.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "common/Failure.h"

namespace vx {

namespace {

constexpr std::size_t kInitialCapacity = std::size_t{1} << 20;

// The first CR or LF in [p, end), or end. Listings are mostly long lines of numbers,
// so the 16-byte compare pays for itself; SSE2 is part of every x86-64.
const char* FindTerminator(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)));
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == '\r' || *p == '\n') return p;
    return end;
}

// The last CR or LF in [begin, end), or nullptr.
const char* FindLastTerminator(const char* begin, const char* end) {
    const void* lf = memrchr(begin, '\n', static_cast<std::size_t>(end - begin));
    const char* from = lf ? static_cast<const char*>(lf) + 1 : begin;
    const void* cr = memrchr(from, '\r', static_cast<std::size_t>(end - from));
    return cr ? static_cast<const char*>(cr) : static_cast<const char*>(lf);
}

// Finds `needle` in [p, end). memchr on the needle's last byte, which in markers is a
// letter or a sign and so far rarer than the spaces that most markers begin with.
const char* FindMarker(const char* p, const char* end, std::string_view needle) {
    const std::size_t n = needle.size();
    const char last = needle[n - 1];
    const char* q = p + (n - 1);
    while (q < end) {
        const void* hit = std::memchr(q, last, static_cast<std::size_t>(end - q));
        if (!hit) return nullptr;
        const char* h = static_cast<const char*>(hit);
        if (std::memcmp(h - (n - 1), needle.data(), n - 1) == 0) return h - (n - 1);
        q = h + 1;
    }
    return nullptr;
}

}  // namespace

LineReader::LineReader(const std::filesystem::path& path) {
    // O_NONBLOCK keeps a FIFO from hanging the open; only regular files are accepted.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (m_fd < 0) throw FailureFromErrno(errno);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        int e = errno;
        ::close(m_fd);
        throw FailureFromErrno(e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(m_fd);
        Raise(fail::PathFileAccessError);
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_size = st.st_size;
    try {
        m_capacity = kInitialCapacity;
        m_buffer.reset(new char[m_capacity]);
    } catch (const std::bad_alloc&) {
        ::close(m_fd);
        Raise(fail::OutOfMemory);
    }
}

LineReader::~LineReader() {
    if (m_fd >= 0) ::close(m_fd);
}

bool LineReader::Fill() {
    if (m_eof) return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_bufferOffset += static_cast<std::int64_t>(m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_capacity) {
        // One line fills the whole buffer: make room for the rest of it.
        std::size_t capacity = m_capacity * 2;
        char* bigger = new (std::nothrow) char[capacity];
        if (!bigger) Raise(fail::OutOfMemory);
        std::memcpy(bigger, m_buffer.get(), m_end);
        m_buffer.reset(bigger);
        m_capacity = capacity;
    }
    for (;;) {
        ssize_t got = ::pread(m_fd, m_buffer.get() + m_end, m_capacity - m_end,
                              m_bufferOffset + static_cast<std::int64_t>(m_end));
        if (got > 0) {
            m_end += static_cast<std::size_t>(got);
            return true;
        }
        if (got == 0) {
            m_eof = true;
            return false;
        }
        if (errno != EINTR) throw FailureFromErrno(errno);
    }
}

bool LineReader::AtEnd() {
    while (m_begin == m_end) {
        if (!Fill()) return true;
    }
    return false;
}

std::string_view LineReader::TakeLine(std::size_t lineEnd) {
    // lineEnd is the index of the terminator, or m_end for a last line without one.
    std::string_view line(m_buffer.get() + m_begin, lineEnd - m_begin);
    std::size_t next = lineEnd;
    if (lineEnd < m_end) {
        next = lineEnd + 1;
        if (m_buffer[lineEnd] == '\r' && next < m_end && m_buffer[next] == '\n') ++next;
    }
    m_begin = next;
    return line;
}

std::string_view LineReader::ReadLine() {
    if (AtEnd()) Raise(fail::InputPastEndOfFile);
    std::size_t scanned = m_begin;  // bytes before this index hold no terminator
    for (;;) {
        const char* base = m_buffer.get();
        std::size_t at = static_cast<std::size_t>(FindTerminator(base + scanned, base + m_end) - base);
        if (at < m_end) {
            // A CR in the last byte held may be the first half of CR LF: get the next byte.
            if (base[at] == '\r' && at + 1 == m_end && !m_eof) {
                std::size_t fromBegin = at - m_begin;
                Fill();  // moves the unread bytes to the front
                return TakeLine(m_begin + fromBegin);
            }
            return TakeLine(at);
        }
        std::size_t held = m_end - m_begin;
        if (!Fill()) return TakeLine(m_end);  // the last line, without a terminator
        scanned = m_begin + held;
    }
}

void LineReader::Seek(std::int64_t position) {
    if (position < 0) Raise(fail::BadFileNameOrNumber);
    std::int64_t bufferEnd = m_bufferOffset + static_cast<std::int64_t>(m_end);
    if (position >= m_bufferOffset && position <= bufferEnd) {
        m_begin = static_cast<std::size_t>(position - m_bufferOffset);
        return;
    }
    m_bufferOffset = position;
    m_begin = m_end = 0;
    m_eof = false;
}

LineReader::Search LineReader::ReadLineContaining(std::string_view marker, std::string_view& line,
                                                  std::int64_t budget) {
    const std::int64_t start = Position();
    for (;;) {
        if (AtEnd()) return Search::End;
        const char* base = m_buffer.get();
        const char* hit = FindMarker(base + m_begin, base + m_end, marker);
        if (hit) {
            // Skip the whole lines before the hit's line, then read that line normally.
            const char* last = FindLastTerminator(base + m_begin, hit);
            if (last) m_begin = static_cast<std::size_t>(last + 1 - base);
            line = ReadLine();
            return Search::Found;
        }
        if (m_eof) {
            // None in the rest of the file: read the remaining lines, as a loop would.
            while (!AtEnd()) line = ReadLine();
            return Search::End;
        }
        // Every line before the unfinished last one has been searched whole; keep that
        // one (and a final CR, which may be half of CR LF) for the next round.
        std::size_t limit = m_end;
        if (base[limit - 1] == '\r') --limit;
        const char* last = FindLastTerminator(base + m_begin, base + limit);
        if (last) m_begin = static_cast<std::size_t>(last + 1 - base);
        if (Position() - start >= budget) return Search::Paused;
        Fill();
    }
}

}  // namespace vx
