#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Text.h"
#include "export/RequestPass.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"

namespace vx::cli {

// The command-line tool's stand-in for the window's message boxes and progress bar.
// Messages are printed, when asked, on standard error one line each as they arise;
// progress is drawn as a bar on standard error when it is a terminal. Ctrl+C does what
// closing the window during an export does: it sets AbortRequested, which the extraction
// sees at its next time step.
class ConsoleServices : public NoticeService, public ProgressService {
public:
    ConsoleServices(bool echoMessages, bool showProgress);
    ~ConsoleServices() override;

    void Show(const Notice& notice) override;
    void UpdateProgress(float sngPercent, std::string_view szText) override;

    // Whether Ctrl+C was pressed since the services were made.
    bool Interrupted() const;

    // Removes the progress bar from the terminal.
    void ClearProgress();

    Services Get() { return Services{*this, *this, m_abortRequested}; }

    // Reads `file` into `model` as the window does on opening it, the bar cleared after.
    Outcome ReadListing(const std::string& file, OutputFileModel& model);
    // The same, with the values `pass` wants read as the listing is read.
    Outcome ReadListing(const std::string& file, OutputFileModel& model, RequestPass& pass);

private:
    bool m_echoMessages;
    bool m_showProgress;
    bool m_barShown = false;
    std::atomic<bool> m_abortRequested = false;
    std::string m_lastText;
    int m_lastPercent = -1;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

}  // namespace vx::cli
