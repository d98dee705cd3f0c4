#pragma once

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace vx::bench {

// Values like those of a listing: singles of every sign and of magnitudes from 1e-5 to
// 1e5, as printed with five significant digits. The same count gives the same values.
inline std::vector<float> ListingValues(std::size_t count) {
    std::mt19937 random(1);
    std::uniform_real_distribution<double> mantissa(0.1, 1.0);
    std::uniform_int_distribution<int> exponent(-4, 5);
    std::vector<float> values(count);
    for (auto& v : values) {
        char text[32];
        std::snprintf(text, sizeof text, "%.5fE%+03d", (random() % 2 ? -1 : 1) * mantissa(random),
                      exponent(random));
        v = std::strtof(text, nullptr);
    }
    return values;
}

}  // namespace vx::bench
