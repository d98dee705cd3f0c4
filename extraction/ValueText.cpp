#include "extraction/ValueText.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>

#include "common/Failure.h"
#include "reader/TextRoutines.h"
#include "reader/VectorLevel.h"

namespace vx {

namespace {

bool IsExponentLetter(char c) {
    return c == 'e' || c == 'E' || c == 'd' || c == 'D';
}

}  // namespace

bool NthWord(std::string_view line, std::size_t n, std::string_view& word) {
    const char* p = line.data();
    const char* const end = p + line.size();
    for (std::size_t k = 0;; ++k) {
        while (p < end && (*p == ' ' || *p == '\t')) ++p;
        if (p == end) return false;
        const char* start = p;
        while (p < end && *p != ' ' && *p != '\t') ++p;
        if (k == n) {
            word = std::string_view(start, static_cast<std::size_t>(p - start));
            return true;
        }
    }
}

float SingleValue(std::string_view text) {
    const char* p = text.data();
    const char* const end = p + text.size();
    float plain = 0;
    if (ReadPlainNumber(p, end, plain) && p == end) return plain;
    const DecimalResult number = ScanDecimal<kNumericPrefix>(text);
    if (number.Error == DecimalError::TooLarge) Raise(fail::Overflow);
    return RoundToSingle(number.Value);
}

namespace {

// One bit per byte of a 64-byte block: digits, digits and points, the digits 2 to 9,
// and the bytes that may stand right before the digits of an exponent (E, e, D, d, +).
struct ByteClasses {
    std::uint64_t digit = 0, digitOrPoint = 0, high = 0, lead = 0;
};

// The bits of the block shifted towards later bytes by k, the last block's filling in.
inline std::uint64_t Back(std::uint64_t current, std::uint64_t previous, int k) {
    return (current << k) | (previous >> (64 - k));
}

// Looks at one block after the last; true when it holds a number that might not fit.
inline bool Suspect(const ByteClasses& c, WordNumberGuard::Carry& last) {
    // Exponents of two digits from 20 up, and of three digits or more, at their last digit.
    const std::uint64_t twoDigits =
        c.digit & Back(c.high, last.high, 1) & Back(c.lead, last.lead, 2);
    const std::uint64_t threeDigits = c.digit & Back(c.digit, last.digit, 1) &
                                      Back(c.digit, last.digit, 2) & Back(c.lead, last.lead, 3);
    // Runs of 16 digits and points, at their last byte: bit i of `run8` is set when bytes
    // i-15..i all are, built by doubling (2, 4, 8, 16) with each step's bits of the last block.
    const std::uint64_t run1 = c.digitOrPoint & Back(c.digitOrPoint, last.digitOrPoint, 1);
    const std::uint64_t run2 = run1 & Back(run1, last.run1, 2);
    const std::uint64_t run4 = run2 & Back(run2, last.run2, 4);
    const std::uint64_t run8 = run4 & Back(run4, last.run4, 8);
    last = {c.digit, c.digitOrPoint, c.high, c.lead, run1, run2, run4};
    return (twoDigits | threeDigits | run8) != 0;
}

// The blocks of [p, p + 64 * count) until one is suspect; true when one is.
bool SuspectBlocksPortable(const char* p, std::size_t count, WordNumberGuard::Carry& last) {
    for (; count > 0; --count, p += 64) {
        ByteClasses c;
#if defined(__SSE2__)
        const __m128i zero = _mm_set1_epi8('0'), nine = _mm_set1_epi8(9);
        const __m128i two = _mm_set1_epi8('2'), seven = _mm_set1_epi8(7);
        const __m128i point = _mm_set1_epi8('.'), plus = _mm_set1_epi8('+');
        const __m128i letterBits = _mm_set1_epi8(0x21), letterE = _mm_set1_epi8('e');
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            const __m128i fromZero = _mm_sub_epi8(v, zero);
            const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(fromZero, nine), fromZero);
            const __m128i fromTwo = _mm_sub_epi8(v, two);
            const __m128i high = _mm_cmpeq_epi8(_mm_min_epu8(fromTwo, seven), fromTwo);
            // D, E, d and e are the bytes that become e when bits 0x21 are set.
            const __m128i lead = _mm_or_si128(_mm_cmpeq_epi8(_mm_or_si128(v, letterBits), letterE),
                                              _mm_cmpeq_epi8(v, plus));
            const int shift = 16 * k;
            c.digit |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(digit))} << shift;
            c.digitOrPoint |= std::uint64_t{static_cast<unsigned>(
                                  _mm_movemask_epi8(_mm_or_si128(digit, _mm_cmpeq_epi8(v, point))))}
                              << shift;
            c.high |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(high))} << shift;
            c.lead |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(lead))} << shift;
        }
#else
        for (int i = 0; i < 64; ++i) {
            const char b = p[i];
            const std::uint64_t bit = std::uint64_t{1} << i;
            if (IsDigit(b)) c.digit |= bit;
            if (IsDigit(b) || b == '.') c.digitOrPoint |= bit;
            if (b >= '2' && b <= '9') c.high |= bit;
            if (IsExponentLetter(b) || b == '+') c.lead |= bit;
        }
#endif
        if (Suspect(c, last)) return true;
    }
    return false;
}

#if defined(__x86_64__)
#define VX_X86_VECTOR_PATHS 1
// The same, 32 bytes at a time, for processors with AVX2.
__attribute__((target("avx2"))) bool SuspectBlocksAvx2(const char* p, std::size_t count,
                                                       WordNumberGuard::Carry& last) {
    const __m256i zero = _mm256_set1_epi8('0'), nine = _mm256_set1_epi8(9);
    const __m256i two = _mm256_set1_epi8('2'), seven = _mm256_set1_epi8(7);
    const __m256i point = _mm256_set1_epi8('.'), plus = _mm256_set1_epi8('+');
    const __m256i letterBits = _mm256_set1_epi8(0x21), letterE = _mm256_set1_epi8('e');
    for (; count > 0; --count, p += 64) {
        ByteClasses c;
        for (int k = 0; k < 2; ++k) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k));
            const __m256i fromZero = _mm256_sub_epi8(v, zero);
            const __m256i digit = _mm256_cmpeq_epi8(_mm256_min_epu8(fromZero, nine), fromZero);
            const __m256i fromTwo = _mm256_sub_epi8(v, two);
            const __m256i high = _mm256_cmpeq_epi8(_mm256_min_epu8(fromTwo, seven), fromTwo);
            const __m256i lead =
                _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_or_si256(v, letterBits), letterE),
                                _mm256_cmpeq_epi8(v, plus));
            const int shift = 32 * k;
            c.digit |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(digit))} << shift;
            c.digitOrPoint |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(
                                  _mm256_or_si256(digit, _mm256_cmpeq_epi8(v, point))))}
                              << shift;
            c.high |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(high))} << shift;
            c.lead |= std::uint64_t{static_cast<unsigned>(_mm256_movemask_epi8(lead))} << shift;
        }
        if (Suspect(c, last)) return true;
    }
    return false;
}
#endif

#if defined(VX_X86_VECTOR_PATHS)
// The same, 64 bytes at a time, for processors with AVX-512BW: compares give bit masks.
__attribute__((target("avx512bw"))) bool SuspectBlocksAvx512(const char* p, std::size_t count,
                                                             WordNumberGuard::Carry& last) {
    const __m512i zero = _mm512_set1_epi8('0'), ten = _mm512_set1_epi8(10);
    const __m512i two = _mm512_set1_epi8('2'), eight = _mm512_set1_epi8(8);
    const __m512i point = _mm512_set1_epi8('.'), plus = _mm512_set1_epi8('+');
    const __m512i letterBits = _mm512_set1_epi8(0x21), letterE = _mm512_set1_epi8('e');
    for (; count > 0; --count, p += 64) {
        const __m512i v = _mm512_loadu_si512(p);
        ByteClasses c;
        c.digit = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, zero), ten);
        c.digitOrPoint = c.digit | _mm512_cmpeq_epi8_mask(v, point);
        c.high = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, two), eight);
        c.lead = _mm512_cmpeq_epi8_mask(_mm512_or_si512(v, letterBits), letterE) |
                 _mm512_cmpeq_epi8_mask(v, plus);
        if (Suspect(c, last)) return true;
    }
    return false;
}
#endif

bool SuspectBlocks(const char* p, std::size_t count, WordNumberGuard::Carry& last,
                   [[maybe_unused]] int level) {
#if defined(VX_X86_VECTOR_PATHS)
    if (level == kAvx512Vectors) return SuspectBlocksAvx512(p, count, last);
    if (level == kAvx2Vectors) return SuspectBlocksAvx2(p, count, last);
#endif
    return SuspectBlocksPortable(p, count, last);
}

}  // namespace

void WordNumberGuard::Feed(std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    if (m_suspect || n == 0) return;
    if (m_held > 0) {
        const std::size_t take = std::min<std::size_t>(64 - m_held, n);
        std::memcpy(m_pending + m_held, p, take);
        m_held += static_cast<unsigned>(take);
        p += take;
        n -= take;
        if (m_held < 64) return;
        m_held = 0;
        if ((m_suspect = SuspectBlocks(m_pending, 1, m_last, m_vectorLevel))) return;
    }
    if ((m_suspect = SuspectBlocks(p, n / 64, m_last, m_vectorLevel))) return;
    p += n / 64 * 64;
    n %= 64;
    std::memcpy(m_pending, p, n);
    m_held = static_cast<unsigned>(n);
}

bool WordNumberGuard::Clear() {
    if (m_held > 0 && !m_suspect) {
        std::memset(m_pending + m_held, ' ', 64 - m_held);
        m_suspect = SuspectBlocks(m_pending, 1, m_last, m_vectorLevel);
        m_held = 0;
    }
    return !m_suspect;
}

void FieldNumberGuard::Feed(std::string_view bytes) {
    if (m_suspect) return;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
#if defined(__SSE2__)
    const __m128i lowerCase = _mm_set1_epi8(0x20), e = _mm_set1_epi8('e'), d = _mm_set1_epi8('d');
    for (; end - p >= 16; p += 16) {
        const __m128i lower =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), lowerCase);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(lower, e), _mm_cmpeq_epi8(lower, d))) !=
            0) {
            m_suspect = true;
            return;
        }
    }
#endif
    for (; p < end; ++p)
        if (IsExponentLetter(*p)) m_suspect = true;
}

}  // namespace vx
