#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <QPointer>
#include <QString>

class QWidget;

namespace vx::help {

class HelpWindow;

// The help of the program: shows a help file's contents page in a help window and
// closes every help window it opened. One window per help file: asking again for a
// file that is already shown brings its window to the front.
//
// A help file that cannot be shown is reported through the message sink, which the
// main window routes to its own message box:
// "The help file <path> could not be opened: <reason>."
class ChmHelp {
public:
    using MessageSink = std::function<void(const QString& message)>;

    explicit ChmHelp(MessageSink showMessage);
    ~ChmHelp();
    ChmHelp(const ChmHelp&) = delete;
    ChmHelp& operator=(const ChmHelp&) = delete;

    // VoraxExtract.chm in the program's own folder.
    static QString DefaultHelpFile();
    static QString OpenFailureMessage(const QString& chmPath, const QString& reason);

    // The help windows are separate windows kept in front of `owner` (none when null)
    // and closed with it.
    void ShowHelp(QWidget* owner, const QString& chmPath);
    void CloseHelp();

    // The open help window of a file, if any.
    HelpWindow* WindowFor(const QString& chmPath) const;

private:
    MessageSink m_showMessage;
    std::vector<std::pair<QString, QPointer<HelpWindow>>> m_windows;  // absolute path, window
};

}  // namespace vx::help
