#include "window/FrmExtract.h"

#include <ctime>
#include <filesystem>

#include "common/Paths.h"
#include "common/Text.h"
#include "export/Worksheet.h"
#include "extraction/Extraction.h"
#include "extraction/Variables.h"
#include "reader/FileSummary.h"
#include "reader/Reader.h"
#include "reader/TextRoutines.h"
#include "timelists/ModListBox.h"
#include "timelists/TimeLists.h"
#include "window/FormLayout.h"

namespace vx {

namespace {

constexpr std::string_view kSettingsSection = "Files";
// Listings as they are first, then archived ones (any file is read by its first bytes).
constexpr std::string_view kOpenFilter =
    "Vorax Output Files (*.out)|*.out|"
    "Compressed Vorax Output Files (*.out.gz *.out.zst *.out.xz)|*.out.gz;*.out.zst;*.out.xz|"
    "All Files (*.*)|*.*";
constexpr std::string_view kSaveFormatKey = "SaveFormat";
constexpr std::string_view kSaveInProgress =
    "Save is in progress. Do you want to exit and abbort current process?";
// Where an installation puts the help file, seen from the program's folder (the build
// says: ../share/voraxextract for the GNU directories).
constexpr std::string_view kInstalledHelpFolder = VX_HELP_FROM_PROGRAM;

// Counts a handler as running for its whole length, however it ends.
class BusyScope {
public:
    explicit BusyScope(int& busy) : m_busy(busy) { ++m_busy; }
    ~BusyScope() { End(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    void End() {
        if (m_ended) return;
        m_ended = true;
        --m_busy;
    }

private:
    int& m_busy;
    bool m_ended = false;
};

// Every sheet format's type, the .xls first, then "All Files".
std::string SaveFilter() {
    std::string filter;
    for (const auto& format : SheetFormats())
        filter += std::string(format.DialogType) + "|*" + std::string(format.Extension) + "|";
    return filter + "All Files (*.*)|*.*";
}

int FilterIndexOf(SheetFormat format) {
    const auto formats = SheetFormats();
    for (std::size_t i = 0; i < formats.size(); ++i)
        if (formats[i].Format == format) return static_cast<int>(i) + 1;
    return 1;
}

// The writer a confirmed save dialog picks: the format the typed extension names, else
// the chosen type's, whose extension a name without one then gets; "All Files" and an
// extension of no format give the .xls.
SheetFormat ChosenFormat(const FileDialogChoice& choice, std::string& path) {
    path = choice.FileName;
    if (auto named = FormatOfPath(path)) return *named;
    const auto formats = SheetFormats();
    if (choice.FilterIndex < 1 || choice.FilterIndex > static_cast<int>(formats.size()))
        return SheetFormat::Xls;
    const auto& type = formats[static_cast<std::size_t>(choice.FilterIndex - 1)];
    if (std::filesystem::path(choice.FileTitle).extension().empty())
        path += std::string(type.Extension);
    return type.Format;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (unsigned char c : utf8) count += (c & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

}  // namespace

FrmExtract::FrmExtract(Platform& platform)
    : m_platform(platform),
      m_plot([this](PlotRequest& request,
                    std::string& reason) { return PlotRequestNow(request, reason); },
             platform.Tasks, platform.PlotWindow) {
    for (const auto& layout : FormLayout())
        if (Control* c = FindControl(layout.Name, layout.Index))
            c->SetText(std::string(layout.Caption));
    optTime[0].Value = true;
    for (int i = 0; i < 3; ++i)
        txtVectors[static_cast<std::size_t>(i)].OnChange = [this, i] { txtVectors_Change(i); };
    cboVariables.OnClick = [this] { cboVariables_Click(); };
    cboVectors.OnClick = [this] { m_plot.RequestChanged(); };
    lstHidden.SetVisible(false);
}

Label& FrmExtract::SummaryValue(int row) {
    Label* values[10] = {&lblVersion, &lblAnalysis, &lblProblem, &lblNodes, &lblSolids,
                         &lblTrusses, &lblBeams,    &lblShells,  &lblSoils, &lblFibers};
    return *values[row];
}

std::vector<Control*> FrmExtract::Controls() {
    std::vector<Control*> all = {&lblFile,      &txtFileName,     &cmdFile,      &lblTimes[0],
                                 &lstAvailable, &lblTimes[1],     &lstSelected,  &cmdDelete,
                                 &cmdClear,     &cmdPlot,         &fraVariables, &lblVariables[0],
                                 &cboVariables, &lblVariables[1], &cboVectors,   &fraVectors};
    for (int i = 0; i < 3; ++i) {
        all.push_back(&lblVectors[static_cast<std::size_t>(i)]);
        all.push_back(&txtVectors[static_cast<std::size_t>(i)]);
    }
    for (Control* c : std::initializer_list<Control*>{&cmdSave, &cmdClose, &lstHidden, &fraSummary})
        all.push_back(c);
    for (int i = 0; i < 10; ++i) {
        all.push_back(&lblSummary[static_cast<std::size_t>(i)]);
        all.push_back(&SummaryValue(i));
    }
    for (Control* c : std::initializer_list<Control*>{
             &fraTime, &optTime[0], &optTime[1], &picProgress, &cmdHelp, &sbMain, &mnuListClear,
             &mnuListSep1, &mnuListAdd, &mnuListDelete, &mnuListSep2, &mnuListAll})
        all.push_back(c);
    return all;
}

Control* FrmExtract::FindControl(std::string_view name, int index) {
    std::string wanted(name);
    if (index >= 0) wanted += "(" + std::to_string(index) + ")";
    for (Control* c : Controls())
        if (c->Name() == wanted) return c;
    return nullptr;
}

std::string FrmExtract::HelpFile() {
    namespace fs = std::filesystem;
    const fs::path folder = m_platform.Host.ProgramFolder();
    const fs::path beside = folder / (std::string(AppTitle) + ".chm");
    const fs::path installed =
        (folder / kInstalledHelpFolder / beside.filename()).lexically_normal();
    // The build tree keeps the help beside the programs; an installation keeps programs
    // and shared files apart. A help file found nowhere is named where the program looks
    // first, so that the message about it says so.
    std::error_code error;
    if (!fs::exists(beside, error) && fs::exists(installed, error)) return installed.string();
    return beside.string();
}

// --- start-up, size, keys and closing ---------------------------------------------

void FrmExtract::Form_Load() {
    Caption = std::string(AppTitle);
    for (Control* c : std::initializer_list<Control*>{
             &cmdDelete,       &cmdClear,      &cmdSave,       &cmdPlot,       &lblTimes[0],
             &lblTimes[1],     &lstAvailable,  &lstSelected,   &fraVariables,  &lblVariables[0],
             &lblVariables[1], &cboVariables,  &cboVectors,    &fraVectors,    &lblVectors[0],
             &lblVectors[1],   &lblVectors[2], &txtVectors[0], &txtVectors[1], &txtVectors[2],
             &fraSummary})
        c->SetEnabled(false);
    for (auto& label : lblSummary) label.SetEnabled(false);
    fraTime.SetEnabled(false);
    optTime[0].SetEnabled(false);
    optTime[1].SetEnabled(false);

    auto& settings = m_platform.Settings;
    InitOpenDir = settings.GetSetting(AppTitle, kSettingsSection, "InitOpenDir", "");
    InitSaveDir = settings.GetSetting(AppTitle, kSettingsSection, "InitSaveDir", "");
    SaveFormat = FormatNamed(settings.GetSetting(AppTitle, kSettingsSection, kSaveFormatKey, ""))
                     .value_or(SheetFormat::Xls);

    picProgress.SetVisible(false);
}

void FrmExtract::Form_Resize(int panel2Left, int innerWidth, bool minimized) {
    if (minimized) return;
    if (auto place = ProgressPlacement(panel2Left, innerWidth)) ProgressRect = *place;
}

// Keys are answered while the window is busy too. Ctrl+A then highlights Available, which
// neither a scan nor an export reads or changes, and the flag it sets is only used by a
// drop or a menu Add, both refused until the window is idle again.
void FrmExtract::Form_KeyDown(int keyCode, int shift) {
    if (keyCode == kKeyF1) m_platform.Help.ShowHelp(HelpFile());
    if (keyCode == kKeyA && shift == kShiftCtrl) {
        SelectAllItems(lstAvailable);
        AllTimesSelected = true;
    } else {
        AllTimesSelected = false;
    }
}

// Only an export asks before the window goes. A listing being read, or Save between its
// dialog and its run, lets it go at once: the handler still running learns of it from
// Unloaded() (the scan from Services::StopScan) and stops before it reads on.
void FrmExtract::Form_QueryUnload(bool& cancel) {
    if (SaveRunning) {
        cancel = true;
        MsgAnswer answer =
            CenteredMsgBox(kSaveInProgress, MsgButtons::YesNo, MsgIcon::Question, AppTitle);
        if (answer == MsgAnswer::Yes) {
            m_platform.Help.CloseHelp(HelpFile());
            AbortRequested = true;
        }
        return;
    }
    m_platform.Help.CloseHelp(HelpFile());
}

void FrmExtract::Form_Unload() {
    m_unloaded = true;
    m_plot.Close();
    m_platform.Settings.SaveSetting(AppTitle, kSettingsSection, "InitOpenDir", InitOpenDir);
    m_platform.Settings.SaveSetting(AppTitle, kSettingsSection, "InitSaveDir", InitSaveDir);
    m_platform.Settings.SaveSetting(AppTitle, kSettingsSection, kSaveFormatKey,
                                    FormatInfo(SaveFormat).Name);
}

void FrmExtract::cmdHelp_Click() {
    m_platform.Help.ShowHelp(HelpFile());
}

void FrmExtract::cmdClose_Click() {
    m_platform.Host.Unload();
}

// --- opening a file ----------------------------------------------------------------

void FrmExtract::cmdFile_Click() {
    if (Busy()) return;
    FileDialogSetup setup;
    setup.InitDir = InitOpenDir;
    setup.Filter = std::string(kOpenFilter);
    setup.FilterIndex = 1;
    setup.HideReadOnly = true;
    FileDialogChoice choice;
    if (!m_platform.Dialogs.ShowOpen(setup, choice)) return;
    OpenListing(choice);
}

void FrmExtract::OpenFile(const std::string& path) {
    if (Busy() || path.empty()) return;
    // As the open dialog returns it: the full path and the file's bare name.
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error) full = path;
    full = full.lexically_normal();
    OpenListing(FileDialogChoice{full.string(), full.filename().string()});
}

int FrmExtract::Form_OLEDragOver(const std::vector<std::string>& files, int requestedEffects) {
    if (Busy() || files.size() != 1 || files[0].empty()) return kDropEffectNone;
    return requestedEffects & kDropEffectCopy;
}

void FrmExtract::Form_OLEDragDrop(const std::vector<std::string>& files) {
    if (Form_OLEDragOver(files, kDropEffectCopy) == kDropEffectNone) return;
    OpenFile(files[0]);
}

void FrmExtract::OpenListing(const FileDialogChoice& choice) {
    BusyScope busy(m_busy);
    try {
        m_model.FilePath = choice.FileName;
        InitOpenDir = ReplaceAll(choice.FileName, choice.FileTitle, "");
        m_platform.Host.DoEvents();
        if (m_unloaded) return;

        Mouse mouse(m_platform.Pointer);
        mouse.SetCursor(kHourglassPointer);
        UpdateProgress(0, "");
        if (m_unloaded) return;
        picProgress.SetVisible(true);
        ResetFileModel();
        txtFileName.SetText(m_model.FilePath);
        {
            auto services = CoreServices();
            ReadOutputFile(m_model, services);
        }
        // Closed during the scan: the window is gone, and what was read with it.
        if (m_unloaded) return;
        picProgress.SetVisible(false);
        sbMain.Panel1 = choice.FileTitle;
        FillAvailable();
        ShowVariables();
        ShowSummary();
        lstSelected.Clear();
        lstHidden.Clear();
        lblTimes[0].SetEnabled(true);
        lblTimes[1].SetEnabled(true);
        lstAvailable.SetEnabled(true);
        lstSelected.SetEnabled(true);
        SetSaveEnabled(false);
    } catch (...) {
        // Whatever went wrong ends the handler here; the reader has shown its own message.
        picProgress.SetVisible(false);
    }
}

bool FrmExtract::ListingChanged() {
    if (Busy() || m_unloaded || m_model.FilePath.empty()) return false;
    BusyScope busy(m_busy);
    const std::int16_t before = m_model.TimeCount;
    Refreshed refreshed;
    {
        // Read in the background: the status bar and the progress bar stay as they are.
        class Quiet : public ProgressService {
        public:
            void UpdateProgress(float, std::string_view) override {}
        } quiet;
        Services services{*this, quiet, AbortRequested, m_unloaded};
        refreshed = RefreshOutputFile(m_model, services);
    }
    if (m_unloaded || refreshed.Gone) return false;
    const std::time_t now = std::time(nullptr);
    char when[16] = "";
    std::strftime(when, sizeof when, "%H:%M:%S", std::localtime(&now));
    if (refreshed.FromStart) {
        // Another listing now, or one read again: as on opening it.
        FillAvailable();
        ShowVariables();
        ShowSummary();
        lstSelected.Clear();
        lstHidden.Clear();
        SetSaveEnabled(false);
        m_stepsAdded = 0;
        sbMain.Panel2 = refreshed.Replaced ? std::string("Listing replaced, read again at ") + when
                                           : std::string("Read again at ") + when;
        return true;
    }
    if (m_model.TimeCount == before && m_offeredSteps >= m_model.TimeCount) return false;
    // The steps VORAX has finished: all but the last, and the last once its blocks are whole.
    std::int32_t complete = m_model.TimeCount - 1;
    if (StepIsComplete(m_model, m_model.TimeCount)) complete = m_model.TimeCount;
    // A Selected list of every step, in order, stays one of every step: a plot of every
    // step goes on with the new ones. Any other selection stays as it is.
    bool everyStep = m_offeredSteps > 0 && lstHidden.ListCount() == m_offeredSteps;
    for (std::int32_t i = 0; everyStep && i < m_offeredSteps; ++i)
        everyStep = lstHidden.List(i) == std::to_string(i + 1);
    for (std::int32_t step = m_offeredSteps + 1; step <= complete; ++step) {
        const std::string time = TimeText(m_model.Times[static_cast<std::size_t>(step - 1)].Time);
        lstAvailable.AddItem(time);
        if (everyStep) {
            lstSelected.AddItem(time);
            lstHidden.AddItem(std::to_string(step));
        }
    }
    if (everyStep && complete > m_offeredSteps) SetSaveEnabled(ReadyToSave());
    m_stepsAdded += std::max(0, complete - m_offeredSteps);
    m_offeredSteps = std::max(m_offeredSteps, complete);
    ShowSummary();
    sbMain.Panel2 = "Growing: " + std::to_string(m_stepsAdded) + " steps added, last at " + when;
    return true;
}

void FrmExtract::ResetFileModel() {
    m_model.Reset();
}

void FrmExtract::FillAvailable() {
    SetRedraw(lstAvailable, false);
    lstAvailable.Clear();
    for (std::int16_t i = 1; i <= m_model.TimeCount; ++i)
        lstAvailable.AddItem(TimeText(m_model.Times[static_cast<std::size_t>(i - 1)].Time));
    SetRedraw(lstAvailable, true);
    m_offeredSteps = m_model.TimeCount;
    sbMain.Panel2.clear();
}

void FrmExtract::ShowSummary() {
    fraSummary.SetEnabled(true);
    auto rows = SummaryRows(m_model);
    for (int i = 0; i < 10; ++i) {
        const auto& row = rows[static_cast<std::size_t>(i)];
        SummaryValue(i).SetText(Latin1ToUtf8(row.Value));
        lblSummary[static_cast<std::size_t>(i)].SetEnabled(row.Enabled);
    }
}

// --- the variable catalogue and the range ------------------------------------------

void FrmExtract::SetVariableControls(bool enabled) {
    for (Control* c : std::initializer_list<Control*>{
             &fraVariables, &cboVariables, &cboVectors, &lblVariables[0], &lblVariables[1],
             &fraVectors, &lblVectors[0], &lblVectors[1], &lblVectors[2], &txtVectors[0],
             &txtVectors[1], &txtVectors[2], &fraTime, &optTime[0], &optTime[1]})
        c->SetEnabled(enabled);
}

void FrmExtract::ShowVariables() {
    fraVariables.SetEnabled(true);
    cboVariables.SetEnabled(true);
    lblVariables[0].SetEnabled(true);
    cboVariables.Clear();
    if (m_model.AnalysisType == AnalysisStatic || m_model.AnalysisType == AnalysisDynamic) {
        cboVectors.SetEnabled(true);
        lblVariables[1].SetEnabled(true);
    }
    for (const auto& offered : OfferedVariables(m_model)) cboVariables.AddItem(offered.Name);
    if (cboVariables.ListCount() == 0) {
        SetVariableControls(false);
        return;
    }
    SetVariableControls(true);
    cboVariables.SetListIndex(0);
}

void FrmExtract::cboVariables_Click() {
    cboVectors.Clear();
    const std::string name = cboVariables.Text();
    bool blank = false;
    OfferedVariable row;
    if (DescribeVariable(name, m_model, row)) {
        fraVectors.SetText(row.RangeCaption);
        for (const auto& kind : row.VectorKinds) cboVectors.AddItem(Latin1ToUtf8(kind));
        blank = !row.NeedsRange;
    }
    bool haveKinds = cboVectors.ListCount() > 0;
    lblVariables[1].SetEnabled(haveKinds);
    cboVectors.SetEnabled(haveKinds);
    for (Control* c : std::initializer_list<Control*>{&fraVectors, &lblVectors[0], &txtVectors[0],
                                                      &lblVectors[1], &txtVectors[1],
                                                      &lblVectors[2], &txtVectors[2]})
        c->SetEnabled(!blank);
    for (std::size_t i = 0; i < 3; ++i)
        if (IsNumeric(txtVectors[i].Text())) SavedVectors[i] = txtVectors[i].Text();
    for (std::size_t i = 0; i < 3; ++i) {
        if (blank)
            txtVectors[i].SetText({});
        else if (SavedVectors[i])
            txtVectors[i].SetText(*SavedVectors[i]);
    }
    if (haveKinds) cboVectors.SetListIndex(0);
    SetSaveEnabled(ReadyToSave());
}

bool FrmExtract::ReadyToSave() {
    return vx::ReadyToSave(cboVariables.Text(), txtVectors[0].Text(), txtVectors[1].Text(),
                           txtVectors[2].Text(), static_cast<std::size_t>(lstSelected.ListCount()),
                           m_model);
}

void FrmExtract::txtVectors_Change(int) {
    SetSaveEnabled(ReadyToSave());
}

void FrmExtract::txtVectors_GotFocus(int index) {
    if (!m_platform.Keys.TabDown()) return;
    auto& box = txtVectors[static_cast<std::size_t>(index)];
    box.SelStart = 0;
    box.SelLength = static_cast<int>(CharacterCount(box.Text()));
}

void FrmExtract::optTime_Click(int index) {
    optTime[0].Value = index == 0;
    optTime[1].Value = index == 1;
}

bool FrmExtract::UserChoosesVariable(std::int32_t index) {
    if (Busy()) return false;
    cboVariables.SetListIndex(index);
    return true;
}

bool FrmExtract::UserChoosesVector(std::int32_t index) {
    if (Busy()) return false;
    cboVectors.SetListIndex(index);
    return true;
}

bool FrmExtract::UserTypes(int index, std::string text) {
    if (Busy()) return false;
    txtVectors[static_cast<std::size_t>(index)].SetText(std::move(text));
    return true;
}

bool FrmExtract::UserChoosesLayout(int index) {
    if (Busy()) return false;
    optTime_Click(index);
    return true;
}

bool FrmExtract::UserSelects(ListBox& list, std::int32_t index, bool selected) {
    if (Busy() || index < 0 || index >= list.ListCount()) return false;
    list.SetSelected(index, selected);
    return true;
}

bool FrmExtract::UserFocuses(ListBox& list, std::int32_t index) {
    if (Busy() || index < -1 || index >= list.ListCount()) return false;
    list.SetListIndex(index);
    return true;
}

// --- the time lists ------------------------------------------------------------------

void FrmExtract::lstAvailable_Click() {
    if (Busy()) return;
    AllTimesSelected = false;
}

void FrmExtract::lstAvailable_DblClick() {
    if (Busy()) return;
    AllTimesSelected = false;
    std::int32_t focus = lstAvailable.ListIndex();
    if (focus < 0 || focus >= lstAvailable.ListCount()) return;
    const std::string t = lstAvailable.List(focus);
    if (t.empty()) return;
    if (FindItemExact(lstSelected, t) != -1) return;
    AddTime({lstAvailable, lstSelected, lstHidden}, t);
    cmdClear.SetEnabled(true);
    SetSaveEnabled(ReadyToSave());
}

void FrmExtract::lstAvailable_MouseUp(MouseButton button) {
    if (Busy() || button != MouseButton::Right) return;
    PopupSource = 1;
    mnuListAdd.SetEnabled(GetSelCount(lstAvailable) != 0);
    mnuListDelete.SetEnabled(false);
    mnuListClear.SetEnabled(false);
    mnuListAll.SetEnabled(true);
    m_platform.Host.PopupMenu();
}

std::string FrmExtract::lstAvailable_OLEStartDrag() {
    std::string payload;
    if (auto items = GetSelectedItems(lstAvailable))
        for (std::int32_t i : *items) payload += std::to_string(i) + " ";
    return payload;
}

void FrmExtract::lstSelected_Click() {
    if (Busy()) return;
    cmdDelete.SetEnabled(true);
}

void FrmExtract::lstSelected_MouseUp(MouseButton button) {
    if (Busy() || button != MouseButton::Right) return;
    PopupSource = 2;
    mnuListAdd.SetEnabled(false);
    mnuListClear.SetEnabled(lstSelected.ListCount() != 0);
    mnuListDelete.SetEnabled(GetSelCount(lstSelected) != 0);
    mnuListAll.SetEnabled(false);
    m_platform.Host.PopupMenu();
}

int FrmExtract::lstSelected_OLEDragOver(bool offersText, int requestedEffects) {
    if (Busy() || !offersText) return kDropEffectNone;
    return requestedEffects & kDropEffectCopy;
}

void FrmExtract::lstSelected_OLEDragDrop(const std::optional<std::string>& text) {
    if (Busy() || !text) return;
    SetRedraw(lstSelected, false);
    TimeLists lists{lstAvailable, lstSelected, lstHidden};
    if (AllTimesSelected) {
        AddAllTimes(lists);
        cmdClear.SetEnabled(true);
        SetSaveEnabled(ReadyToSave());
    } else if (!text->empty()) {
        // Our own payload always names Available items; of text dropped from elsewhere,
        // only pieces that are whole numbers naming an item add anything.
        for (std::string_view piece : SplitWords(*text)) {
            std::int32_t index = 0;
            if (AvailableItemAt(lstAvailable, piece, index))
                AddTime(lists, lstAvailable.List(index));
        }
        cmdClear.SetEnabled(true);
        SetSaveEnabled(ReadyToSave());
    }
    SetRedraw(lstSelected, true);
}

void FrmExtract::AddTimes() {
    SetRedraw(lstSelected, false);
    TimeLists lists{lstAvailable, lstSelected, lstHidden};
    if (AllTimesSelected) {
        AddAllTimes(lists);
    } else if (auto items = GetSelectedItems(lstAvailable)) {
        for (std::int32_t i : *items) AddTime(lists, lstAvailable.List(i));
    }
    cmdClear.SetEnabled(true);
    SetSaveEnabled(ReadyToSave());
    SetRedraw(lstSelected, true);
}

void FrmExtract::mnuListAdd_Click() {
    if (Busy() || PopupSource != 1) return;
    AddTimes();
}

void FrmExtract::mnuListAll_Click() {
    if (Busy() || PopupSource != 1) return;
    SelectAllItems(lstAvailable);
    AllTimesSelected = true;
}

void FrmExtract::DeleteSelected() {
    if (auto items = GetSelectedItems(lstSelected)) {
        for (auto it = items->rbegin(); it != items->rend(); ++it) {
            lstSelected.RemoveItem(*it);
            lstHidden.RemoveItem(*it);
        }
    }
    cmdDelete.SetEnabled(false);
    if (lstSelected.ListCount() == 0) {
        cmdClear.SetEnabled(false);
        SetSaveEnabled(false);
    } else {
        // Save keeps its state, but the plot drops the times deleted.
        m_plot.RequestChanged();
    }
}

void FrmExtract::ClearSelected() {
    lstSelected.Clear();
    lstHidden.Clear();
    cmdClear.SetEnabled(false);
    cmdDelete.SetEnabled(false);
    SetSaveEnabled(false);
}

void FrmExtract::cmdDelete_Click() {
    if (Busy()) return;
    DeleteSelected();
}

void FrmExtract::mnuListDelete_Click() {
    if (Busy() || PopupSource != 2) return;
    DeleteSelected();
}

void FrmExtract::cmdClear_Click() {
    if (Busy()) return;
    ClearSelected();
}

void FrmExtract::mnuListClear_Click() {
    if (Busy() || PopupSource != 2) return;
    ClearSelected();
}

// --- the export run ------------------------------------------------------------------

void FrmExtract::ReturnToIdle() {
    SaveRunning = false;
    SetSaveEnabled(true);
    picProgress.SetVisible(false);
    sbMain.Panel1.clear();
}

void FrmExtract::cmdSave_Click() {
    if (Busy() || !cmdSave.Enabled()) return;
    // Shows the hourglass from the run's start; released however the handler ends, it
    // sets the default pointer again.
    Mouse mouse(m_platform.Pointer);
    FileDialogSetup setup;
    setup.InitDir = InitSaveDir;
    setup.Filter = SaveFilter();
    setup.FilterIndex = FilterIndexOf(SaveFormat);
    setup.OverwritePrompt = true;
    setup.HideReadOnly = true;
    FileDialogChoice choice;
    if (!m_platform.Dialogs.ShowSave(setup, choice)) {
        ReturnToIdle();
        return;
    }

    BusyScope busy(m_busy);
    InitSaveDir = ReplaceAll(choice.FileName, choice.FileTitle, "");
    std::string path;
    SaveFormat = ChosenFormat(choice, path);
    if (CheckSheetPath(m_model.FilePath, path)) {
        // The listing is never changed: saving over it would replace it by the sheet.
        CenteredMsgBox(
            path + " is the listing that is open. Choose another file for the spreadsheet.",
            MsgButtons::Ok, MsgIcon::Exclamation, AppTitle);
        ReturnToIdle();
        return;
    }
    m_platform.Host.DoEvents();
    // Closed while those events ran: the window went without asking, since no export
    // was running yet, and none starts now.
    if (m_unloaded) return;

    AbortRequested = false;
    SaveRunning = true;
    SetSaveEnabled(false);
    mouse.SetCursor(kHourglassPointer);

    ExportRequest request = ChosenRequest();
    request.Sheet = {path, SaveFormat, optTime[1].Value};
    const Planned planned = PlanExport(m_model, request);
    if (!std::holds_alternative<ExportPlan>(planned)) {
        // A request that cannot be built ends the run without a word.
        ReturnToIdle();
        return;
    }
    picProgress.SetVisible(true);

    try {
        auto services = CoreServices();
        RunExport(m_model, std::get<ExportPlan>(planned), m_table, services);
    } catch (...) {
        // The reader and the layout report their own failures; nothing else may reach here.
    }

    ReturnToIdle();
    busy.End();
    if (AbortRequested) m_platform.Host.Unload();
}

ExportRequest FrmExtract::ChosenRequest() const {
    ExportRequest request;
    request.Variable = cboVariables.Text();
    if (cboVectors.ListIndex() >= 0)
        request.VectorKinds = {{std::nullopt, std::int64_t{cboVectors.ListIndex()}}};
    request.Items = ItemRange{txtVectors[0].Text(), txtVectors[1].Text(), txtVectors[2].Text()};
    request.Steps = SelectedList{lstHidden.Items()};
    return request;
}

void FrmExtract::SetSaveEnabled(bool enabled) {
    cmdSave.SetEnabled(enabled);
    cmdPlot.SetEnabled(enabled);
    m_plot.RequestChanged();
}

// --- the plot ------------------------------------------------------------------------

void FrmExtract::cmdPlot_Click() {
    if (Busy() || !cmdPlot.Enabled()) return;
    m_plot.Show();
}

PlotChoices FrmExtract::PlotRequestNow(PlotRequest& request, std::string& reason) {
    // A listing being read is half a model; every busy handler ends by telling the plot
    // of its changes.
    if (Busy()) return PlotChoices::Busy;
    if (cboVariables.ListCount() == 0) {
        reason = m_model.FilePath.empty() ? "no listing is open" : "the listing offers no variable";
        return PlotChoices::Refused;
    }
    const Planned planned = PlanExport(m_model, ChosenRequest());
    if (const auto* refused = std::get_if<Refusal>(&planned)) {
        reason = refused->Reason;
        return PlotChoices::Refused;
    }
    request.Request = std::get<ExportPlan>(planned).Readings.front();
    request.Model = m_model;
    return PlotChoices::Ready;
}

// --- services ----------------------------------------------------------------------

MsgAnswer FrmExtract::CenteredMsgBox(std::string_view prompt, MsgButtons buttons, MsgIcon icon,
                                     std::string_view title) {
    return m_platform.Boxes.Show(prompt, buttons, icon, title, !m_platform.Host.Minimized());
}

void FrmExtract::Show(const Notice& notice) {
    CenteredMsgBox(Latin1ToUtf8(notice.Text), MsgButtons::Ok, notice.Icon, AppTitle);
}

void FrmExtract::UpdateProgress(float sngPercent, std::string_view szText) {
    auto& host = m_platform.Host;
    sbMain.Panel1 = Latin1ToUtf8(szText);
    std::string text = ProgressText(sngPercent);
    LastProgress =
        LayoutProgress(sngPercent, host.ProgressSurface(), host.MeasureProgressText(text));
    host.PaintProgress(LastProgress);
    host.DoEvents();
}

}  // namespace vx
