// The window driven as a user drives it, with the desktop replaced by fakes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"
#include "tests/window/FakePlatform.h"
#include "reader/TextRoutines.h"
#include "timelists/ModListBox.h"
#include "window/FrmExtract.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string Example(const char* name) { return (test::SourceDir() / "examples" / name).string(); }

class WindowTest : public ::testing::Test {
protected:
    WindowTest() : m_platform(m_fake.Get()), form(m_platform) {
        m_fake.Form = &form;
        form.Form_Load();
    }

    void Open(const std::string& path) {
        m_fake.OpenAnswers.push_back(path);
        form.cmdFile_Click();
    }
    void DoubleClick(std::int32_t index) {
        form.UserFocuses(form.lstAvailable, index);
        form.lstAvailable_DblClick();
    }
    void Highlight(ListBox& list, std::initializer_list<std::int32_t> indices) {
        for (std::int32_t i = 0; i < list.ListCount(); ++i) form.UserSelects(list, i, false);
        for (std::int32_t i : indices) form.UserSelects(list, i, true);
    }
    void Range(const char* from, const char* to, const char* step) {
        form.UserTypes(0, from);
        form.UserTypes(1, to);
        form.UserTypes(2, step);
    }
    void ChooseVariable(const std::string& name) {
        for (std::int32_t i = 0; i < form.cboVariables.ListCount(); ++i)
            if (form.cboVariables.List(i) == name) form.UserChoosesVariable(i);
        ASSERT_EQ(form.cboVariables.Text(), name);
    }
    void Save(const fs::path& path) {
        m_fake.SaveAnswers.push_back(path.string());
        form.cmdSave_Click();
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& b : m_fake.Boxes) texts.push_back(b.Prompt);
        return texts;
    }
    // The controls that a file without variables leaves disabled.
    bool SelectionControlsEnabled() {
        return form.fraVariables.Enabled() || form.cboVariables.Enabled() || form.cboVectors.Enabled() ||
               form.fraVectors.Enabled() || form.txtVectors[0].Enabled() || form.fraTime.Enabled() ||
               form.optTime[1].Enabled();
    }

    test::FakePlatform m_fake;
    Platform m_platform;
    FrmExtract form;
    TempDir m_dir;
};

TEST_F(WindowTest, StartsWithOnlyTheFileCommandsUsableAndTheStoredFolders) {
    test::FakePlatform fake;
    fake.Settings["VoraxExtract/Files/InitOpenDir"] = "/runs/";
    auto platform = fake.Get();
    FrmExtract w(platform);
    fake.Form = &w;
    w.Form_Load();
    EXPECT_EQ(w.Caption, "VoraxExtract");
    EXPECT_EQ(w.InitOpenDir, "/runs/");
    EXPECT_EQ(w.InitSaveDir, "");
    for (Control* c : w.Controls()) {
        static const std::vector<std::string> usable = {"lblFile", "txtFileName", "cmdFile", "cmdClose", "cmdHelp",
                                                        "lstHidden", "picProgress", "sbMain", "mnuList"};
        bool expected = false;
        for (const auto& u : usable) expected |= c->Name().rfind(u, 0) == 0;
        // The value labels of the summary are never disabled; their frame is.
        expected |= c->Name().rfind("lbl", 0) == 0 && c->Name().find('(') == std::string::npos &&
                    c->Name() != "lblFile";
        EXPECT_EQ(c->Enabled(), expected) << c->Name();
    }
    EXPECT_EQ(w.cmdSave.Text(), "&Save");
    EXPECT_EQ(w.lblSummary[9].Text(), "Fibers:");
    EXPECT_EQ(w.txtVectors[2].Text(), "1");
    EXPECT_TRUE(w.optTime[0].Value);
    EXPECT_FALSE(w.picProgress.Visible());
    EXPECT_FALSE(w.lstHidden.Visible());

    // Cancelling the open dialog changes nothing; the dialog was set up as specified.
    fake.OpenAnswers.push_back("");
    w.cmdFile_Click();
    ASSERT_EQ(fake.OpenSetups.size(), 1u);
    EXPECT_EQ(fake.OpenSetups[0].InitDir, "/runs/");
    EXPECT_EQ(fake.OpenSetups[0].Filter, "Vorax Output Files (*.out)|*.out|All Files (*.*)|*.*");
    EXPECT_EQ(w.txtFileName.Text(), "");
    EXPECT_TRUE(fake.Pointers.empty());
}

TEST_F(WindowTest, OpeningAListingFillsTimesVariablesAndSummary) {
    Open(Example("dynamic3d.out"));
    EXPECT_EQ(form.txtFileName.Text(), Example("dynamic3d.out"));
    EXPECT_EQ(form.sbMain.Panel1, "dynamic3d.out");
    EXPECT_EQ(form.InitOpenDir, (test::SourceDir() / "examples").string() + "/");
    EXPECT_FALSE(form.picProgress.Visible());
    EXPECT_EQ(m_fake.Pointers, (std::vector<int>{11, 0}));
    EXPECT_GT(m_fake.Paints, 0);

    const auto& model = form.FileModel();
    ASSERT_EQ(form.lstAvailable.ListCount(), model.TimeCount);
    EXPECT_EQ(form.lstAvailable.List(0), TimeText(model.Times[0].Time));
    EXPECT_TRUE(form.lstAvailable.Enabled() && form.lstSelected.Enabled() && form.lblTimes[1].Enabled());
    EXPECT_EQ(form.lstSelected.ListCount(), 0);
    EXPECT_FALSE(form.cmdSave.Enabled());

    std::vector<std::string> expected = {"Displacements",       "Eigen Values",          "Truss Axial Force",
                                         "Beam Axial Force",    "Beam Bending Moment My", "Beam Bending Moment Mz",
                                         "Beam Bending Moment Mw", "Beam Stresses",       "Beam Tangent Modulus"};
    const auto& offered = form.cboVariables.Items();
    for (const auto& name : expected)
        EXPECT_NE(std::find(offered.begin(), offered.end(), name), offered.end()) << name;
    EXPECT_EQ(form.cboVariables.Text(), "Displacements");
    EXPECT_EQ(form.cboVectors.ListCount(), 7);
    EXPECT_EQ(form.cboVectors.Text(), "DOF1");
    EXPECT_EQ(form.fraVectors.Text(), "Nodes");

    EXPECT_EQ(form.lblVersion.Text(), "7.4.2");
    EXPECT_EQ(form.lblAnalysis.Text(), "Dynamical");
    EXPECT_EQ(form.lblProblem.Text(), "3D");
    EXPECT_TRUE(form.lblSummary[6].Enabled());
    EXPECT_EQ(form.lblBeams.Text(), "4");

    // A second file drops the first one's selection and the rows it does not have.
    DoubleClick(0);
    ASSERT_EQ(form.lstSelected.ListCount(), 1);
    Open(Example("thermal.out"));
    EXPECT_EQ(form.lstSelected.ListCount(), 0);
    EXPECT_EQ(form.lstHidden.ListCount(), 0);
    EXPECT_EQ(form.lstAvailable.ListCount(), form.FileModel().TimeCount);
    EXPECT_EQ(form.cboVariables.Items(), std::vector<std::string>{"Temperature"});
    EXPECT_FALSE(form.cboVectors.Enabled());
    EXPECT_EQ(form.lblAnalysis.Text(), "Temperature");
    EXPECT_EQ(form.lblBeams.Text(), "");
    EXPECT_FALSE(form.lblSummary[6].Enabled());
    EXPECT_TRUE(Boxes().empty());

    // A cancelled dialog leaves the open file as it is.
    m_fake.OpenAnswers.push_back("");
    form.cmdFile_Click();
    EXPECT_EQ(form.txtFileName.Text(), Example("thermal.out"));
}

TEST_F(WindowTest, AFileThatIsNoListingIsReportedAndOffersNothing) {
    auto junk = m_dir.Write("notes.out", "just some notes\r\nnothing more\r\n");
    Open(junk.string());
    EXPECT_FALSE(Boxes().empty());
    EXPECT_EQ(m_fake.Boxes[0].Title, "VoraxExtract");
    EXPECT_TRUE(m_fake.Boxes[0].Centred);
    EXPECT_EQ(form.lstAvailable.ListCount(), 0);
    EXPECT_TRUE(form.lstAvailable.Enabled());
    EXPECT_EQ(form.cboVariables.ListCount(), 0);
    EXPECT_FALSE(SelectionControlsEnabled());
    EXPECT_FALSE(form.cmdSave.Enabled());
    EXPECT_TRUE(form.fraSummary.Enabled());
    EXPECT_EQ(form.lblAnalysis.Text(), "Unknown");
    EXPECT_EQ(m_fake.Pointers.back(), 0);
}

TEST_F(WindowTest, TheRangeFollowsTheVariableAndDecidesSave) {
    auto spec = test::EveryBlockSpec(3);
    Open(test::Generate(spec, m_dir.Path() / "every.out"));
    DoubleClick(1);
    Range("1", "13", "2");
    EXPECT_TRUE(form.cmdSave.Enabled());
    form.UserTypes(1, "14");
    EXPECT_FALSE(form.cmdSave.Enabled()) << "To beyond the 13 nodes";
    form.UserTypes(1, "13");
    form.UserTypes(2, "");
    EXPECT_FALSE(form.cmdSave.Enabled()) << "an empty Step";
    form.UserTypes(2, "-3");
    EXPECT_TRUE(form.cmdSave.Enabled()) << "any numeric Step will do";
    form.UserTypes(0, "abc");
    EXPECT_FALSE(form.cmdSave.Enabled());

    // Eigen Values takes the range away; the last numeric texts come back after it.
    ChooseVariable("Eigen Values");
    EXPECT_EQ(form.txtVectors[0].Text(), "");
    EXPECT_FALSE(form.txtVectors[1].Enabled() || form.fraVectors.Enabled() || form.cboVectors.Enabled());
    EXPECT_TRUE(form.cmdSave.Enabled());
    ChooseVariable("Beam Stresses");
    EXPECT_EQ(form.txtVectors[0].Text(), "1") << "abc was never remembered";
    EXPECT_EQ(form.txtVectors[1].Text(), "13");
    EXPECT_EQ(form.txtVectors[2].Text(), "-3");
    EXPECT_EQ(form.fraVectors.Text(), "Fibers");
    EXPECT_EQ(form.cboVectors.ListCount(), 2);
    form.UserTypes(1, "12");
    EXPECT_TRUE(form.cmdSave.Enabled()) << "fibres, not beams, bound the range";

    // Clearing the times disables Save; Tab into a box selects its text, a click does not.
    form.cmdClear_Click();
    EXPECT_FALSE(form.cmdSave.Enabled());
    form.txtVectors[1].SelStart = 1;
    form.txtVectors_GotFocus(1);
    EXPECT_EQ(form.txtVectors[1].SelLength, 0);
    m_fake.Tab = true;
    form.txtVectors_GotFocus(1);
    EXPECT_EQ(form.txtVectors[1].SelStart, 0);
    EXPECT_EQ(form.txtVectors[1].SelLength, 2);
}

TEST_F(WindowTest, TimesMoveToSelectedSortedWithTheirStepNumbers) {
    auto spec = test::ThermalSpec(4, 6);
    Open(test::Generate(spec, m_dir.Path() / "t.out"));
    ASSERT_EQ(form.lstAvailable.ListCount(), 6);
    std::vector<std::string> times = form.lstAvailable.Items();

    DoubleClick(4);
    DoubleClick(1);
    DoubleClick(4);  // already there
    EXPECT_EQ(form.lstSelected.Items(), (std::vector<std::string>{times[1], times[4]}));
    EXPECT_EQ(form.lstHidden.Items(), (std::vector<std::string>{"2", "5"}));
    EXPECT_TRUE(form.cmdClear.Enabled());

    // Drag and drop: the payload names the highlighted items; foreign text adds nothing
    // that is not a whole number naming an Available item.
    Highlight(form.lstAvailable, {0, 3});
    EXPECT_EQ(form.lstAvailable_OLEStartDrag(), "0 3 ");
    EXPECT_EQ(form.lstSelected_OLEDragOver(true, kDropEffectCopy | kDropEffectMove), kDropEffectCopy);
    EXPECT_EQ(form.lstSelected_OLEDragOver(false, kDropEffectCopy), kDropEffectNone);
    form.lstSelected_OLEDragDrop(std::string("0 3 "));
    form.lstSelected_OLEDragDrop(std::string("2.5 -1 99 x 1e0\t"));
    form.lstSelected_OLEDragDrop(std::nullopt);
    EXPECT_EQ(form.lstSelected.Items(), (std::vector<std::string>{times[0], times[1], times[3], times[4]}));
    EXPECT_EQ(form.lstHidden.Items(), (std::vector<std::string>{"1", "2", "4", "5"}));
    EXPECT_TRUE(form.lstSelected.Redraw());

    // Deleting items 1 and 3 keeps the lists parallel.
    Highlight(form.lstSelected, {1, 3});
    form.lstSelected_Click();
    EXPECT_TRUE(form.cmdDelete.Enabled());
    form.cmdDelete_Click();
    EXPECT_EQ(form.lstHidden.Items(), (std::vector<std::string>{"1", "4"}));
    EXPECT_FALSE(form.cmdDelete.Enabled());
    EXPECT_TRUE(form.cmdClear.Enabled());

    // Ctrl+A then a drop copies Available as it stands; a click in between undoes it.
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    EXPECT_TRUE(form.AllTimesSelected);
    form.lstAvailable_Click();
    Highlight(form.lstAvailable, {2});
    form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
    EXPECT_EQ(form.lstHidden.Items(), (std::vector<std::string>{"1", "3", "4"}));
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstSelected_OLEDragDrop(std::string("4 "));
    EXPECT_EQ(form.lstSelected.Items(), times);
    EXPECT_EQ(form.lstHidden.Items(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
    form.Form_KeyDown(16, 0);  // any other key
    EXPECT_FALSE(form.AllTimesSelected);

    // Deleting everything disables Clear and Save.
    for (std::int32_t i = 0; i < 6; ++i) form.UserSelects(form.lstSelected, i, true);
    form.cmdDelete_Click();
    EXPECT_EQ(form.lstSelected.ListCount(), 0);
    EXPECT_EQ(form.lstHidden.ListCount(), 0);
    EXPECT_FALSE(form.cmdClear.Enabled() || form.cmdSave.Enabled());
}

TEST_F(WindowTest, ThePopUpMenuServesTheListItWasOpenedOn) {
    auto spec = test::ThermalSpec(4, 5);
    Open(test::Generate(spec, m_dir.Path() / "t.out"));
    std::string chosen;
    m_fake.OnPopup = [&] {
        if (chosen == "add") form.mnuListAdd_Click();
        if (chosen == "all") form.mnuListAll_Click();
        if (chosen == "delete") form.mnuListDelete_Click();
        if (chosen == "clear") form.mnuListClear_Click();
    };
    auto menuState = [&] {
        return std::vector<bool>{form.mnuListClear.Enabled(), form.mnuListAdd.Enabled(), form.mnuListDelete.Enabled(),
                                 form.mnuListAll.Enabled()};
    };

    form.lstSelected_MouseUp(MouseButton::Right);
    EXPECT_EQ(menuState(), (std::vector<bool>{false, false, false, false})) << "an empty Selected list";
    form.lstAvailable_MouseUp(MouseButton::Right);
    EXPECT_EQ(menuState(), (std::vector<bool>{false, false, false, true})) << "nothing highlighted";

    Highlight(form.lstAvailable, {3, 1});
    chosen = "add";
    form.lstAvailable_MouseUp(MouseButton::Right);
    EXPECT_EQ(form.lstHidden.Items(), (std::vector<std::string>{"2", "4"}));
    EXPECT_EQ(form.PopupSource, 1);

    // Items that serve the other list do nothing.
    form.mnuListClear_Click();
    EXPECT_EQ(form.lstSelected.ListCount(), 2);

    chosen = "all";
    form.lstAvailable_MouseUp(MouseButton::Right);
    EXPECT_EQ(GetSelCount(form.lstAvailable), 5);
    chosen = "add";
    form.lstAvailable_MouseUp(MouseButton::Right);
    EXPECT_EQ(form.lstSelected.ListCount(), 5);

    Highlight(form.lstSelected, {0});
    chosen = "delete";
    form.lstSelected_MouseUp(MouseButton::Right);
    EXPECT_EQ(menuState(), (std::vector<bool>{true, false, true, false}));
    EXPECT_EQ(form.lstSelected.ListCount(), 4);
    chosen = "clear";
    form.lstSelected_MouseUp(MouseButton::Right);
    EXPECT_EQ(form.lstSelected.ListCount(), 0);
    EXPECT_FALSE(form.cmdClear.Enabled() || form.cmdDelete.Enabled() || form.cmdSave.Enabled());
}

// The whole road of one export: the sheet the window writes is the one the
// command-line tool writes for the same request, and it holds the listing's values.
struct RoadCase {
    const char* Listing;
    const char* Variable;
    int Vector;
    const char* From;
    const char* To;
    const char* Step;
    bool Columns;
};

class ExportRoad : public WindowTest, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(ExportRoad, TheWindowWritesTheSheetTheToolWrites) {
    const RoadCase& c = GetParam();
    Open(Example(c.Listing));
    ChooseVariable(c.Variable);
    if (c.Vector >= 0) form.UserChoosesVector(c.Vector);
    Range(c.From, c.To, c.Step);
    form.UserChoosesLayout(c.Columns ? 1 : 0);
    DoubleClick(1);
    DoubleClick(0);
    ASSERT_TRUE(form.cmdSave.Enabled());

    fs::path sheet = m_dir.Path() / "window.xls";
    Save(sheet);
    ASSERT_EQ(m_fake.SaveSetups.size(), 1u);
    EXPECT_EQ(m_fake.SaveSetups[0].Filter, "Excel File (*.xls)|*.xls|All Files (*.*)|*.*");
    EXPECT_TRUE(m_fake.SaveSetups[0].OverwritePrompt);
    EXPECT_EQ(form.InitSaveDir, m_dir.Path().string() + "/");
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    // Idle again.
    EXPECT_FALSE(form.SaveRunning);
    EXPECT_TRUE(form.cmdSave.Enabled());
    EXPECT_FALSE(form.picProgress.Visible());
    EXPECT_EQ(form.sbMain.Panel1, "");
    EXPECT_EQ(m_fake.Pointers.back(), 0);
    ASSERT_TRUE(fs::exists(sheet));

    fs::path cliSheet = m_dir.Path() / "cli.xls";
    std::vector<std::string> args = {"export", Example(c.Listing), "-o",     cliSheet.string(), "--variable",
                                     c.Variable, "--from",         c.From, "--to",            c.To,
                                     "--step",   c.Step,           "--steps", "1,2",          "--quiet",
                                     c.Columns ? "--columns" : "--rows"};
    if (c.Vector >= 0) args.insert(args.end(), {"--vector-index", std::to_string(c.Vector)});
    auto run = test::RunCli(args);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(test::ReadBytes(sheet), test::ReadBytes(cliSheet));

    if (!test::HaveXlsDump()) GTEST_SKIP() << "xls-dump missing";
    std::vector<test::Cell> cells;
    std::string error;
    ASSERT_TRUE(test::DumpCells(sheet, cells, error)) << error;
    EXPECT_GT(cells.size(), 6u);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ExportRoad,
    ::testing::Values(RoadCase{"thermal.out", "Temperature", -1, "1", "12", "1", true},
                      RoadCase{"static2d.out", "Beam Bending Moment", 2, "4", "1", "-1", false},
                      RoadCase{"dynamic3d.out", "Displacements", 5, "2", "10", "3", true},
                      RoadCase{"dynamic3d.out", "Beam Stresses", 1, "1", "12", "1", false}),
    [](const auto& param) {
        std::string name = std::string(param.param.Listing) + "_" + param.param.Variable;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

TEST_F(WindowTest, RequestsThatCannotBeBuiltEndSilentlyAndWriteNothing) {
    Open(Example("dynamic3d.out"));
    DoubleClick(0);
    fs::path sheet = m_dir.Path() / "sheet.xls";
    struct {
        const char *From, *To, *Step;
    } cases[] = {{"1", "5", "0"}, {"10", "1", "1"}, {"2.5", "3", "1"}};
    for (const auto& c : cases) {
        Range(c.From, c.To, c.Step);
        ASSERT_TRUE(form.cmdSave.Enabled()) << c.From << " " << c.To << " " << c.Step;
        Save(sheet);
        EXPECT_FALSE(fs::exists(sheet)) << c.From << " " << c.To << " " << c.Step;
        EXPECT_TRUE(Boxes().empty());
        EXPECT_FALSE(form.SaveRunning);
        EXPECT_TRUE(form.cmdSave.Enabled());
        EXPECT_EQ(m_fake.Pointers.back(), 0);
    }
    // Eigen Values needs no time to enable Save, but a run without times writes nothing.
    ChooseVariable("Eigen Values");
    form.cmdClear_Click();
    ChooseVariable("Eigen Values");
    ASSERT_TRUE(form.cmdSave.Enabled());
    Save(sheet);
    EXPECT_FALSE(fs::exists(sheet));
    // The listing itself is never the sheet.
    std::string listingBytes = test::ReadBytes(Example("dynamic3d.out"));
    ChooseVariable("Displacements");
    Range("1", "5", "1");
    DoubleClick(0);
    Save(Example("dynamic3d.out"));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_NE(Boxes()[0].find("is the listing that is open"), std::string::npos);
    EXPECT_EQ(test::ReadBytes(Example("dynamic3d.out")), listingBytes);
    EXPECT_TRUE(form.cmdSave.Enabled());
    m_fake.Boxes.clear();
    // Cancelling the dialog keeps the folder it had.
    std::string before = form.InitSaveDir;
    m_fake.SaveAnswers.push_back("");
    form.cmdSave_Click();
    EXPECT_EQ(form.InitSaveDir, before);
}

TEST_F(WindowTest, ClosingDuringAnExportAsksAndStopsCleanly) {
    auto spec = test::ThermalSpec(6, 40);
    Open(test::Generate(spec, m_dir.Path() / "long.out"));
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstSelected_OLEDragDrop(std::string(""));
    Range("1", "6", "1");
    ASSERT_TRUE(form.cmdSave.Enabled());

    // The user asks to close while values are read, and answers No: the export goes on.
    bool asked = false;
    m_fake.OnDoEvents = [&] {
        if (form.SaveRunning && !asked) {
            asked = true;
            m_fake.BoxAnswer = MsgAnswer::No;
            form.cmdClose_Click();
            // Other clicks meanwhile are ignored.
            form.cmdClear_Click();
            form.UserChoosesLayout(1);
        }
    };
    fs::path sheet = m_dir.Path() / "no.xls";
    Save(sheet);
    ASSERT_TRUE(asked);
    ASSERT_EQ(m_fake.Boxes.size(), 1u);
    EXPECT_EQ(m_fake.Boxes[0].Prompt, "Save is in progress. Do you want to exit and abbort current process?");
    EXPECT_EQ(m_fake.Boxes[0].Buttons, MsgButtons::YesNo);
    EXPECT_EQ(m_fake.Boxes[0].Icon, MsgIcon::Question);
    EXPECT_TRUE(fs::exists(sheet));
    EXPECT_FALSE(m_fake.Closed);
    EXPECT_EQ(form.lstSelected.ListCount(), 40);
    EXPECT_TRUE(form.optTime[0].Value);

    // Now Yes: the sheet is not written, the window goes idle and then closes itself
    // without asking again, and stores both folders.
    asked = false;
    m_fake.OnDoEvents = [&] {
        if (form.SaveRunning && !asked) {
            asked = true;
            m_fake.BoxAnswer = MsgAnswer::Yes;
            form.cmdClose_Click();
            EXPECT_FALSE(m_fake.Closed) << "the window stays until the export has stopped";
        }
    };
    fs::path stopped = m_dir.Path() / "yes.xls";
    Save(stopped);
    EXPECT_FALSE(fs::exists(stopped));
    EXPECT_EQ(m_fake.Boxes.size(), 2u);
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_FALSE(form.SaveRunning);
    EXPECT_EQ(m_fake.Pointers.back(), 0);
    EXPECT_EQ(m_fake.Settings["VoraxExtract/Files/InitSaveDir"], m_dir.Path().string() + "/");
    EXPECT_EQ(m_fake.Settings["VoraxExtract/Files/InitOpenDir"], m_dir.Path().string() + "/");
    EXPECT_EQ(std::count(m_fake.HelpCalls.begin(), m_fake.HelpCalls.end(), "close /opt/vx/VoraxExtract.chm"), 2);
}

TEST_F(WindowTest, HelpAndClosingWhenIdle) {
    form.Form_KeyDown(kKeyF1, 0);
    form.cmdHelp_Click();
    EXPECT_EQ(m_fake.HelpCalls, (std::vector<std::string>{"show /opt/vx/VoraxExtract.chm",
                                                          "show /opt/vx/VoraxExtract.chm"}));
    form.cmdClose_Click();
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_TRUE(m_fake.Boxes.empty());
    EXPECT_EQ(m_fake.HelpCalls.back(), "close /opt/vx/VoraxExtract.chm");
    // Empty folders are stored too.
    EXPECT_EQ(m_fake.Settings.count("VoraxExtract/Files/InitOpenDir"), 1u);
    EXPECT_EQ(m_fake.Settings["VoraxExtract/Files/InitSaveDir"], "");
}

TEST_F(WindowTest, AClosingRequestWhileAFileIsReadWaitsForTheReading) {
    auto spec = test::ThermalSpec(6, 300);
    std::string path = test::Generate(spec, m_dir.Path() / "t.out");
    bool requested = false;
    m_fake.OnDoEvents = [&] {
        if (form.Busy() && !requested && form.picProgress.Visible()) {
            requested = true;
            form.cmdClose_Click();
            EXPECT_FALSE(m_fake.Closed);
        }
    };
    Open(path);
    EXPECT_TRUE(requested);
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_EQ(form.lstAvailable.ListCount(), 300) << "the reading finished first";
}

TEST_F(WindowTest, MessageBoxesAreCentredUnlessTheWindowIsMinimized) {
    m_fake.IsMinimized = true;
    Open((m_dir.Path() / "missing.out").string());
    ASSERT_FALSE(m_fake.Boxes.empty());
    EXPECT_FALSE(m_fake.Boxes.back().Centred);
}

}  // namespace
}  // namespace vx
