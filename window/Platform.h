#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>

#include "reader/Services.h"

// What the window model needs from the desktop it runs on. The Qt view supplies each
// of these; the tests supply fakes.
namespace vx {

// How a file dialog is set up before it is shown.
struct FileDialogSetup {
    std::string InitDir;
    std::string FileName;  // the name field's initial text
    std::string Filter;    // "Description|pattern|Description|pattern"
    int FilterIndex = 1;   // 1-based entry chosen at first
    bool OverwritePrompt = false;
    bool HideReadOnly = true;
};

// What a confirmed dialog returns: the full path, the file's bare name and the filter
// entry chosen when it was confirmed (1-based; 0 when the dialog cannot tell).
struct FileDialogChoice {
    std::string FileName;
    std::string FileTitle;
    int FilterIndex = 0;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // False when the user cancels.
    virtual bool ShowOpen(const FileDialogSetup& setup, FileDialogChoice& choice) = 0;
    virtual bool ShowSave(const FileDialogSetup& setup, FileDialogChoice& choice) = 0;
};

enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

// A modal message box with the given caption. `centred` asks for it to be centred on
// the window; when the window is minimized it is placed where the desktop puts it.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer Show(std::string_view prompt, MsgButtons buttons, MsgIcon icon,
                           std::string_view title, bool centred) = 0;
};

// The per-user settings store: texts under application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string GetSetting(std::string_view app, std::string_view section,
                                   std::string_view key, std::string_view fallback) = 0;
    virtual void SaveSetting(std::string_view app, std::string_view section, std::string_view key,
                             std::string_view value) = 0;
};

// The help viewer: show the contents of a help file; close every help window opened.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void ShowHelp(const std::string& helpFile) = 0;
    virtual void CloseHelp(const std::string& helpFile) = 0;
};

// A window's place on the screen, in pixels, its frame included.
struct PixelRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const PixelRect&) const = default;
};

// A window moved and, if it must, made smaller so that all of it is on the screen.
inline PixelRect KeptOnScreen(const PixelRect& window, const PixelRect& screen) {
    PixelRect kept = window;
    kept.Width = std::min(kept.Width, screen.Width);
    kept.Height = std::min(kept.Height, screen.Height);
    kept.Left = std::clamp(kept.Left, screen.Left, screen.Left + screen.Width - kept.Width);
    kept.Top = std::clamp(kept.Top, screen.Top, screen.Top + screen.Height - kept.Height);
    return kept;
}

// Mouse pointer numbers.
inline constexpr int kDefaultPointer = 0;
inline constexpr int kHourglassPointer = 11;

class PointerControl {
public:
    virtual ~PointerControl() = default;
    // Sets the pointer of every window of the program.
    virtual void SetPointer(int pointer) = 0;
};

// Key state, as asked at a given moment.
class KeyboardState {
public:
    virtual ~KeyboardState() = default;
    virtual bool TabDown() = 0;
};

// A size in whole units of the surface it measures.
struct Extent {
    double Width = 0;
    double Height = 0;
};

struct ProgressPicture;

// The window itself as the desktop shows it.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // Lets every pending window event run (clicks, key presses, a close request).
    virtual void DoEvents() = 0;
    // Asks the window to close; the close request (query, then unload) runs from here.
    virtual void Unload() = 0;
    virtual bool Minimized() = 0;
    // Shows the pop-up menu of the time lists at the pointer; the chosen item's
    // handler runs before this returns.
    virtual void PopupMenu() = 0;
    // The folder holding the program, where its help file lies.
    virtual std::string ProgramFolder() = 0;
    // The progress surface: its inner size, the size of a text in its font, and
    // painting one picture of it at once.
    virtual Extent ProgressSurface() = 0;
    virtual Extent MeasureProgressText(std::string_view text) = 0;
    virtual void PaintProgress(const ProgressPicture& picture) = 0;
};

// Work handed to the window's thread: values read on a thread of their own come back
// this way, and a change waits for a pause before anything is read for it.
class Scheduler {
public:
    virtual ~Scheduler() = default;
    // Runs `task` on the window's thread among its events. Any thread may call this.
    virtual void Post(std::function<void()> task) = 0;
    // Runs `task` on the window's thread once `ms` milliseconds have passed. A call while
    // one is pending replaces it and starts the pause again: a burst of calls runs the
    // last task once.
    virtual void RunAfterPause(int ms, std::function<void()> task) = 0;
};

// The plot window as the desktop shows it.
class PlotWindowHost {
public:
    virtual ~PlotWindowHost() = default;
    // Shows the plot window beside the main window, or brings it to the front.
    virtual void ShowPlotWindow() = 0;
    virtual void ClosePlotWindow() = 0;
    // The plot or its state line changed: show them again.
    virtual void PlotChanged() = 0;
};

struct Platform {
    FileDialogs& Dialogs;
    MessageBoxes& Boxes;
    SettingsStore& Settings;
    HelpViewer& Help;
    PointerControl& Pointer;
    KeyboardState& Keys;
    WindowHost& Host;
    Scheduler& Tasks;
    PlotWindowHost& PlotWindow;
};

// The busy pointer for the length of one handler: SetCursor shows a pointer on every
// window; the destructor sets the default pointer again, whatever was shown before.
class Mouse {
public:
    explicit Mouse(PointerControl& pointer) : m_pointer(pointer) {}
    ~Mouse() { m_pointer.SetPointer(kDefaultPointer); }
    Mouse(const Mouse&) = delete;
    Mouse& operator=(const Mouse&) = delete;

    void SetCursor(int pointer) { m_pointer.SetPointer(pointer); }

private:
    PointerControl& m_pointer;
};

}  // namespace vx
