#include "reader/LineReader.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/Failure.h"
#include "reader/VectorLevel.h"

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
        int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, cr), _mm_cmpeq_epi8(chunk, lf)));
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

// How rare a byte is in a listing, roughly: spaces and digits fill the number tables,
// signs, points and the exponent letters come with every number, the rest is text.
int Rarity(char c) {
    if (c == ' ') return 0;
    if (c >= '0' && c <= '9') return 1;
    if (c == '.' || c == '-' || c == '+' || c == 'E' || c == 'D') return 2;
    return 3;
}

// The place in `needle` whose byte memchr should look for: the rarest, the last of equals.
std::size_t PivotOf(std::string_view needle) {
    std::size_t pivot = needle.size() - 1;
    for (std::size_t i = needle.size(); i-- > 0;)
        if (Rarity(needle[i]) > Rarity(needle[pivot])) pivot = i;
    return pivot;
}

// Finds `needle` in [p, end). memchr on the needle's rarest byte, then a compare: a
// header that ends in a digit would otherwise stop at every number of a table.
const char* FindMarker(const char* p, const char* end, std::string_view needle) {
    const std::size_t n = needle.size();
    if (static_cast<std::size_t>(end - p) < n) return nullptr;
    const std::size_t pivot = PivotOf(needle);
    const char key = needle[pivot];
    const char* q = p + pivot;
    const char* const last = end - (n - pivot) + 1;  // one past the last place the pivot can be
    while (q < last) {
        const void* hit = std::memchr(q, key, static_cast<std::size_t>(last - q));
        if (!hit) return nullptr;
        const char* h = static_cast<const char*>(hit);
        if (std::memcmp(h - pivot, needle.data(), n) == 0) return h - pivot;
        q = h + 1;
    }
    return nullptr;
}

// The place after the terminator at `at` (after the LF of a CR LF).
inline const char* AfterTerminator(const char* at, const char* end) {
    return at + (*at == '\r' && at + 1 < end && at[1] == '\n' ? 2 : 1);
}

// Counts the terminators of one 64-byte block, given which of its bytes are CR and LF:
// a CR, and an LF that does not follow a CR, so CR LF once. `carry` is 1 when the byte
// before the block is a CR. True when the `wanted`-th terminator is in the block; `at`
// then points to it, else to the block's last terminator (or is left as it was).
inline bool CountBlock(const char* p, std::uint64_t crMask, std::uint64_t lfMask,
                       std::uint64_t& carry, std::int64_t wanted, std::int64_t& found,
                       const char*& at) {
    std::uint64_t ends = crMask | (lfMask & ~((crMask << 1) | carry));
    carry = crMask >> 63;
    for (; ends != 0; ends &= ends - 1) {
        at = p + __builtin_ctzll(ends);
        if (++found == wanted) return true;
    }
    return false;
}

// The blocks of [p, p + 64 * count); returns the place after the last block looked at.
const char* CountBlocksPortable(const char* p, std::size_t count, std::uint64_t& carry,
                                std::int64_t wanted, std::int64_t& found, const char*& at) {
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; count > 0; --count, p += 64) {
        std::uint64_t crMask = 0, lfMask = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            crMask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, cr)))}
                      << (16 * k);
            lfMask |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lf)))}
                      << (16 * k);
        }
        if (CountBlock(p, crMask, lfMask, carry, wanted, found, at)) return p + 64;
    }
#else
    for (; count > 0; --count, p += 64) {
        std::uint64_t crMask = 0, lfMask = 0;
        for (int i = 0; i < 64; ++i) {
            crMask |= std::uint64_t{p[i] == '\r'} << i;
            lfMask |= std::uint64_t{p[i] == '\n'} << i;
        }
        if (CountBlock(p, crMask, lfMask, carry, wanted, found, at)) return p + 64;
    }
#endif
    return p;
}

#if defined(__x86_64__)
#define VX_X86_VECTOR_PATHS 1
// The same, 32 bytes at a time, for processors with AVX2.
__attribute__((target("avx2"))) const char* CountBlocksAvx2(const char* p, std::size_t count,
                                                            std::uint64_t& carry,
                                                            std::int64_t wanted,
                                                            std::int64_t& found, const char*& at) {
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    for (; count > 0; --count, p += 64) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const std::uint64_t crMask =
            std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, cr)))} |
            std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, cr)))}
                << 32;
        const std::uint64_t lfMask =
            std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lf)))} |
            std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lf)))}
                << 32;
        if (CountBlock(p, crMask, lfMask, carry, wanted, found, at)) return p + 64;
    }
    return p;
}

// The same, 64 bytes at a time, for processors with AVX-512BW.
__attribute__((target("avx512bw"))) const char* CountBlocksAvx512(const char* p, std::size_t count,
                                                                  std::uint64_t& carry,
                                                                  std::int64_t wanted,
                                                                  std::int64_t& found,
                                                                  const char*& at) {
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    for (; count > 0; --count, p += 64) {
        const __m512i v = _mm512_loadu_si512(p);
        if (CountBlock(p, _mm512_cmpeq_epi8_mask(v, cr), _mm512_cmpeq_epi8_mask(v, lf), carry,
                       wanted, found, at))
            return p + 64;
    }
    return p;
}
#endif

// The terminators of lines in [p, end), counted 64 bytes at a time. Stops at the
// `wanted`-th one and returns the place just after it; otherwise returns the place
// after the last one found, or p. `found` receives the count. The caller makes sure
// that p starts a line and that a CR at end - 1 is not half of a CR LF whose LF is not
// held.
const char* FindLineEnds(const char* p, const char* end, std::int64_t wanted, std::int64_t& found,
                         [[maybe_unused]] int level) {
    found = 0;
    const char* const begin = p;
    const char* at = nullptr;  // the last terminator found
    std::uint64_t carry = 0;
    const auto blocks = static_cast<std::size_t>(end - p) / 64;
#if defined(VX_X86_VECTOR_PATHS)
    p = level == kAvx512Vectors ? CountBlocksAvx512(p, blocks, carry, wanted, found, at)
        : level == kAvx2Vectors ? CountBlocksAvx2(p, blocks, carry, wanted, found, at)
                                : CountBlocksPortable(p, blocks, carry, wanted, found, at);
#else
    p = CountBlocksPortable(p, blocks, carry, wanted, found, at);
#endif
    if (found < wanted) {
        // The bytes after the last whole block; an LF right after a CR there is its half.
        if (carry != 0 && p < end && *p == '\n') ++p;
        while (p < end) {
            if (*p == '\r' || *p == '\n') {
                at = p;
                if (++found == wanted) break;
                p = AfterTerminator(p, end);
            } else {
                ++p;
            }
        }
    }
    return at ? AfterTerminator(at, end) : begin;
}

}  // namespace

std::size_t SharedBytes::Take(char* into, std::size_t want, std::int64_t offset) const {
    std::lock_guard lock(m_mutex);
    if (offset < m_start || offset >= m_end) return 0;
    // The piece that holds `offset`: the last that starts at or before it.
    const auto piece =
        std::upper_bound(m_pieces.begin(), m_pieces.end(), offset,
                         [](std::int64_t at, const Piece& p) { return at < p.Offset; }) -
        1;
    const auto from = static_cast<std::size_t>(offset - piece->Offset);
    const std::size_t count = std::min(want, piece->Bytes.size() - from);
    std::memcpy(into, piece->Bytes.data() + from, count);
    return count;
}

void SharedBytes::Offer(std::int64_t offset, const char* bytes, std::size_t count) {
    if (count == 0 || count > m_most) return;
    std::lock_guard lock(m_mutex);
    if (m_start == m_end) {
        DropBefore(m_end);
        m_start = m_end = offset;
    } else if (offset != m_end) {
        return;
    }
    std::vector<char> room;
    if (!m_spare.empty()) {
        room = std::move(m_spare.back());
        m_spare.pop_back();
    }
    room.assign(bytes, bytes + count);
    m_pieces.push_back({offset, std::move(room)});
    m_end = offset + static_cast<std::int64_t>(count);
    if (static_cast<std::size_t>(m_end - m_start) > m_most)
        DropBefore(m_end - static_cast<std::int64_t>(m_most));
}

void SharedBytes::Release(std::int64_t offset) {
    std::lock_guard lock(m_mutex);
    if (offset > m_start) DropBefore(std::min(offset, m_end));
}

std::size_t SharedBytes::Held() const {
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(m_end - m_start);
}

void SharedBytes::DropBefore(std::int64_t offset) {
    m_start = std::max(m_start, offset);
    while (!m_pieces.empty() &&
           m_pieces.front().Offset + static_cast<std::int64_t>(m_pieces.front().Bytes.size()) <=
               m_start) {
        // A few pieces' room is kept for the pieces to come.
        if (m_spare.size() < 4) m_spare.push_back(std::move(m_pieces.front().Bytes));
        m_pieces.pop_front();
    }
}

LineReader::LineReader(const std::filesystem::path& path, int vectorLevel)
    : m_vectorLevel(UsableVectorLevel(vectorLevel)), m_source(OpenByteSource(path)) {
    if (!m_buffer.Grow(kInitialCapacity)) Raise(fail::OutOfMemory);
}

LineReader::Buffer::~Buffer() {
    if (m_data) ::munmap(m_data, m_capacity);
}

bool LineReader::Buffer::Grow(std::size_t capacity) {
    void* data = m_data ? ::mremap(m_data, m_capacity, capacity, MREMAP_MAYMOVE)
                        : ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) return false;
    m_data = static_cast<char*>(data);
    m_capacity = capacity;
    // Large pages where the system offers them: a line of gigabytes would otherwise cost
    // a page fault every 4 KiB.
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto from =
        (reinterpret_cast<std::uintptr_t>(m_data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(m_data) + capacity) & ~(kLargePage - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    return true;
}

LineReader::~LineReader() = default;

std::int64_t LineReader::Size() const {
    return m_source->Size();
}
double LineReader::Fraction(std::int64_t position) const {
    return m_source->Fraction(position);
}
bool LineReader::CanSeek() const {
    return m_source->CanSeek();
}
Compression LineReader::Compressed() const {
    return m_source->Kind();
}

bool LineReader::Fill() {
    if (m_eof) return false;
    // The bytes read are dropped, but those kept while there is room to keep them.
    std::size_t drop = m_begin;
    if (m_keepFrom >= m_bufferOffset) {
        const auto kept = static_cast<std::size_t>(std::min<std::int64_t>(
            m_keepFrom - m_bufferOffset, static_cast<std::int64_t>(m_begin)));
        if (m_end - kept < m_buffer.Capacity() || m_buffer.Capacity() * 2 <= kMostKeptBytes)
            drop = kept;
        else
            m_keepFrom = -1;
    }
    if (drop > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + drop, m_end - drop);
        m_bufferOffset += static_cast<std::int64_t>(drop);
        m_end -= drop;
        m_begin -= drop;
    }
    // One line (or what is kept) fills the whole buffer: make room for the rest of it. A
    // file's size bounds its lines; a compressed file's does not, so kMostCompressedLine does.
    if (m_end == m_buffer.Capacity() &&
        ((m_source->Kind() != Compression::None && m_end >= kMostCompressedLine) ||
         !m_buffer.Grow(m_buffer.Capacity() * 2)))
        Raise(fail::OutOfMemory);
    // Reads of kReadSize, or as large as the unfinished line held, so that searches that
    // look at a long line again after each read cost no more than reading it.
    const std::size_t want =
        std::min(m_buffer.Capacity() - m_end, std::max(kReadSize, m_end - m_begin));
    const std::int64_t at = m_bufferOffset + static_cast<std::int64_t>(m_end);
    if (m_shared) {
        if (const std::size_t taken = m_shared->Take(m_buffer.get() + m_end, want, at)) {
            m_end += taken;
            return true;
        }
    }
    const std::size_t got = m_source->Read(m_buffer.get() + m_end, want, at);
    if (got == 0) {
        m_eof = true;
        return false;
    }
    if (m_shared) m_shared->Offer(at, m_buffer.get() + m_end, got);
    m_end += got;
    return true;
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
    m_lineStart = m_bufferOffset + static_cast<std::int64_t>(m_begin);
    std::size_t next = lineEnd;
    if (lineEnd < m_end) {
        next = lineEnd + 1;
        if (m_buffer.get()[lineEnd] == '\r' && next < m_end && m_buffer.get()[next] == '\n') ++next;
    }
    m_begin = next;
    return line;
}

std::string_view LineReader::ReadLine() {
    if (AtEnd()) Raise(fail::InputPastEndOfFile);
    std::size_t scanned = m_begin;  // bytes before this index hold no terminator
    for (;;) {
        const char* base = m_buffer.get();
        std::size_t at =
            static_cast<std::size_t>(FindTerminator(base + scanned, base + m_end) - base);
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

bool LineReader::SeekToLineStart(std::int64_t position, std::int64_t before) {
    if (position <= 0) {
        Seek(0);
        return before > 0 && !AtEnd();
    }
    // The line that holds the byte before `position` ends at or after it. Its terminator
    // is searched for without keeping the line; reading from the terminator (an empty
    // line, or CR LF) then leaves the reader where the next line starts.
    Seek(position - 1);
    for (;;) {
        if (AtEnd()) return false;
        const char* base = m_buffer.get();
        const std::int64_t stop = before - m_bufferOffset;
        if (stop <= static_cast<std::int64_t>(m_begin)) return false;
        const std::size_t until = std::min(m_end, static_cast<std::size_t>(stop));
        const char* terminator = FindTerminator(base + m_begin, base + until);
        if (terminator < base + until) {
            m_begin = static_cast<std::size_t>(terminator - base);
            ReadLine();
            return Position() < before && !AtEnd();
        }
        m_begin = until;
    }
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

std::int64_t LineReader::SkipLines(std::int64_t count, Visitor visit, void* context) {
    std::int64_t skipped = 0;
    while (skipped < count && !AtEnd()) {
        const char* base = m_buffer.get();
        // A CR in the last byte held may be the first half of CR LF: leave it for the
        // next round, unless the file ends there.
        std::size_t limit = m_end;
        if (!m_eof && base[limit - 1] == '\r') --limit;
        std::int64_t found = 0;
        const char* after =
            FindLineEnds(base + m_begin, base + limit, count - skipped, found, m_vectorLevel);
        const auto taken = static_cast<std::size_t>(after - base);
        if (taken > m_begin) {
            visit(context, std::string_view(base + m_begin, taken - m_begin));
            m_begin = taken;
        }
        skipped += found;
        if (skipped == count) break;
        if (m_eof) {
            // Nothing more to read: what is left is the last line, without a terminator.
            if (m_begin < m_end) {
                visit(context, std::string_view(base + m_begin, m_end - m_begin));
                m_begin = m_end;
                ++skipped;
            }
            break;
        }
        Fill();
    }
    return skipped;
}

}  // namespace vx
