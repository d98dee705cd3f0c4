#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "window/FrmExtract.h"
#include "window/Platform.h"

namespace vx::test {

// The desktop as a test drives it: dialogs answer from a queue, message boxes record
// what they show and answer as told, settings live in a map, and DoEvents runs the
// hook where the test plays the user acting while the window is busy.
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

    // Files the next dialogs return; an empty path cancels. The save dialog returns the
    // filter entry of SaveFilters, or the one it was opened on when that is empty.
    std::deque<std::string> OpenAnswers, SaveAnswers;
    std::deque<int> SaveFilters;
    std::vector<FileDialogSetup> OpenSetups, SaveSetups;
    std::vector<Box> Boxes;
    MsgAnswer BoxAnswer = MsgAnswer::Yes;
    std::map<std::string, std::string> Settings;
    std::vector<std::string> HelpCalls;  // "show <file>" / "close <file>"
    std::vector<int> Pointers;
    bool Tab = false;
    bool IsMinimized = false;
    std::function<void()> OnDoEvents;
    bool Closed = false;
    int Paints = 0;
    std::string Folder = "/opt/vx";  // the program's
    FrmExtract* Form = nullptr;

    // The plot window: how often it was shown and told of a change.
    int PlotShows = 0;
    int PlotChanges = 0;
    bool PlotOpen = false;
    // Runs on the posting thread before a task is queued; a test holds a reading there.
    std::function<void()> BeforePost;
    int PauseMs = 0;

    Platform Get() {
        return Platform{*this, *this, *this, *this, *this, *this, *this, *this, *this};
    }

    bool ShowOpen(const FileDialogSetup& setup, FileDialogChoice& choice) override {
        OpenSetups.push_back(setup);
        return Answer(OpenAnswers, choice);
    }
    bool ShowSave(const FileDialogSetup& setup, FileDialogChoice& choice) override {
        SaveSetups.push_back(setup);
        choice.FilterIndex = setup.FilterIndex;
        if (!SaveFilters.empty()) {
            choice.FilterIndex = SaveFilters.front();
            SaveFilters.pop_front();
        }
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

    // Tasks posted from any thread wait until the test runs them; so does the task
    // waiting for a pause.
    void Post(std::function<void()> task) override {
        if (BeforePost) BeforePost();
        std::lock_guard lock(m_mutex);
        m_posted.push_back(std::move(task));
    }
    void RunAfterPause(int ms, std::function<void()> task) override {
        PauseMs = ms;
        m_pause = std::move(task);
    }
    // Runs the posted tasks in the order given (newest first when `newestFirst`), and
    // those they post, until none is left; returns how many ran.
    std::size_t RunPosted(bool newestFirst = false) {
        std::size_t count = 0;
        for (;;) {
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                if (m_posted.empty()) return count;
                if (newestFirst) {
                    task = std::move(m_posted.back());
                    m_posted.pop_back();
                } else {
                    task = std::move(m_posted.front());
                    m_posted.pop_front();
                }
            }
            task();
            ++count;
        }
    }
    // Ends the pause: its task runs. False when none waits.
    bool EndPause() {
        if (!m_pause) return false;
        auto task = std::move(m_pause);
        m_pause = nullptr;
        task();
        return true;
    }
    bool PauseWaiting() const { return static_cast<bool>(m_pause); }

    void ShowPlotWindow() override {
        ++PlotShows;
        PlotOpen = true;
    }
    // What the desktop does: the plot window closes and tells its model.
    void ClosePlotWindow() override {
        PlotOpen = false;
        if (Form) Form->Plot().Form_Unload();
    }
    void PlotChanged() override { ++PlotChanges; }

    static std::string Key(std::string_view app, std::string_view section, std::string_view key) {
        return std::string(app) + "/" + std::string(section) + "/" + std::string(key);
    }

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_posted;
    std::function<void()> m_pause;

    static bool Answer(std::deque<std::string>& answers, FileDialogChoice& choice) {
        if (answers.empty()) return false;
        choice.FileName = answers.front();
        answers.pop_front();
        choice.FileTitle = choice.FileName.substr(choice.FileName.find_last_of('/') + 1);
        return !choice.FileName.empty();
    }
};

}  // namespace vx::test
