#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "common/Failure.h"

namespace vx::test {

// The failure number a call throws, or 0 when it returns. Only the system's own
// failures (57) carry a text other than the standard description.
inline int FailureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Failure& failure) {
        if (failure.Number() != fail::DeviceIoError) {
            EXPECT_EQ(failure.Description(), DescribeFailure(failure.Number()));
        }
        return failure.Number();
    }
    return 0;
}

}  // namespace vx::test
