#pragma once

// What the in-process bench tools share: the bytes read, and a host that shows nothing.

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "reader/Services.h"

namespace vx::bench {

// rchar of /proc/self/io: every byte this process read through read calls; -1 unknown.
inline std::int64_t BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

class Quiet : public NoticeService, public ProgressService {
public:
    void Show(const Notice&) override {}
    void UpdateProgress(float, std::string_view) override {}
};

}  // namespace vx::bench
