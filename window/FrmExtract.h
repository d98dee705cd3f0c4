#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/ExportPlan.h"
#include "export/SheetFormats.h"
#include "extraction/ValueTable.h"
#include "reader/OutputFileModel.h"
#include "reader/Services.h"
#include "timelists/ListBox.h"
#include "window/Controls.h"
#include "window/FrmPlot.h"
#include "window/Platform.h"
#include "window/Progress.h"

namespace vx {

// Drop effects of a drag.
inline constexpr int kDropEffectNone = 0;
inline constexpr int kDropEffectCopy = 1;
inline constexpr int kDropEffectMove = 2;

// Key codes and shift states the window reacts to.
inline constexpr int kKeyA = 65;
inline constexpr int kKeyF1 = 112;
inline constexpr int kShiftCtrl = 2;

enum class MouseButton { Left, Right, Middle };

// The one window of the program, without any toolkit: its controls, its fields and
// its event handlers. The desktop view forwards the user's actions to the handlers
// and shows the controls' states; the platform comes in through `Platform`.
//
// The window is also what the reader and the export report to: their failures as
// message boxes centred on it, and UpdateProgress, which paints the progress bar and lets
// pending events run.
//
// While a file is read or an export runs, pending events run inside every progress
// report. The handlers of the user's own actions are then ignored (the pointer shows
// the hourglass): only help, keys and the close request are answered, so that nothing
// can change the listing or the request under the running operation. A close while a
// listing is read lets the window go at once and stops the scan at its next report; a
// close during an export asks first.
class FrmExtract : public NoticeService, public ProgressService {
public:
    explicit FrmExtract(Platform& platform);
    FrmExtract(const FrmExtract&) = delete;
    FrmExtract& operator=(const FrmExtract&) = delete;

    // --- the controls -------------------------------------------------------------
    std::string Caption;
    Label lblFile{"lblFile"};
    TextBox txtFileName{"txtFileName"};
    Button cmdFile{"cmdFile"};
    std::array<Label, 2> lblTimes{Label{"lblTimes(0)"}, Label{"lblTimes(1)"}};
    ListBox lstAvailable{"lstAvailable"};
    ListBox lstSelected{"lstSelected"};
    ListBox lstHidden{"lstHidden"};
    Button cmdDelete{"cmdDelete"};
    Button cmdClear{"cmdClear"};
    Button cmdPlot{"cmdPlot"};
    Frame fraVariables{"fraVariables"};
    std::array<Label, 2> lblVariables{Label{"lblVariables(0)"}, Label{"lblVariables(1)"}};
    ComboBox cboVariables{"cboVariables"};
    ComboBox cboVectors{"cboVectors"};
    Frame fraVectors{"fraVectors"};
    std::array<Label, 3> lblVectors{Label{"lblVectors(0)"}, Label{"lblVectors(1)"},
                                    Label{"lblVectors(2)"}};
    std::array<TextBox, 3> txtVectors{TextBox{"txtVectors(0)"}, TextBox{"txtVectors(1)"},
                                      TextBox{"txtVectors(2)"}};
    Button cmdSave{"cmdSave"};
    Button cmdClose{"cmdClose"};
    Button cmdHelp{"cmdHelp"};
    Frame fraSummary{"fraSummary"};
    std::array<Label, 10> lblSummary{Label{"lblSummary(0)"}, Label{"lblSummary(1)"},
                                     Label{"lblSummary(2)"}, Label{"lblSummary(3)"},
                                     Label{"lblSummary(4)"}, Label{"lblSummary(5)"},
                                     Label{"lblSummary(6)"}, Label{"lblSummary(7)"},
                                     Label{"lblSummary(8)"}, Label{"lblSummary(9)"}};
    Label lblVersion{"lblVersion"}, lblAnalysis{"lblAnalysis"}, lblProblem{"lblProblem"},
        lblNodes{"lblNodes"}, lblSolids{"lblSolids"}, lblTrusses{"lblTrusses"},
        lblBeams{"lblBeams"}, lblShells{"lblShells"}, lblSoils{"lblSoils"}, lblFibers{"lblFibers"};
    Frame fraTime{"fraTime"};
    std::array<OptionButton, 2> optTime{OptionButton{"optTime(0)"}, OptionButton{"optTime(1)"}};
    Control picProgress{"picProgress"};
    StatusBar sbMain{"sbMain"};
    MenuItem mnuListClear{"mnuListClear", "&Clear"};
    MenuItem mnuListSep1{"mnuListSep1", "-", true};
    MenuItem mnuListAdd{"mnuListAdd", "&Add"};
    MenuItem mnuListDelete{"mnuListDelete", "&Delete"};
    MenuItem mnuListSep2{"mnuListSep2", "-", true};
    MenuItem mnuListAll{"mnuListAll", "Select &All"};

    // The value label of summary row i (0 to 9).
    Label& SummaryValue(int row);
    // Every control, and one by name and array index (-1 for a single control).
    std::vector<Control*> Controls();
    Control* FindControl(std::string_view name, int index = -1);

    // --- window-level fields -------------------------------------------------------
    std::string InitOpenDir;
    std::string InitSaveDir;
    // The format of the last sheet saved: the save dialog opens on its type.
    SheetFormat SaveFormat = SheetFormat::Xls;
    std::array<std::optional<std::string>, 3> SavedVectors;
    std::int16_t PopupSource = 0;  // 1 Available, 2 Selected, 0 before any pop-up
    bool AllTimesSelected = false;
    bool SaveRunning = false;
    std::atomic<bool> AbortRequested = false;
    // Where the progress bar stands inside the status bar, in twips.
    TwipRect ProgressRect{7080, 2520, 1095, 255};
    // The last picture painted on the progress bar.
    ProgressPicture LastProgress;

    // The listing's summary and the last values read: window-wide, for the program's life.
    OutputFileModel& FileModel() { return m_model; }
    const ValueTable& Values() const { return m_table; }
    // True while a file is read or an export runs.
    bool Busy() const { return m_busy > 0; }
    // True once the window has been unloaded; a handler still running then stops.
    bool Unloaded() const { return m_unloaded; }
    // The plot window beside this one.
    FrmPlot& Plot() { return m_plot; }
    // The help file "VoraxExtract.chm": in the program's folder, or where an installation
    // puts it (share/voraxextract beside the program's bin folder) when only it is there.
    std::string HelpFile();

    // --- a listing still being written -------------------------------------------------
    // Looks at the open listing again: the view calls it when the file changes, and every
    // few seconds where the file system tells nothing. The steps completed since it was
    // read are added to the Available list and the summary's counts follow; the Selected
    // list, the selection, the variable, the range and the layout stay as they are (but a
    // Selected list of every step, in order, goes on holding every step, so that a plot of
    // every step extends with the new ones). A
    // listing that was replaced or shortened is read again, as on opening. Nothing happens
    // while a file is read or an export runs: the next look after it catches up. True when
    // anything the window shows changed.
    bool ListingChanged();
    // The steps the Available list offers.
    std::int32_t OfferedSteps() const { return m_offeredSteps; }

    // --- event handlers ------------------------------------------------------------
    void Form_Load();
    void Form_Resize(int panel2Left, int innerWidth, bool minimized);
    void Form_KeyDown(int keyCode, int shift);
    // The close request; `cancel` refuses it.
    void Form_QueryUnload(bool& cancel);
    void Form_Unload();

    void cmdFile_Click();
    // Opens the listing at `path` as "..." does once its dialog has returned it: given
    // on the command line, or dropped on the window. Refused while the window is busy.
    void OpenFile(const std::string& path);
    // A drop of files on the window, outside the time lists: the local path of each
    // item dropped, an empty text for an item that is not a local file. One local file
    // is opened; anything else is not accepted.
    int Form_OLEDragOver(const std::vector<std::string>& files, int requestedEffects);
    void Form_OLEDragDrop(const std::vector<std::string>& files);
    void cmdSave_Click();
    void cmdPlot_Click();
    void cmdDelete_Click();
    void cmdClear_Click();
    void cmdHelp_Click();
    void cmdClose_Click();

    void cboVariables_Click();
    void txtVectors_Change(int index);
    void txtVectors_GotFocus(int index);
    void optTime_Click(int index);

    void lstAvailable_Click();
    void lstAvailable_DblClick();
    void lstAvailable_MouseUp(MouseButton button);
    // The drag payload: the index of every highlighted item, each followed by a space.
    std::string lstAvailable_OLEStartDrag();
    void lstSelected_Click();
    void lstSelected_MouseUp(MouseButton button);
    // The effect allowed for a drag over the Selected list.
    int lstSelected_OLEDragOver(bool offersText, int requestedEffects);
    // `text` is the dropped plain text, none when the payload offers none.
    void lstSelected_OLEDragDrop(const std::optional<std::string>& text);

    void mnuListAdd_Click();
    void mnuListAll_Click();
    void mnuListDelete_Click();
    void mnuListClear_Click();

    // --- what the user does to controls that hold their own state --------------------
    // The view calls these rather than changing the controls itself; each is refused
    // (returns false) while the window is busy, and the view then shows the model again.
    bool UserChoosesVariable(std::int32_t index);
    bool UserChoosesVector(std::int32_t index);
    bool UserTypes(int index, std::string text);
    bool UserChoosesLayout(int index);
    // The user's highlighting of a list item.
    bool UserSelects(ListBox& list, std::int32_t index, bool selected);
    bool UserFocuses(ListBox& list, std::int32_t index);

    // --- services for the reader and the export ------------------------------------
    void Show(const Notice& notice) override;
    void UpdateProgress(float sngPercent, std::string_view szText) override;
    MsgAnswer CenteredMsgBox(std::string_view prompt, MsgButtons buttons, MsgIcon icon,
                             std::string_view title);

private:
    void OpenListing(const FileDialogChoice& choice);
    void ResetFileModel();
    void ShowVariables();
    void ShowSummary();
    bool ReadyToSave();
    // Save and Plot are usable together, for the same complete request; every change
    // of their state is also a change the plot follows.
    void SetSaveEnabled(bool enabled);
    // The request the window's controls make, as Save and Plot both take it (all but
    // the sheet's path).
    ExportRequest ChosenRequest() const;
    PlotChoices PlotRequestNow(PlotRequest& request, std::string& reason);
    void FillAvailable();
    void AddTimes();  // adds the highlighted or all Available times, as a menu Add does
    void DeleteSelected();
    void ClearSelected();
    void ReturnToIdle();
    void SetVariableControls(bool enabled);
    Services CoreServices() { return Services{*this, *this, AbortRequested, m_unloaded}; }

    Platform& m_platform;
    OutputFileModel m_model;
    ValueTable m_table;
    int m_busy = 0;
    bool m_unloaded = false;
    std::int32_t m_offeredSteps = 0;
    std::int32_t m_stepsAdded = 0;
    FrmPlot m_plot;
};

}  // namespace vx
