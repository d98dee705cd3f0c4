#pragma once

#include <cstdint>
#include <string_view>

#include "reader/VectorLevel.h"

// The routines the extractions use on every record line, written for speed. Each gives
// exactly what its counterpart in TextRoutines gives (same value, same failure); they
// only take shortcuts where the outcome is certain.
namespace vx {

// Word n (0-based) of a line as SplitWords cuts it (blanks and tabs separate words).
// False when the line has no word n.
bool NthWord(std::string_view line, std::size_t n, std::string_view& word);

// RoundToSingle(NumericPrefix(text)): the same single and the same overflow failure,
// with the number's reading compiled into the extraction's loops.
float SingleValue(std::string_view text);

// Watches the record lines an extraction passes over without keeping their values: it
// says whether a word of those lines could hold a number that RoundToSingle(NumericPrefix)
// refuses (too large for a single or a double). It looks at bytes, not at words, and errs
// only on the safe side: Clear() is true only when no word of the bytes fed can fail;
// when it is false, the caller reads the lines one by one to find out.
//
// A word that fails needs an exponent of 20 or more (E+45, D45, E+100, E+020) or a run
// of 16 or more digits and points; each is seen wherever it stands, across pieces too.
class WordNumberGuard {
public:
    // `vectorLevel`: the widest vector instructions it may use (VectorLevel.h).
    explicit WordNumberGuard(int vectorLevel = kAvx512Vectors)
        : m_vectorLevel(UsableVectorLevel(vectorLevel)) {}

    void Feed(std::string_view bytes);
    // Feeds what is still held back and tells the verdict; feeding ends here.
    bool Clear();
    void Reset() { *this = WordNumberGuard{m_vectorLevel}; }

    // What one block of 64 bytes passes on to the next: its byte classes and runs.
    struct Carry {
        std::uint64_t digit = 0, digitOrPoint = 0, high = 0, lead = 0;
        std::uint64_t run1 = 0, run2 = 0, run4 = 0;
    };

private:
    int m_vectorLevel;
    Carry m_last;
    bool m_suspect = false;
    unsigned m_held = 0;
    char m_pending[64];
};

// The same for fixed-width fields read with NumericPrefix (temperatures): a field of a
// few characters without an exponent letter cannot overflow, so any E, e, D or d in the
// bytes makes the caller read the lines one by one.
class FieldNumberGuard {
public:
    void Feed(std::string_view bytes);
    bool Clear() const { return !m_suspect; }
    void Reset() { m_suspect = false; }

private:
    bool m_suspect = false;
};

}  // namespace vx
