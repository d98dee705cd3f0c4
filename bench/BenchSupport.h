#pragma once

// What the in-process bench tools share: the bytes read, and a host that shows nothing.

#include <string_view>

#include "reader/Services.h"
#include "tests/support/BytesRead.h"

namespace vx::bench {

// The bytes this process has read (rchar), as the tests count them.
using test::BytesRead;

class Quiet : public NoticeService, public ProgressService {
public:
    void Show(const Notice&) override {}
    void UpdateProgress(float, std::string_view) override {}
};

}  // namespace vx::bench
