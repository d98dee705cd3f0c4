#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// The pieces of a comma-separated list as given, empty ones kept: "1,,3" is three pieces
// and "" one. The views point into `list`.
std::vector<std::string_view> SplitAtCommas(std::string_view list);

// The vector numbers of an --items list: comma-separated pieces N, A-B or A-B:S (A to B
// by S, S at least 1, counting down when A > B), blanks around a piece allowed, in the
// order given. False, with a reason naming the piece, for a piece of another form, a
// number outside 1..bound, an empty list or more than 32767 items in all.
bool ParseItems(std::string_view list, std::int32_t bound, std::vector<std::int16_t>& items,
                std::string& error);

}  // namespace vx
