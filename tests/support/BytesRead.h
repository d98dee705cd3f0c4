#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace vx::test {

// The bytes this process has read so far through read calls, from any file (rchar of
// /proc/self/io); -1 where the system does not tell.
inline std::int64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

}  // namespace vx::test
