#pragma once

#include <string_view>

// What the core needs from whoever hosts it: the window, the command-line tool, or a
// test. Each is a small interface so that each host supplies its own.
namespace vx {

inline constexpr std::string_view AppTitle = "VoraxExtract";

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

// A modal message box. The host adds the caption, which is always AppTitle.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MsgAnswer MsgBox(std::string_view prompt, MsgButtons buttons, MsgIcon icon) = 0;
};

// The one progress report of every long operation: the fraction done (0 to 1) and the
// status text. The host paints it and then lets pending window events run, so the
// window's state (and the abort flag below) may have changed when it returns.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual void UpdateProgress(float sngPercent, std::string_view szText) = 0;
};

inline constexpr bool kNeverStop = false;

// The services a reading or export call gets. `AbortRequested` is the window's flag:
// set when the user confirms closing during an export, tested before each time step.
// `StopScan` is set when the window goes away while a listing is read: the scan looks at
// it after each progress report (where the close arrives) and stops there, quietly.
// Hosts that never stop a scan leave it out.
struct Services {
    MessageBoxService& Messages;
    ProgressService& Progress;
    const bool& AbortRequested;
    const bool& StopScan = kNeverStop;
};

}  // namespace vx
