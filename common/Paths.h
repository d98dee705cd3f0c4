#pragma once

#include <string>

namespace vx {

// Whether two paths name one existing file (the same path, a link to it, or another name
// of it): where a sheet must never be written over the listing it is read from.
bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace vx
