#include "common/ScanDecimal.h"

#include <charconv>
#include <system_error>

namespace vx::decimal_detail {

bool ConvertDecimal(const char* first, const char* last, std::int64_t exponent, double& value) {
    // Halfway points between doubles have at most 767 significant digits, so a text cut
    // after 800 of them, with a 1 standing for any digit cut off that is not 0, rounds
    // as the whole one does.
    constexpr std::size_t kKept = 800;
    char text[kKept + 32] = {'0', '.'};
    std::size_t length = 2;
    // The number is 0.<kept digits> times ten to `magnitude`.
    std::int64_t magnitude = 0;
    bool point = false, leading = true, sticky = false;
    for (const char* p = first; p < last; ++p) {
        const char c = *p;
        if (c == '.') {
            point = true;
        } else if (!IsDigit(c)) {
            continue;  // a blank inside the number
        } else if (leading && c == '0') {
            if (point) --magnitude;
        } else {
            leading = false;
            if (!point) ++magnitude;
            if (length < 2 + kKept)
                text[length++] = c;
            else if (c != '0')
                sticky = true;
        }
    }
    if (leading) {
        value = 0.0;
        return true;
    }
    if (sticky) text[length++] = '1';
    magnitude += exponent;
    // 0.1E+310 is beyond the largest double and 0.9E-324 below half the smallest one;
    // from_chars decides the ones between.
    if (magnitude > 310) return false;
    if (magnitude < -330) {
        value = 0.0;
        return true;
    }
    text[length++] = 'e';
    char* const end = std::to_chars(text + length, text + sizeof text, magnitude).ptr;
    const auto [ptr, ec] = std::from_chars(text, end, value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        if (magnitude > 0) return false;
        value = 0.0;
    }
    return true;
}

}  // namespace vx::decimal_detail
