#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "reader/VectorLevel.h"

// The numbers of record lines that stand in the same columns line after line, read
// several at a time.
//
// A block of record lines prints each degree of freedom in a field of its own width
// ("  0.71074E+01 -0.64848E-02 ..."): from one line to the next only the digits and the
// signs change. NumberColumns learns where each wanted word's digits, point and exponent
// stand from one line, then checks each following line against that layout with vector
// instructions and converts all its wanted words at once. A line that does not match
// (another width, a number of another shape, a word too many) is left to the general
// reading, and the next line that matches none is learned from.
//
// What it gives is exactly what ReadPlainNumber gives for each word: it only takes words
// of the shape "[sign]d.ddd(E|e|D|d)(+|-)dd" with at most eight digits, whose value the
// plain reading computes on the spot, and computes it with the same operations (the
// digits to a double, one multiplication or division by an exact power of ten, the
// rounding to a single, the sign).
namespace vx {

class NumberColumns {
public:
    // At most this many words are read from a line.
    static constexpr std::size_t kMostWords = 8;
    // Lines longer than this are always left to the general reading.
    static constexpr std::size_t kLongestLine = 128;

    // `words`: the 0-based words wanted, in increasing order, at most kMostWords.
    // `vectorLevel`: as for the reader's searches: AVX-512 (with VBMI) or AVX2 where the
    // processor has them and the level allows; below AVX2 Read always says no.
    NumberColumns(std::span<const std::size_t> words, int vectorLevel);

    // True when it may ever read a line (the processor has what it needs).
    bool Usable() const { return m_usable; }

    // Reads the value of each wanted word of `line` into values[i] (i: its place in
    // `words`) and returns true; false when the line is to be read the general way
    // (nothing is written then).
    bool Read(std::string_view line, float* values);

    // The layout of one line: bit i of a mask stands for the line's byte i.
    struct Mask {
        std::uint64_t Low = 0, High = 0;
    };
    struct Layout {
        std::size_t Length = 0;
        Mask Digits, ExponentSigns, SignPlaces;
        // Bytes that stand as they stood in the line learned from: each word's point
        // and exponent letter, the blank before its sign place and the one after it.
        Mask Same;
        char Bytes[kLongestLine] = {};
        // The bytes outside the wanted words, and the last bytes of the words there.
        Mask Free, FreeEnds;
        Mask Before[kMostWords];  // the bytes before each word's sign place
        std::uint8_t WordIndex[kMostWords] = {};
        std::int32_t Fraction[kMostWords] = {};  // digits after the point
        // Per word, eight byte places: its digits, the last in the last place (the
        // places before them, left out of MantissaKeep, read as zeros).
        std::uint8_t Mantissa[64] = {};
        std::uint64_t MantissaKeep = 0;
        std::uint8_t Exponent[64] = {};  // per word: its two exponent digits
        std::uint64_t ExponentKeep = 0;
        // The same for 16-byte registers: each word's bytes from its first digit on,
        // shuffled into its mantissa (eight places, as above) and exponent digits (two).
        std::uint8_t First[kMostWords] = {};
        std::uint8_t Shuffle[kMostWords][16] = {};
        std::uint8_t SignPlace[kMostWords] = {}, ExponentSign[kMostWords] = {};
    };

private:
    bool Learn(std::string_view line);

    std::size_t m_words[kMostWords] = {};
    std::size_t m_count = 0;
    int m_level = kPortableVectors;  // the instructions it reads with; portable: none
    bool m_usable = false;
    bool m_learned = false;
    unsigned m_misses = 0;  // lines in a row that matched no layout
    Layout m_layout;
};

}  // namespace vx
