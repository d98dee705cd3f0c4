#pragma once

#include <algorithm>

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

// The level the searches use when `allowed` is the widest a reading may use.
inline int UsableVectorLevel(int allowed) {
    return std::min(DetectedVectorLevel(), allowed);
}

}  // namespace vx
