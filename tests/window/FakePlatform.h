#pragma once

#include <deque>
#include <functional>
#include <map>
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
                     public WindowHost {
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

    Platform Get() { return Platform{*this, *this, *this, *this, *this, *this, *this}; }

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

    static std::string Key(std::string_view app, std::string_view section, std::string_view key) {
        return std::string(app) + "/" + std::string(section) + "/" + std::string(key);
    }

private:
    static bool Answer(std::deque<std::string>& answers, FileDialogChoice& choice) {
        if (answers.empty()) return false;
        choice.FileName = answers.front();
        answers.pop_front();
        choice.FileTitle = choice.FileName.substr(choice.FileName.find_last_of('/') + 1);
        return !choice.FileName.empty();
    }
};

}  // namespace vx::test
