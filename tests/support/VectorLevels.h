#pragma once

#include <gtest/gtest.h>

#include <string>

#include "reader/VectorLevel.h"

namespace vx::test {

// Runs `check(level)` with each width of vector instructions the processor has.
template <typename F>
void AtEveryVectorLevel(F&& check) {
    for (int level = kPortableVectors; level <= DetectedVectorLevel(); ++level) {
        SCOPED_TRACE("vector level " + std::to_string(level));
        check(level);
    }
}

}  // namespace vx::test
