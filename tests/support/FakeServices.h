#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "reader/Services.h"

namespace vx::test {

struct ProgressReport {
    float Fraction;
    std::string Text;
};

// Stands in for the window: records every failure shown and every progress report, and
// runs a hook inside each progress report, where the window would run its pending events
// (a close request, for instance).
class FakeServices : public NoticeService, public ProgressService {
public:
    void Show(const Notice& notice) override { Messages.push_back(notice); }
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

    std::vector<Notice> Messages;
    std::vector<ProgressReport> Reports;
    std::atomic<bool> AbortRequested = false;
    std::function<void(std::size_t reportCount)> OnProgress;
};

}  // namespace vx::test
