#include "extraction/NumberColumns.h"

#include <algorithm>
#include <bit>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace vx {

namespace {

// Lines in a row that match no layout, after which a reading stops looking for one.
constexpr unsigned kMostMisses = 32;

bool Blank(char c) {
    return c == ' ' || c == '\t';
}
bool Digit(char c) {
    return c >= '0' && c <= '9';
}

void SetBit(NumberColumns::Mask& m, std::size_t i) {
    (i < 64 ? m.Low : m.High) |= std::uint64_t{1} << (i % 64);
}

// The bits of the bytes before byte i.
NumberColumns::Mask BitsBefore(std::size_t i) {
    NumberColumns::Mask m;
    if (i >= 64) {
        m.Low = ~std::uint64_t{0};
        m.High = i == 64 ? 0 : ~std::uint64_t{0} >> (128 - i);
    } else {
        m.Low = i == 0 ? 0 : ~std::uint64_t{0} >> (64 - i);
    }
    return m;
}

#if defined(__x86_64__)

bool ProcessorCanRead() {
    static const bool can =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
    return can;
}

// GCC 12's AVX-512 intrinsics start some results from an undefined vector, which
// -Wmaybe-uninitialized takes for a read of an uninitialized value.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define VX_COLUMNS_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi,bmi2,popcnt")))

// The byte classes of one half (64 bytes) of a line.
struct Classes {
    std::uint64_t Digit, Plus, Minus, Blank;
};

VX_COLUMNS_TARGET Classes ClassesOf(__m512i v) {
    Classes c;
    c.Digit =
        _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
    c.Plus = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('+'));
    c.Minus = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('-'));
    c.Blank = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' ')) |
              _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\t'));
    return c;
}

// One bit per word, taken from `bits` at the places `where` marks (one place per word,
// in order).
VX_COLUMNS_TARGET std::uint64_t BitsAt(std::uint64_t low, std::uint64_t high,
                                       const NumberColumns::Mask& where) {
    return _pext_u64(low, where.Low) | (_pext_u64(high, where.High) << std::popcount(where.Low));
}

// 10^k in each lane, k <= 22: 10^(k mod 8) * 10^(8 (k div 8)), both factors and the
// product exact.
VX_COLUMNS_TARGET __m512d TenTo(__m512i k) {
    const __m512d ones = _mm512_setr_pd(1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7);
    const __m512d eights = _mm512_setr_pd(1e0, 1e8, 1e16, 1, 1, 1, 1, 1);
    return _mm512_mul_pd(_mm512_permutexvar_pd(k, ones),
                         _mm512_permutexvar_pd(_mm512_srli_epi64(k, 3), eights));
}

// The layout's check and conversion of one line; false when the line does not match.
VX_COLUMNS_TARGET bool ReadLine(const NumberColumns::Layout& t, std::size_t count,
                                std::string_view line, float* values) {
    const std::size_t n = line.size();
    if (n != t.Length) return false;
    const std::uint64_t lowKeep = n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
    const std::uint64_t highKeep = n <= 64    ? 0
                                   : n >= 128 ? ~std::uint64_t{0}
                                              : (std::uint64_t{1} << (n - 64)) - 1;
    // Masked loads read no byte past the line.
    const __m512i low = _mm512_maskz_loadu_epi8(lowKeep, line.data());
    const __m512i high = _mm512_maskz_loadu_epi8(highKeep, line.data() + (n > 64 ? 64 : 0));
    const Classes a = ClassesOf(low), b = ClassesOf(high);

    // Every byte the layout names is of its class.
    auto missing = [](std::uint64_t want, std::uint64_t have) { return want & ~have; };
    std::uint64_t bad = missing(t.Digits.Low, a.Digit) | missing(t.Digits.High, b.Digit);
    bad |= missing(t.Same.Low, _mm512_cmpeq_epi8_mask(low, _mm512_loadu_si512(t.Bytes))) |
           missing(t.Same.High, _mm512_cmpeq_epi8_mask(high, _mm512_loadu_si512(t.Bytes + 64)));
    bad |= missing(t.ExponentSigns.Low, a.Plus | a.Minus) |
           missing(t.ExponentSigns.High, b.Plus | b.Minus);
    bad |= missing(t.SignPlaces.Low, a.Blank | a.Plus | a.Minus) |
           missing(t.SignPlaces.High, b.Blank | b.Plus | b.Minus);
    if (bad) return false;
    // Each wanted word has the same number of words before it: as a rule, the other
    // words end where they ended (numbers are right-aligned), or else they are counted.
    const std::uint64_t wordLow = ~a.Blank & lowKeep, wordHigh = ~b.Blank & highKeep;
    const std::uint64_t endLow = wordLow & ~((wordLow >> 1) | (wordHigh << 63));
    const std::uint64_t endHigh = wordHigh & ~(wordHigh >> 1);
    if (((endLow ^ t.FreeEnds.Low) & t.Free.Low) | ((endHigh ^ t.FreeEnds.High) & t.Free.High)) {
        const std::uint64_t startLow = wordLow & ~(wordLow << 1);
        const std::uint64_t startHigh = wordHigh & ~((wordHigh << 1) | (wordLow >> 63));
        for (std::size_t k = 0; k < count; ++k) {
            const int before = std::popcount(startLow & t.Before[k].Low) +
                               std::popcount(startHigh & t.Before[k].High);
            if (before != t.WordIndex[k]) return false;
        }
    }

    // The digits of each word in a lane of its own: mantissa and exponent as integers.
    const __m512i zero = _mm512_set1_epi8('0');
    const __m512i dLow = _mm512_sub_epi8(low, zero), dHigh = _mm512_sub_epi8(high, zero);
    const __m512i tens = _mm512_set1_epi16(0x010A);  // byte pairs: 10 * first + second
    const __m512i mantissa =
        _mm512_maskz_permutex2var_epi8(t.MantissaKeep, dLow, _mm512_loadu_si512(t.Mantissa), dHigh);
    const __m512i fours =
        _mm512_madd_epi16(_mm512_maddubs_epi16(mantissa, tens), _mm512_set1_epi32(0x00010064));
    const __m512i digits = _mm512_add_epi64(_mm512_mul_epu32(fours, _mm512_set1_epi64(10000)),
                                            _mm512_srli_epi64(fours, 32));
    __m512i exponent = _mm512_maddubs_epi16(
        _mm512_maskz_permutex2var_epi8(t.ExponentKeep, dLow, _mm512_loadu_si512(t.Exponent), dHigh),
        tens);
    const auto exponentNegative = static_cast<__mmask8>(BitsAt(a.Minus, b.Minus, t.ExponentSigns));
    exponent = _mm512_mask_sub_epi64(exponent, exponentNegative, _mm512_setzero_si512(), exponent);
    const __m512i power = _mm512_sub_epi64(exponent, _mm512_loadu_si512(t.Fraction));
    // Past 10^22 the plain reading does not convert on the spot.
    const __m512i most = _mm512_set1_epi64(22);
    if (_mm512_cmpgt_epi64_mask(power, most) |
        _mm512_cmpgt_epi64_mask(_mm512_sub_epi64(_mm512_setzero_si512(), power), most))
        return false;

    // digits * 10^up / 10^down: the plain reading's one multiplication or division, the
    // other power being 1.
    const __m512i up = _mm512_max_epi64(power, _mm512_setzero_si512());
    const __m512i down =
        _mm512_max_epi64(_mm512_sub_epi64(_mm512_setzero_si512(), power), _mm512_setzero_si512());
    const __m512d value =
        _mm512_div_pd(_mm512_mul_pd(_mm512_cvtepu64_pd(digits), TenTo(up)), TenTo(down));
    __m256 single = _mm512_cvtpd_ps(value);
    // The sign flips the single's sign bit, as the plain reading negates (-0 included).
    const auto negative = static_cast<__mmask8>(BitsAt(a.Minus, b.Minus, t.SignPlaces));
    single = _mm256_castsi256_ps(
        _mm256_mask_xor_epi32(_mm256_castps_si256(single), negative, _mm256_castps_si256(single),
                              _mm256_set1_epi32(static_cast<int>(0x80000000u))));
    _mm256_mask_storeu_ps(values, static_cast<__mmask8>((1u << count) - 1), single);
    return true;
}

#undef VX_COLUMNS_TARGET
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

bool ProcessorCanRead() {
    return false;
}
bool ReadLine(const NumberColumns::Layout&, std::size_t, std::string_view, float*) {
    return false;
}

#endif

}  // namespace

NumberColumns::NumberColumns(std::span<const std::size_t> words, int vectorLevel) {
    m_count = std::min(words.size(), kMostWords);
    std::copy_n(words.begin(), m_count, m_words);
    m_usable = words.size() <= kMostWords && !words.empty() &&
               std::is_sorted(words.begin(), words.end()) &&
               std::adjacent_find(words.begin(), words.end()) == words.end() &&
               UsableVectorLevel(vectorLevel) >= kAvx512Vectors && ProcessorCanRead();
}

bool NumberColumns::Read(std::string_view line, float* values) {
    if (!m_usable || line.size() > kLongestLine) return false;
    if (m_learned && ReadLine(m_layout, m_count, line, values)) {
        m_misses = 0;
        return true;
    }
    if (m_misses < kMostMisses && Learn(line) && ReadLine(m_layout, m_count, line, values)) {
        m_misses = 0;
        return true;
    }
    ++m_misses;
    return false;
}

// Learns the layout of `line`: where each wanted word's sign, digits, point, exponent
// letter and exponent sign stand. False (the layout kept as it was) when a wanted word
// is missing or of another shape.
bool NumberColumns::Learn(std::string_view line) {
    const char* s = line.data();
    const std::size_t n = line.size();
    if (n > kLongestLine) return false;
    Layout t;
    t.Length = n;
    std::size_t i = 0, k = 0;
    for (std::size_t w = 0; k < m_count; ++w) {
        while (i < n && Blank(s[i])) ++i;
        if (i == n) return false;
        const std::size_t start = i;
        while (i < n && !Blank(s[i])) ++i;
        if (w != m_words[k]) continue;
        // [sign] d . f...f letter sign d d
        const bool sign = s[start] == '+' || s[start] == '-';
        if (!sign && start == 0) return false;
        const std::size_t signPlace = sign ? start : start - 1, p = signPlace + 1;
        if (i < p + 7) return false;
        const std::size_t fraction = i - p - 6, e = p + 2 + fraction;
        if (fraction > 7 || !Digit(s[p]) || s[p + 1] != '.') return false;
        if (!std::all_of(s + p + 2, s + e, Digit)) return false;
        if ((s[e] | 0x20) != 'e' && (s[e] | 0x20) != 'd') return false;
        if ((s[e + 1] != '+' && s[e + 1] != '-') || !Digit(s[e + 2]) || !Digit(s[e + 3]))
            return false;
        SetBit(t.Digits, p);
        for (std::size_t j = p + 2; j < e; ++j) SetBit(t.Digits, j);
        SetBit(t.Digits, e + 2), SetBit(t.Digits, e + 3);
        SetBit(t.Same, p + 1);
        SetBit(t.Same, e);
        SetBit(t.ExponentSigns, e + 1);
        SetBit(t.SignPlaces, signPlace);
        if (signPlace > 0) SetBit(t.Same, signPlace - 1);
        if (i < n) SetBit(t.Same, i);
        t.Before[k] = BitsBefore(signPlace);
        t.WordIndex[k] = static_cast<std::uint8_t>(w);
        t.Fraction[k] = static_cast<std::int64_t>(fraction);
        // The digits right-aligned in the word's eight places.
        std::uint8_t* places = t.Mantissa + 8 * k;
        std::size_t place = 8 - (1 + fraction);
        places[place] = static_cast<std::uint8_t>(p);
        for (std::size_t j = p + 2; j < e; ++j) places[++place] = static_cast<std::uint8_t>(j);
        t.MantissaKeep |= ((~std::uint64_t{0} << (7 - fraction)) & 0xFF) << (8 * k);
        t.Exponent[8 * k] = static_cast<std::uint8_t>(e + 2);
        t.Exponent[8 * k + 1] = static_cast<std::uint8_t>(e + 3);
        t.ExponentKeep |= std::uint64_t{3} << (8 * k);
        for (std::size_t j = signPlace; j < i; ++j) SetBit(t.Free, j);
        ++k;
    }
    // Free: the bytes not in a wanted word (sign place included).
    t.Free.Low = ~t.Free.Low & BitsBefore(n).Low;
    t.Free.High = ~t.Free.High & BitsBefore(n).High;
    for (std::size_t j = 0; j < n; ++j)
        if (!Blank(s[j]) && (j + 1 == n || Blank(s[j + 1]))) SetBit(t.FreeEnds, j);
    t.FreeEnds.Low &= t.Free.Low;
    t.FreeEnds.High &= t.Free.High;
    std::copy_n(s, n, t.Bytes);
    m_layout = t;
    m_learned = true;
    return true;
}

}  // namespace vx
