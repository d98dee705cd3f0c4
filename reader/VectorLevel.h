#pragma once

#include <algorithm>
#include <atomic>

// Which vector instructions the byte searches of the reader use: the widest the processor
// offers, chosen when the program runs, so that one build runs everywhere.
namespace vx {

enum VectorLevel : int { kPortableVectors = 0, kAvx2Vectors = 1, kAvx512Vectors = 2 };

inline int DetectedVectorLevel() {
#if defined(__x86_64__)
    static const int level = __builtin_cpu_supports("avx512bw") ? kAvx512Vectors
                             : __builtin_cpu_supports("avx2")   ? kAvx2Vectors
                                                                : kPortableVectors;
    return level;
#else
    return kPortableVectors;
#endif
}

inline std::atomic<int>& VectorLevelLimit() {
    static std::atomic<int> limit{kAvx512Vectors};
    return limit;
}

inline int ActiveVectorLevel() {
    return std::min(DetectedVectorLevel(), VectorLevelLimit().load(std::memory_order_relaxed));
}

// Uses no wider instructions than `level` from now on; the tests run every path this way.
inline void LimitVectorLevel(int level) {
    VectorLevelLimit().store(level);
}

}  // namespace vx
