#pragma once

#include <cctype>
#include <string>
#include <string_view>

// Small text helpers of the help reader: the texts of a help file are single-byte, and
// what is compared or trimmed in them is ASCII.
namespace vx::help {

inline std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

inline std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

}  // namespace vx::help
