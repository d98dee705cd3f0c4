#include "app/cli/ConsoleServices.h"

#include <unistd.h>

#include <csignal>

#include "reader/Reader.h"

namespace vx::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

}  // namespace

ConsoleServices::ConsoleServices(bool echoMessages, bool showProgress)
    : m_echoMessages(echoMessages), m_showProgress(showProgress && ::isatty(STDERR_FILENO)) {
    g_interrupted = 0;
    std::signal(SIGINT, OnInterrupt);
}

ConsoleServices::~ConsoleServices() {
    ClearProgress();
    std::signal(SIGINT, SIG_DFL);
}

void ConsoleServices::Show(const Notice& notice) {
    if (!m_echoMessages) return;
    ClearProgress();
    std::string line = Latin1ToUtf8(notice.Text);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void ConsoleServices::UpdateProgress(float sngPercent, std::string_view szText) {
    // This is where the window would run its pending events: a Ctrl+C arrives here.
    if (g_interrupted) m_abortRequested = true;
    if (!m_showProgress) return;
    int percent = static_cast<int>(sngPercent * 100.0f + 0.5f);
    auto now = std::chrono::steady_clock::now();
    bool changed = szText != m_lastText || percent != m_lastPercent;
    if (!changed || (now - m_lastDraw < std::chrono::milliseconds(80) && szText == m_lastText))
        return;
    m_lastDraw = now;
    m_lastPercent = percent;
    m_lastText = std::string(szText);
    constexpr int kWidth = 30;
    int filled = std::min(kWidth, std::max(0, percent * kWidth / 100));
    std::string bar = "\r\x1b[K[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), ' ');
    bar += "] " + std::to_string(std::min(std::max(percent, 0), 100)) + "% " + Latin1ToUtf8(szText);
    std::fwrite(bar.data(), 1, bar.size(), stderr);
    std::fflush(stderr);
    m_barShown = true;
}

bool ConsoleServices::Interrupted() const {
    return g_interrupted != 0;
}

void ConsoleServices::ClearProgress() {
    if (!m_barShown) return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
    m_barShown = false;
}

Outcome ConsoleServices::ReadListing(const std::string& file, OutputFileModel& model) {
    model.FilePath = file;
    model.Reset();
    auto services = Get();
    Outcome outcome = ReadOutputFile(model, services);
    ClearProgress();
    return outcome;
}

Outcome ConsoleServices::ReadListing(const std::string& file, OutputFileModel& model,
                                     RequestPass& pass) {
    model.FilePath = file;
    model.Reset();
    auto services = Get();
    Outcome outcome = pass.Read(model, services);
    ClearProgress();
    return outcome;
}

}  // namespace vx::cli
