#include "common/Paths.h"

#include <filesystem>
#include <system_error>

namespace vx {

bool IsSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace vx
