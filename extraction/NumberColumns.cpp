#include "extraction/NumberColumns.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "common/ScanDecimal.h"

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

// The widest way the processor can read lines in columns, at most `level`.
int ProcessorLevel(int level) {
    static const bool avx512 =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("bmi2");
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    level = UsableVectorLevel(level);
    if (level >= kAvx512Vectors && avx512) return kAvx512Vectors;
    if (level >= kAvx2Vectors && avx2) return kAvx2Vectors;
    return kPortableVectors;
}

// GCC 12's AVX-512 intrinsics start some results from an undefined vector, which
// -Wmaybe-uninitialized takes for a read of an uninitialized value.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define VX_COLUMNS_TARGET \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi,bmi2,popcnt")))

// The byte classes of one half (64 bytes) of a line, and which of its bytes are those of
// the line learned from.
struct Classes {
    std::uint64_t Digit = 0, Plus = 0, Minus = 0, Blank = 0, Same = 0;
};

// The bytes of a line of n bytes in its halves.
constexpr std::uint64_t LowKeep(std::size_t n) {
    return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}
constexpr std::uint64_t HighKeep(std::size_t n) {
    return n <= 64 ? 0 : n >= 128 ? ~std::uint64_t{0} : (std::uint64_t{1} << (n - 64)) - 1;
}

// Whether the line whose halves have the classes a and b matches the layout.
inline bool Matches(const NumberColumns::Layout& t, std::size_t count, const Classes& a,
                    const Classes& b) {
    // Every byte the layout names is of its class.
    auto missing = [](std::uint64_t want, std::uint64_t have) { return want & ~have; };
    std::uint64_t bad = missing(t.Digits.Low, a.Digit) | missing(t.Digits.High, b.Digit);
    bad |= missing(t.Same.Low, a.Same) | missing(t.Same.High, b.Same);
    bad |= missing(t.ExponentSigns.Low, a.Plus | a.Minus) |
           missing(t.ExponentSigns.High, b.Plus | b.Minus);
    bad |= missing(t.SignPlaces.Low, a.Blank | a.Plus | a.Minus) |
           missing(t.SignPlaces.High, b.Blank | b.Plus | b.Minus);
    if (bad) return false;
    // Each wanted word has the same number of words before it: as a rule, the other
    // words end where they ended (numbers are right-aligned), or else they are counted.
    const std::uint64_t wordLow = ~a.Blank & LowKeep(t.Length);
    const std::uint64_t wordHigh = ~b.Blank & HighKeep(t.Length);
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
    return true;
}

VX_COLUMNS_TARGET Classes ClassesOf(__m512i v, const char* learned) {
    Classes c;
    c.Digit =
        _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, _mm512_set1_epi8('0')), _mm512_set1_epi8(9));
    c.Plus = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('+'));
    c.Minus = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('-'));
    c.Blank = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' ')) |
              _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\t'));
    c.Same = _mm512_cmpeq_epi8_mask(v, _mm512_loadu_si512(learned));
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
VX_COLUMNS_TARGET bool ReadLine512(const NumberColumns::Layout& t, std::size_t count,
                                   std::string_view line, float* values) {
    const std::size_t n = line.size();
    if (n != t.Length) return false;
    // Masked loads read no byte past the line.
    const __m512i low = _mm512_maskz_loadu_epi8(LowKeep(n), line.data());
    const __m512i high = _mm512_maskz_loadu_epi8(HighKeep(n), line.data() + (n > 64 ? 64 : 0));
    const Classes a = ClassesOf(low, t.Bytes), b = ClassesOf(high, t.Bytes + 64);
    if (!Matches(t, count, a, b)) return false;

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
    const __m512i power = _mm512_sub_epi64(
        exponent,
        _mm512_cvtepi32_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.Fraction))));
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

#define VX_COLUMNS_AVX2 __attribute__((target("avx2,popcnt")))

// A bit for each byte of a comparison's result.
VX_COLUMNS_AVX2 std::uint64_t Bits(__m256i equal) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(equal));
}

// All ones in the 32-bit lanes whose bit (1, 2, 4, 8) is set in `bits`.
VX_COLUMNS_AVX2 __m128i LanesOf(int bits) {
    const __m128i bit = _mm_setr_epi32(1, 2, 4, 8);
    return _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(bits), bit), bit);
}

// The classes of 64 bytes at p, two 32-byte registers at a time.
VX_COLUMNS_AVX2 inline __attribute__((always_inline)) Classes ClassesOf64(const char* p,
                                                                          const char* learned) {
    Classes c;
    for (int i = 0; i < 2; ++i) {
        const __m256i v = _mm256_load_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
        const __m256i d = _mm256_sub_epi8(v, _mm256_set1_epi8('0'));
        const int shift = 32 * i;
        c.Digit |= Bits(_mm256_cmpeq_epi8(_mm256_min_epu8(d, _mm256_set1_epi8(9)), d)) << shift;
        c.Plus |= Bits(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('+'))) << shift;
        c.Minus |= Bits(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('-'))) << shift;
        c.Blank |= Bits(_mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(' ')),
                                        _mm256_cmpeq_epi8(v, _mm256_set1_epi8('\t'))))
                   << shift;
        c.Same |= Bits(_mm256_cmpeq_epi8(
                      v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(learned + 32 * i))))
                  << shift;
    }
    return c;
}

// Four words' singles from their 16 bytes as the layout shuffled them, as ReadLine512
// computes them; false when a power of ten is past 10^22.
VX_COLUMNS_AVX2 bool FourValues(const __m128i* words, const std::int32_t* fractions, int negatives,
                                int exponentNegatives, float* values) {
    // Per word: the mantissa's two halves and the exponent as 32-bit integers.
    const __m256i pairs = _mm256_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 0, 0, 0, 0, 0, 0, 10,
                                           1, 10, 1, 10, 1, 10, 1, 10, 1, 0, 0, 0, 0, 0, 0);
    const __m256i hundreds =
        _mm256_setr_epi16(100, 1, 100, 1, 1, 0, 0, 0, 100, 1, 100, 1, 1, 0, 0, 0);
    const __m256i scale = _mm256_setr_epi32(10000, 0, 1, 0, 10000, 0, 1, 0);
    __m256i both[2];
    for (int h = 0; h < 2; ++h) {
        const __m256i w = _mm256_set_m128i(words[2 * h + 1], words[2 * h]);
        const __m256i fours = _mm256_madd_epi16(_mm256_maddubs_epi16(w, pairs), hundreds);
        // dword 0 of each word: its mantissa; dword 2: its exponent's digits.
        const __m256i joined =
            _mm256_add_epi32(_mm256_mullo_epi32(fours, scale), _mm256_srli_epi64(fours, 32));
        both[h] = _mm256_permutevar8x32_epi32(joined, _mm256_setr_epi32(0, 4, 2, 6, 1, 3, 5, 7));
    }
    const __m128i mantissa =
        _mm_unpacklo_epi64(_mm256_castsi256_si128(both[0]), _mm256_castsi256_si128(both[1]));
    __m128i exponent =
        _mm_unpackhi_epi64(_mm256_castsi256_si128(both[0]), _mm256_castsi256_si128(both[1]));
    const __m128i minus = LanesOf(exponentNegatives);
    exponent = _mm_sub_epi32(_mm_xor_si128(exponent, minus), minus);
    const __m128i power =
        _mm_sub_epi32(exponent, _mm_loadu_si128(reinterpret_cast<const __m128i*>(fractions)));
    const __m128i most = _mm_set1_epi32(22);
    if (_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpgt_epi32(power, most),
                         _mm_cmpgt_epi32(_mm_sub_epi32(_mm_setzero_si128(), power), most))))
        return false;
    const __m128i up = _mm_max_epi32(power, _mm_setzero_si128());
    const __m128i down =
        _mm_max_epi32(_mm_sub_epi32(_mm_setzero_si128(), power), _mm_setzero_si128());
    // The powers by index (a gather is slow on some processors).
    alignas(16) std::int32_t ups[4], downs[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(ups), up);
    _mm_store_si128(reinterpret_cast<__m128i*>(downs), down);
    using decimal_detail::kExactPowers;
    const __m256d value =
        _mm256_div_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(mantissa),
                                    _mm256_setr_pd(kExactPowers[ups[0]], kExactPowers[ups[1]],
                                                   kExactPowers[ups[2]], kExactPowers[ups[3]])),
                      _mm256_setr_pd(kExactPowers[downs[0]], kExactPowers[downs[1]],
                                     kExactPowers[downs[2]], kExactPowers[downs[3]]));
    const __m128 single =
        _mm_xor_ps(_mm256_cvtpd_ps(value),
                   _mm_castsi128_ps(_mm_and_si128(LanesOf(negatives), _mm_set1_epi32(INT32_MIN))));
    _mm_storeu_ps(values, single);
    return true;
}

VX_COLUMNS_AVX2 bool ReadLineAvx2(const NumberColumns::Layout& t, std::size_t count,
                                  std::string_view line, float* values) {
    const std::size_t n = line.size();
    if (n != t.Length) return false;
    // The line in a buffer of its own, zeros after it: no byte past it is read.
    alignas(32) char bytes[NumberColumns::kLongestLine + 32];
    std::memcpy(bytes, line.data(), n);
    std::memset(bytes + n, 0, sizeof bytes - n);
    const Classes a = ClassesOf64(bytes, t.Bytes), b = ClassesOf64(bytes + 64, t.Bytes + 64);
    if (!Matches(t, count, a, b)) return false;
    // Each word's digits shuffled into its own 16 bytes, then four words at a time.
    __m128i words[NumberColumns::kMostWords];
    int negatives = 0, exponentNegatives = 0;
    for (std::size_t k = 0; k < NumberColumns::kMostWords; ++k) {
        if (k >= count) {
            words[k] = _mm_setzero_si128();
            continue;
        }
        const __m128i from =
            _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + t.First[k])),
                         _mm_set1_epi8('0'));
        words[k] =
            _mm_shuffle_epi8(from, _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.Shuffle[k])));
        negatives |= (bytes[t.SignPlace[k]] == '-') << k;
        exponentNegatives |= (bytes[t.ExponentSign[k]] == '-') << k;
    }
    float all[NumberColumns::kMostWords];
    if (!FourValues(words, t.Fraction, negatives & 15, exponentNegatives & 15, all)) return false;
    if (count > 4 &&
        !FourValues(words + 4, t.Fraction + 4, negatives >> 4, exponentNegatives >> 4, all + 4))
        return false;
    std::copy_n(all, count, values);
    return true;
}

#undef VX_COLUMNS_AVX2
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

int ProcessorLevel(int) {
    return kPortableVectors;
}
bool ReadLine512(const NumberColumns::Layout&, std::size_t, std::string_view, float*) {
    return false;
}
bool ReadLineAvx2(const NumberColumns::Layout&, std::size_t, std::string_view, float*) {
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
               ProcessorLevel(vectorLevel) > kPortableVectors;
    if (m_usable) m_level = ProcessorLevel(vectorLevel);
}

bool NumberColumns::Read(std::string_view line, float* values) {
    if (!m_usable || line.size() > kLongestLine) return false;
    auto read = [&] {
        return m_level == kAvx512Vectors ? ReadLine512(m_layout, m_count, line, values)
                                         : ReadLineAvx2(m_layout, m_count, line, values);
    };
    if (m_learned && read()) {
        m_misses = 0;
        return true;
    }
    if (m_misses < kMostMisses && Learn(line) && read()) {
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
        t.Fraction[k] = static_cast<std::int32_t>(fraction);
        // The digits right-aligned in the word's eight places: as byte places of the line
        // (Mantissa) and of its 16 bytes from the first digit on (Shuffle).
        t.First[k] = static_cast<std::uint8_t>(p);
        std::uint8_t* shuffle = t.Shuffle[k];
        std::fill_n(shuffle, 16, std::uint8_t{0x80});  // a zero
        std::size_t place = 7 - fraction;
        auto digitAt = [&](std::size_t j) {
            t.Mantissa[8 * k + place] = static_cast<std::uint8_t>(j);
            t.MantissaKeep |= std::uint64_t{1} << (8 * k + place);
            shuffle[place++] = static_cast<std::uint8_t>(j - p);
        };
        digitAt(p);
        for (std::size_t j = p + 2; j < e; ++j) digitAt(j);
        t.Exponent[8 * k] = static_cast<std::uint8_t>(e + 2);
        t.Exponent[8 * k + 1] = static_cast<std::uint8_t>(e + 3);
        t.ExponentKeep |= std::uint64_t{3} << (8 * k);
        shuffle[8] = static_cast<std::uint8_t>(e + 2 - p);
        shuffle[9] = static_cast<std::uint8_t>(e + 3 - p);
        t.SignPlace[k] = static_cast<std::uint8_t>(signPlace);
        t.ExponentSign[k] = static_cast<std::uint8_t>(e + 1);
        for (std::size_t j = signPlace; j < i; ++j) SetBit(t.Free, j);
        ++k;
    }
    // Free: the bytes outside the wanted words (each from its sign place on).
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
