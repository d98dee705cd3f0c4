#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "window/FrmExtract.h"
#include "window/Platform.h"

namespace vx::test {

// The desktop as a test drives it: dialogs answer from a queue (an empty path cancels),
// message boxes record what they show and answer as told, settings live in a map, and
// DoEvents runs the hook where the test plays the user acting while the window is busy.
// Tasks posted from any thread, and the one waiting for a pause, wait until the test
// runs them.
class FakePlatform : public FileDialogs,
                     public MessageBoxes,
                     public SettingsStore,
                     public HelpViewer,
                     public PointerControl,
                     public KeyboardState,
                     public WindowHost,
                     public Scheduler,
                     public PlotWindowHost {
public:
    struct Box {
        std::string Prompt;
        MsgButtons Buttons;
        MsgIcon Icon;
        std::string Title;
        bool Centred;
        bool operator==(const Box&) const = default;
    };

    std::deque<std::string> OpenAnswers, SaveAnswers;
    std::deque<int> SaveFilters;  // the save dialog's type; else the one it opened on
    std::vector<FileDialogSetup> OpenSetups, SaveSetups;
    std::vector<Box> Boxes;
    MsgAnswer BoxAnswer = MsgAnswer::Yes;
    std::map<std::string, std::string> Settings;  // "app/section/key"
    std::vector<std::string> HelpCalls;           // "show <file>" / "close <file>"
    std::vector<int> Pointers;
    bool Tab = false, IsMinimized = false, Closed = false, PlotOpen = false;
    std::function<void()> OnDoEvents;
    std::function<void()> BeforePost;  // on the posting thread: a test holds a reading there
    int Paints = 0, PlotShows = 0, PlotChanges = 0, PauseMs = 0;
    std::string Folder = "/opt/vx";  // the program's
    FrmExtract* Form = nullptr;

    Platform Get() { return {*this, *this, *this, *this, *this, *this, *this, *this, *this}; }

    bool ShowOpen(const FileDialogSetup& setup, FileDialogChoice& choice) override {
        OpenSetups.push_back(setup);
        return Answer(OpenAnswers, choice);
    }
    bool ShowSave(const FileDialogSetup& setup, FileDialogChoice& choice) override {
        SaveSetups.push_back(setup);
        choice.FilterIndex = SaveFilters.empty() ? setup.FilterIndex : SaveFilters.front();
        if (!SaveFilters.empty()) SaveFilters.pop_front();
        return Answer(SaveAnswers, choice);
    }
    MsgAnswer Show(std::string_view prompt, MsgButtons buttons, MsgIcon icon,
                   std::string_view title, bool centred) override {
        Boxes.push_back({std::string(prompt), buttons, icon, std::string(title), centred});
        return buttons == MsgButtons::YesNo ? BoxAnswer : MsgAnswer::Ok;
    }
    std::string GetSetting(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view fallback) override {
        auto it = Settings.find(Key(app, section, key));
        return it == Settings.end() ? std::string(fallback) : it->second;
    }
    void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) override {
        Settings[Key(app, section, key)] = std::string(value);
    }
    void ShowHelp(const std::string& file) override { HelpCalls.push_back("show " + file); }
    void CloseHelp(const std::string& file) override { HelpCalls.push_back("close " + file); }
    void SetPointer(int pointer) override { Pointers.push_back(pointer); }
    bool TabDown() override { return Tab; }
    void DoEvents() override {
        if (OnDoEvents) OnDoEvents();
    }
    // What the desktop does with a close request: ask the window, then unload it.
    void Unload() override {
        bool cancel = false;
        Form->Form_QueryUnload(cancel);
        if (cancel) return;
        Form->Form_Unload();
        Closed = true;
    }
    bool Minimized() override { return IsMinimized; }
    void PopupMenu() override {}
    std::string ProgramFolder() override { return Folder; }
    Extent ProgressSurface() override { return {1000, 17}; }
    Extent MeasureProgressText(std::string_view text) override {
        return {7.0 * static_cast<double>(text.size()), 13};
    }
    void PaintProgress(const ProgressPicture&) override { ++Paints; }
    void Post(std::function<void()> task) override {
        if (BeforePost) BeforePost();
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    void RunAfterPause(int ms, std::function<void()> task) override {
        PauseMs = ms;
        m_pause = std::move(task);
    }
    void ShowPlotWindow() override {
        ++PlotShows;
        PlotOpen = true;
    }
    // What the desktop does: the plot window closes and tells its model.
    void ClosePlotWindow() override {
        PlotOpen = false;
        Form->Plot().Form_Unload();
    }
    void PlotChanged() override { ++PlotChanges; }

    // Runs the posted tasks, oldest (or newest) first, and those they post, until none is
    // left; returns how many ran.
    std::size_t RunPosted(bool newestFirst = false) {
        for (std::size_t count = 0;; ++count) {
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                if (m_posted.empty()) return count;
                auto& next = newestFirst ? m_posted.back() : m_posted.front();
                task = std::move(next);
                newestFirst ? m_posted.pop_back() : m_posted.pop_front();
            }
            task();
        }
    }
    // Ends the pause: its task runs.
    void EndPause() { std::exchange(m_pause, nullptr)(); }
    bool PauseWaiting() const { return static_cast<bool>(m_pause); }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;
    std::function<void()> m_pause;

    static std::string Key(std::string_view app, std::string_view section, std::string_view key) {
        return std::string(app) + "/" + std::string(section) + "/" + std::string(key);
    }
    static bool Answer(std::deque<std::string>& answers, FileDialogChoice& choice) {
        if (answers.empty()) return false;
        choice.FileName = answers.front();
        answers.pop_front();
        choice.FileTitle = choice.FileName.substr(choice.FileName.find_last_of('/') + 1);
        return !choice.FileName.empty();
    }
};

}  // namespace vx::test
