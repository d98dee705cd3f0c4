#pragma once

#include <string>
#include <string_view>

namespace vx {

// Listings and spreadsheets hold single-byte Latin-1 text; the window, terminals and
// JSON speak UTF-8.
std::string Latin1ToUtf8(std::string_view text);
// Characters beyond Latin-1 (and broken sequences) become '?'.
std::string Utf8ToLatin1(std::string_view text);

}  // namespace vx
