#pragma once

#include <map>
#include <memory>

#include <QFileSystemWatcher>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "window/FrmExtract.h"
#include "window/Platform.h"

class QComboBox;
class QDropEvent;
class QLineEdit;
class QMenu;

namespace vx::desktop {

class PlotWindow;
class ProgressWidget;
class TimeListWidget;

// The services the desktop supplies to the window; tests replace any of them.
struct DesktopServices {
    FileDialogs* Dialogs = nullptr;
    MessageBoxes* Boxes = nullptr;
    SettingsStore* Settings = nullptr;
    HelpViewer* Help = nullptr;
    PointerControl* Pointer = nullptr;
};

// The window on screen: one widget per control of the window model, placed at the
// model's twip positions in proportion to the font. Resizing the window moves only the
// status bar, along its bottom edge, and the progress bar inside it. It forwards what
// the user does to the model's handlers and shows the model's state after each of them;
// it holds no rules of its own.
class MainWindow : public QWidget,
                   private WindowHost,
                   private KeyboardState,
                   private Scheduler,
                   private PlotWindowHost {
    Q_OBJECT
public:
    // Services left out are the real ones.
    explicit MainWindow(DesktopServices services = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    FrmExtract& Form() { return *m_form; }
    // The widget of a control of the model, by name and array index.
    QWidget* WidgetOf(std::string_view name, int index = -1);
    ProgressWidget* Progress() { return m_progress; }
    // The plot window; none before Plot was first pressed.
    PlotWindow* Plot() { return m_plotWindow.get(); }
    QLabel* StatusText() { return m_panel1; }
    QMenu* ListMenu() { return m_menu; }
    // Shows the model's state on every widget.
    void Refresh();
    // Opens a listing as "..." does once its dialog has returned it (a file named on
    // the command line).
    void OpenFile(const QString& path);
    // Pixels per twip.
    double Scale() const { return m_scale; }

    // The action the pop-up menu takes when it is shown, instead of asking the user;
    // for tests and demonstrations. Empty: the user chooses.
    std::function<QAction*(QMenu&)> ChoosePopupItem;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // WindowHost
    void DoEvents() override;
    void Unload() override;
    bool Minimized() override;
    void PopupMenu() override;
    std::string ProgramFolder() override;
    Extent ProgressSurface() override;
    Extent MeasureProgressText(std::string_view text) override;
    void PaintProgress(const ProgressPicture& picture) override;
    // KeyboardState
    bool TabDown() override;
    // Scheduler
    void Post(std::function<void()> task) override;
    void RunAfterPause(int ms, std::function<void()> task) override;
    // PlotWindowHost
    void ShowPlotWindow() override;
    // Beside this window where the screen has room for it (PlotWindowPlace).
    void PlacePlotWindow();
    void ClosePlotWindow() override;
    void PlotChanged() override;

    void BuildWidgets();
    void Connect();
    void LayOut();
    // Runs a handler of the model for a user's action and shows the outcome.
    template <typename F>
    void Handle(F&& handler);
    void PullSelection(TimeListWidget* widget, ListBox& list);
    // Whether a drag of files may drop here: anywhere but on the time lists.
    bool AcceptsFileDrop(QDropEvent& event);
    void ShowList(TimeListWidget* widget, const ListBox& list);

    struct Owned;
    std::unique_ptr<Owned> m_owned;
    std::unique_ptr<Platform> m_platform;
    std::unique_ptr<FrmExtract> m_form;
    // After the form, so that it goes first: it shows the form's plot.
    std::unique_ptr<PlotWindow> m_plotWindow;
    FileDialogs* m_plotDialogs = nullptr;  // a test's own, else the plot window's
    MessageBoxes* m_plotBoxes = nullptr;
    QTimer m_pause;
    // A listing still being written: its file watched, and looked at every few seconds
    // where the file system tells nothing (network drives).
    QFileSystemWatcher m_watcher;
    QTimer m_growthPoll;
    QTimer m_growthSoon;
    void WatchListing();
    void ListingMayHaveChanged();
    std::function<void()> m_afterPause;

    std::map<Control*, QWidget*> m_widgets;
    QWidget* m_statusBar = nullptr;
    QLabel* m_panel1 = nullptr;
    QLabel* m_panel2 = nullptr;
    ProgressWidget* m_progress = nullptr;
    TimeListWidget* m_available = nullptr;
    TimeListWidget* m_selected = nullptr;
    QComboBox* m_variables = nullptr;
    QComboBox* m_vectors = nullptr;
    QLineEdit* m_boxes[3] = {};
    QMenu* m_menu = nullptr;
    std::map<const ListBox*, std::pair<std::uint64_t, std::uint64_t>> m_shownLists;
    std::map<const ComboBox*, std::uint64_t> m_shownCombos;
    double m_scale = 1;
    bool m_refreshing = false;
    bool m_focusByTab = false;
    bool m_unloaded = false;
};

}  // namespace vx::desktop
