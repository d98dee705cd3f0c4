#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Text.h"
#include "reader/Services.h"

namespace vx::cli {

struct RecordedMessage {
    std::string Text;  // as shown: Latin-1 bytes
    MsgIcon Icon;
};

// The command-line tool's stand-in for the window's message boxes and progress bar.
// Messages are kept (for --json) and, when asked, printed on standard error one line
// each; progress is drawn as a bar on standard error when it is a terminal. Ctrl+C
// does what closing the window during an export does: it sets AbortRequested, which
// the extraction sees at its next time step.
class ConsoleServices : public MessageBoxService, public ProgressService {
public:
    ConsoleServices(bool echoMessages, bool showProgress);
    ~ConsoleServices() override;

    MsgAnswer MsgBox(std::string_view prompt, MsgButtons buttons, MsgIcon icon) override;
    void UpdateProgress(float sngPercent, std::string_view szText) override;

    // Removes the progress bar from the terminal.
    void ClearProgress();

    Services Get() { return Services{*this, *this, m_abortRequested}; }
    const std::vector<RecordedMessage>& Messages() const { return m_messages; }
    bool AbortRequested() const { return m_abortRequested; }

private:
    bool m_echoMessages;
    bool m_showProgress;
    bool m_barShown = false;
    std::atomic<bool> m_abortRequested = false;
    std::string m_lastText;
    int m_lastPercent = -1;
    std::chrono::steady_clock::time_point m_lastDraw{};
    std::vector<RecordedMessage> m_messages;
};

}  // namespace vx::cli
