#pragma once

#include <string_view>
#include <vector>

#include "common/Outcome.h"
#include "reader/OutputFileModel.h"

// What a scanned listing holds, as named fields: the object `voraxextract-cli info --json`
// prints and the dictionary the Python module gives. Both are written through one
// SummaryWriter, so that their keys and values cannot drift apart.
namespace vx {

class SummaryWriter {
public:
    virtual ~SummaryWriter() = default;
    virtual void BeginObject() = 0;
    virtual void EndObject() = 0;
    virtual void BeginArray() = 0;
    virtual void EndArray() = 0;
    virtual void Key(std::string_view key) = 0;
    virtual void String(std::string_view latin1) = 0;
    virtual void Integer(long long value) = 0;
    // A single-precision value, meant as its shortest round-trip decimal.
    virtual void Single(float value) = 0;
    virtual void Bool(bool value) = 0;
};

// The summary of `model`: counts, flags, beam point labels, the time steps, the offered
// variables, and the messages the reading showed, in order.
void WriteListingSummary(const OutputFileModel& model, const std::vector<Notice>& messages,
                         SummaryWriter& out);

}  // namespace vx
