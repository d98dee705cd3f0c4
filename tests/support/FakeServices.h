#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "reader/Services.h"

namespace vx::test {

struct ShownMessage {
    std::string Text;
    MsgButtons Buttons;
    MsgIcon Icon;
};

struct ProgressReport {
    float Fraction;
    std::string Text;
};

// Stands in for the window: records every message and progress report, answers
// message boxes with a set answer, and runs a hook inside each progress report, where
// the window would run its pending events (a close request, for instance).
class FakeServices : public MessageBoxService, public ProgressService {
public:
    MsgAnswer MsgBox(std::string_view prompt, MsgButtons buttons, MsgIcon icon) override {
        Messages.push_back({std::string(prompt), buttons, icon});
        return buttons == MsgButtons::YesNo ? Answer : MsgAnswer::Ok;
    }
    void UpdateProgress(float sngPercent, std::string_view szText) override {
        Reports.push_back({sngPercent, std::string(szText)});
        if (OnProgress) OnProgress(Reports.size());
    }

    Services Get() { return Services{*this, *this, AbortRequested}; }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : Messages) texts.push_back(m.Text);
        return texts;
    }

    std::vector<ShownMessage> Messages;
    std::vector<ProgressReport> Reports;
    MsgAnswer Answer = MsgAnswer::Yes;
    std::atomic<bool> AbortRequested = false;
    std::function<void(std::size_t reportCount)> OnProgress;
};

}  // namespace vx::test
