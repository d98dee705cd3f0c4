// The window driven as a user drives it, with the desktop replaced by fakes. The Qt
// window over it (widgets, events, the pop-up menu, closing through the window system)
// is driven in MainWindowTest.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "tests/support/Compress.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"
#include "tests/window/FakePlatform.h"
#include "window/FrmExtract.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Example;
using test::TempDir;
using Texts = std::vector<std::string>;

// A window as it starts, the open folder stored by an earlier session.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : m_platform(m_fake.Get()), form(m_platform) {
        m_fake.Form = &form;
        m_fake.Settings["VoraxExtract/Files/InitOpenDir"] = "/runs/";
        form.Form_Load();
    }

    void Open(const std::string& path) {
        m_fake.OpenAnswers.push_back(path);
        form.cmdFile_Click();
    }
    void Open(const gen::ListingSpec& listing) {
        Open(test::Generate(listing, m_dir.Path() / "listing.out"));
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
    // Save and Plot are usable together, for the same complete request.
    bool SaveAndPlot() {
        EXPECT_EQ(form.cmdPlot.Enabled(), form.cmdSave.Enabled());
        return form.cmdSave.Enabled();
    }
    // Lets the plot's readings end and hands what they sent to the window's thread.
    void Settle(bool newestFirst = false) {
        form.Plot().WaitForReadings();
        m_fake.RunPosted(newestFirst);
    }
    // The pause after a change ends: the plot reads what the window now asks for.
    void AfterThePause() {
        ASSERT_TRUE(m_fake.PauseWaiting());
        EXPECT_EQ(m_fake.PauseMs, 300);
        m_fake.EndPause();
        Settle();
    }
    std::vector<std::string> PlotLabels() {
        std::vector<std::string> labels;
        if (auto& plot = form.Plot().Plot())
            for (const auto& line : plot->Lines) labels.push_back(line.Label);
        return labels;
    }

    test::FakePlatform m_fake;
    Platform m_platform;
    FrmExtract form;
    TempDir m_dir;
};

TEST_F(WindowTest, StartsWithOnlyTheFileCommandsUsableAndStoresItsFoldersOnClosing) {
    for (Control* c : form.Controls()) {
        const std::string& name = c->Name();
        bool usable = false;
        for (const char* u : {"txtFileName", "cmdFile", "cmdClose", "cmdHelp", "lstHidden",
                              "picProgress", "sbMain", "mnuList"})
            usable |= name.starts_with(u);
        // The value labels of the summary are never disabled; their frame is.
        usable |= name.starts_with("lbl") && name.find('(') == std::string::npos;
        EXPECT_EQ(c->Enabled(), usable) << name;
    }
    EXPECT_TRUE(form.optTime[0].Value);
    EXPECT_FALSE(form.picProgress.Visible());

    // Cancelling the open dialog changes nothing; the dialog starts in the stored folder.
    m_fake.OpenAnswers.push_back("");
    form.cmdFile_Click();
    ASSERT_EQ(m_fake.OpenSetups.size(), 1u);
    EXPECT_EQ(m_fake.OpenSetups[0].InitDir, "/runs/");
    EXPECT_EQ(m_fake.OpenSetups[0].Filter,
              "Vorax Output Files (*.out)|*.out|Compressed Vorax Output Files (*.out.gz *.out.zst "
              "*.out.xz)|*.out.gz;*.out.zst;*.out.xz|All Files (*.*)|*.*");

    // F1 and the Help button show the help; closing when idle asks nothing, closes the
    // help and stores both folders, an empty one too.
    form.Form_KeyDown(kKeyF1, 0);
    form.cmdHelp_Click();
    form.cmdClose_Click();
    EXPECT_EQ(m_fake.HelpCalls,
              (Texts{"show /opt/vx/VoraxExtract.chm", "show /opt/vx/VoraxExtract.chm",
                     "close /opt/vx/VoraxExtract.chm"}));
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_TRUE(m_fake.Boxes.empty());
    EXPECT_EQ(m_fake.Settings.at("VoraxExtract/Files/InitOpenDir"), "/runs/");
    EXPECT_EQ(m_fake.Settings.at("VoraxExtract/Files/InitSaveDir"), "");
}

// The help file beside the program (the build tree), else where an installation puts it
// (share/voraxextract beside bin/), else named beside the program for the message.
// Run again on a real installation by the test Install.WindowFindsItsHelp.
TEST_F(WindowTest, TheHelpIsFoundBesideTheProgramOrWhereItIsInstalled) {
    const fs::path bin = m_dir.Path() / "bin", share = m_dir.Path() / "share" / "voraxextract";
    fs::create_directories(bin);
    m_fake.Folder = bin.string();
    EXPECT_EQ(form.HelpFile(), (bin / "VoraxExtract.chm").string()) << "found nowhere";
    fs::create_directories(share);
    m_dir.Write("share/voraxextract/VoraxExtract.chm", "");
    EXPECT_EQ(form.HelpFile(), (share / "VoraxExtract.chm").string());
    m_dir.Write("bin/VoraxExtract.chm", "");
    EXPECT_EQ(form.HelpFile(), (bin / "VoraxExtract.chm").string());

    if (const char* prefix = std::getenv("VX_INSTALLED_PREFIX")) {
        m_fake.Folder = (fs::path(prefix) / "bin").string();
        const fs::path help = fs::path(prefix) / "share" / "voraxextract" / "VoraxExtract.chm";
        EXPECT_EQ(form.HelpFile(), help.string());
        EXPECT_TRUE(fs::is_regular_file(help));
    }
}

TEST_F(WindowTest, OpeningAListingFillsTimesVariablesAndSummary) {
    Open(Example("dynamic3d.out"));
    EXPECT_FALSE(form.picProgress.Visible());
    EXPECT_EQ(m_fake.Pointers, (std::vector<int>{11, 0}));
    EXPECT_GT(m_fake.Paints, 0);
    EXPECT_EQ(form.lstAvailable.Items(), (Texts{"60", "120", "180", "240", "300", "360"}));
    EXPECT_TRUE(form.lstAvailable.Enabled() && form.lstSelected.Enabled() &&
                form.lblTimes[1].Enabled());
    EXPECT_FALSE(SaveAndPlot());
    EXPECT_EQ(form.lblVersion.Text(), "7.4.2");
    EXPECT_EQ(form.lblProblem.Text(), "3D");
    EXPECT_TRUE(form.lblSummary[6].Enabled());
    EXPECT_EQ(form.lblBeams.Text(), "4");

    // Named on the command line, relative to the current folder, it opens as the dialog's
    // full path does.
    form.OpenFile(fs::relative(Example("dynamic3d.out")).string());
    EXPECT_EQ(form.txtFileName.Text(), Example("dynamic3d.out"));
    EXPECT_EQ(form.sbMain.Panel1, "dynamic3d.out");
    EXPECT_EQ(form.lstAvailable.ListCount(), 6);

    // Dropped on the window: one local file opens; several, or one that is not a local
    // file, do not; nor does a drop or a named file while a listing is read.
    EXPECT_EQ(form.Form_OLEDragOver({Example("thermal.out"), Example("static2d.out")},
                                    kDropEffectCopy | kDropEffectMove),
              kDropEffectNone);
    EXPECT_EQ(form.Form_OLEDragOver({""}, kDropEffectCopy), kDropEffectNone);
    EXPECT_EQ(form.Form_OLEDragOver({Example("thermal.out")}, kDropEffectCopy | kDropEffectMove),
              kDropEffectCopy);
    // A second file drops the first one's selection and the rows it does not have.
    DoubleClick(0);
    ASSERT_EQ(form.lstSelected.ListCount(), 1);
    m_fake.OnDoEvents = [&] {
        EXPECT_EQ(form.Form_OLEDragOver({Example("static2d.out")}, kDropEffectCopy),
                  kDropEffectNone);
        form.Form_OLEDragDrop({Example("static2d.out")});
        form.OpenFile(Example("static2d.out"));
    };
    form.Form_OLEDragDrop({Example("thermal.out")});
    m_fake.OnDoEvents = nullptr;
    EXPECT_EQ(form.txtFileName.Text(), Example("thermal.out"));
    EXPECT_EQ(form.lstSelected.ListCount(), 0);
    EXPECT_EQ(form.lstHidden.ListCount(), 0);
    EXPECT_EQ(form.lstAvailable.ListCount(), form.FileModel().TimeCount);
    EXPECT_EQ(form.cboVariables.Items(), Texts{"Temperature"});
    EXPECT_FALSE(form.cboVectors.Enabled());
    EXPECT_EQ(form.lblAnalysis.Text(), "Temperature");
    EXPECT_EQ(form.lblBeams.Text(), "");
    EXPECT_FALSE(form.lblSummary[6].Enabled());
    EXPECT_TRUE(m_fake.Boxes.empty());
}

// A listing still being written: each look adds the steps completed since (the last one
// once its blocks are whole) and leaves the user's choices; a replaced listing is read
// again as on opening; nothing happens while an export runs.
TEST_F(WindowTest, AGrowingListingAddsItsCompletedStepsAndKeepsTheChoices) {
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 7;
    const auto whole = test::Generate(spec, m_dir.Path() / "whole.out");
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto live = m_dir.Path() / "live.out";
    auto writeUpTo = [&](std::size_t size) {
        std::ofstream(live, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(size));
    };
    // Open it cut inside step 4: the window offers the four steps found, as it always has.
    std::size_t step5 = 0;
    for (int i = 0; i < 5; ++i) step5 = bytes.find("TIME =", step5 + 1);
    const std::size_t step4 = bytes.rfind("TIME =", step5 - 1);
    writeUpTo(step4 + 400);
    Open(live.string());
    ASSERT_EQ(form.lstAvailable.ListCount(), 4);
    DoubleClick(1);
    ChooseVariable("Beam Axial Force");
    Range("2", "3", "1");
    const Texts selected = form.lstSelected.Items();
    const std::string vector = form.cboVectors.Text();
    ASSERT_TRUE(SaveAndPlot());
    EXPECT_FALSE(form.ListingChanged()) << "nothing was added";

    // Steps 5 and 6 begin: steps up to 5 are complete, 6 is not yet whole.
    const std::size_t step6 = bytes.find("TIME =", step5 + 1);
    writeUpTo(step6 + 300);
    EXPECT_TRUE(form.ListingChanged());
    EXPECT_EQ(form.lstAvailable.Items(), (Texts{"60", "120", "180", "240", "300"}));
    EXPECT_EQ(form.OfferedSteps(), 5);
    EXPECT_EQ(form.FileModel().TimeCount, 6);
    EXPECT_EQ(form.lstSelected.Items(), selected);
    EXPECT_EQ(form.cboVariables.Text(), "Beam Axial Force");
    EXPECT_EQ(form.cboVectors.Text(), vector);
    EXPECT_EQ(form.txtVectors[0].Text(), "2");
    EXPECT_TRUE(SaveAndPlot());
    EXPECT_TRUE(form.sbMain.Panel2.starts_with("Growing: 1 steps added, last at "))
        << form.sbMain.Panel2;
    EXPECT_EQ(form.sbMain.Panel1, "live.out");
    // Every step selected: the Selected list goes on holding every step, for the plot.
    form.cmdClear_Click();
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
    ASSERT_EQ(form.lstSelected.ListCount(), 5);
    // The whole listing: the last step is whole, though no step follows it.
    writeUpTo(bytes.size());
    EXPECT_TRUE(form.ListingChanged());
    EXPECT_EQ(form.lstAvailable.ListCount(), 7);
    EXPECT_EQ(form.lstSelected.Items(), form.lstAvailable.Items());
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"1", "2", "3", "4", "5", "6", "7"}));

    // Nothing is looked at while an export runs.
    bool looked = false;
    m_fake.OnDoEvents = [&] {
        looked = true;
        EXPECT_FALSE(form.ListingChanged());
    };
    Save(m_dir.Path() / "forces.xls");
    m_fake.OnDoEvents = nullptr;
    EXPECT_TRUE(looked);
    // Then shorter: read again as on opening, the choices of the old one dropped.
    writeUpTo(step4 + 400);
    EXPECT_TRUE(form.ListingChanged());
    EXPECT_EQ(form.lstAvailable.ListCount(), 4);
    EXPECT_EQ(form.lstSelected.ListCount(), 0);
    EXPECT_TRUE(form.sbMain.Panel2.starts_with("Listing replaced, read again at "))
        << form.sbMain.Panel2;
    for (const auto& box : m_fake.Boxes) ADD_FAILURE() << box.Prompt;
}

TEST_F(WindowTest, AFileThatIsNoListingIsReportedAndOffersNothing) {
    Open(m_dir.Write("notes.out", "just some notes\r\nnothing more\r\n").string());
    ASSERT_FALSE(m_fake.Boxes.empty());
    EXPECT_EQ(m_fake.Boxes[0].Title, "VoraxExtract");
    EXPECT_TRUE(m_fake.Boxes[0].Centred);
    EXPECT_EQ(form.lstAvailable.ListCount(), 0);
    EXPECT_TRUE(form.lstAvailable.Enabled());
    EXPECT_EQ(form.cboVariables.ListCount(), 0);
    EXPECT_FALSE(form.fraVariables.Enabled() || form.cboVariables.Enabled() ||
                 form.cboVectors.Enabled() || form.fraVectors.Enabled() ||
                 form.txtVectors[0].Enabled() || form.fraTime.Enabled() ||
                 form.optTime[1].Enabled() || form.cmdSave.Enabled());
    EXPECT_TRUE(form.fraSummary.Enabled());
    EXPECT_EQ(form.lblAnalysis.Text(), "Unknown");
    ASSERT_FALSE(m_fake.Pointers.empty());
    EXPECT_EQ(m_fake.Pointers.back(), 0);

    // A minimized window does not centre its boxes on itself.
    m_fake.IsMinimized = true;
    Open((m_dir.Path() / "missing.out").string());
    ASSERT_FALSE(m_fake.Boxes.empty());
    EXPECT_FALSE(m_fake.Boxes.back().Centred);
}

TEST_F(WindowTest, TheRangeFollowsTheVariableAndDecidesSaveAndPlot) {
    Open(test::EveryBlockSpec(3));
    DoubleClick(1);
    Range("1", "13", "-3");
    EXPECT_TRUE(SaveAndPlot());
    form.UserTypes(1, "14");
    EXPECT_FALSE(SaveAndPlot()) << "To beyond the 13 nodes";
    form.UserTypes(1, "13");
    form.UserTypes(0, "abc");
    EXPECT_FALSE(SaveAndPlot());

    // Eigen Values takes the range away; the last numeric texts come back after it.
    ChooseVariable("Eigen Values");
    EXPECT_EQ(form.txtVectors[0].Text(), "");
    EXPECT_FALSE(form.txtVectors[1].Enabled() || form.fraVectors.Enabled() ||
                 form.cboVectors.Enabled());
    EXPECT_TRUE(SaveAndPlot());
    ChooseVariable("Beam Stresses");
    EXPECT_EQ(
        (Texts{form.txtVectors[0].Text(), form.txtVectors[1].Text(), form.txtVectors[2].Text()}),
        (Texts{"1", "13", "-3"}))
        << "abc was never remembered";
    EXPECT_EQ(form.fraVectors.Text(), "Fibers");
    EXPECT_EQ(form.cboVectors.ListCount(), 2);
    form.UserTypes(1, "12");
    EXPECT_TRUE(SaveAndPlot()) << "fibres, not beams, bound the range";

    // Clearing the times disables Save; Tab into a box selects its text, a click does not.
    form.cmdClear_Click();
    EXPECT_FALSE(SaveAndPlot());
    form.txtVectors[1].SelStart = 1;
    form.txtVectors_GotFocus(1);
    EXPECT_EQ(form.txtVectors[1].SelLength, 0);
    m_fake.Tab = true;
    form.txtVectors_GotFocus(1);
    EXPECT_EQ(form.txtVectors[1].SelStart, 0);
    EXPECT_EQ(form.txtVectors[1].SelLength, 2);
}

TEST_F(WindowTest, TimesMoveToSelectedSortedWithTheirStepNumbers) {
    Open(test::ThermalSpec(4, 6));
    ASSERT_EQ(form.lstAvailable.ListCount(), 6);
    Texts times = form.lstAvailable.Items();

    DoubleClick(1);
    DoubleClick(4);  // after a single earlier time
    DoubleClick(1);  // already there
    EXPECT_EQ(form.lstSelected.Items(), (Texts{times[1], times[4]}));
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"2", "5"}));
    EXPECT_TRUE(form.cmdClear.Enabled());

    // Drag and drop: the payload names the highlighted items; foreign text adds nothing
    // that is not a whole number naming an Available item.
    Highlight(form.lstAvailable, {0, 3});
    EXPECT_EQ(form.lstAvailable_OLEStartDrag(), "0 3 ");
    EXPECT_EQ(form.lstSelected_OLEDragOver(true, kDropEffectCopy | kDropEffectMove),
              kDropEffectCopy);
    EXPECT_EQ(form.lstSelected_OLEDragOver(false, kDropEffectCopy), kDropEffectNone);
    form.lstSelected_OLEDragDrop(std::string("0 3 "));
    form.lstSelected_OLEDragDrop(std::string("2.5 -1 99 x 2e0 2.0\t"));
    form.lstSelected_OLEDragDrop(std::nullopt);
    EXPECT_EQ(form.lstSelected.Items(), (Texts{times[0], times[1], times[3], times[4]}));
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"1", "2", "4", "5"}));
    EXPECT_TRUE(form.lstSelected.Redraw());

    // Deleting items 1 and 3 keeps the lists parallel.
    Highlight(form.lstSelected, {1, 3});
    form.lstSelected_Click();
    EXPECT_TRUE(form.cmdDelete.Enabled());
    form.cmdDelete_Click();
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"1", "4"}));
    EXPECT_FALSE(form.cmdDelete.Enabled());
    EXPECT_TRUE(form.cmdClear.Enabled());

    // Ctrl+A then a drop copies Available as it stands; a click in between undoes it.
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstAvailable_Click();
    Highlight(form.lstAvailable, {2});
    form.lstSelected_OLEDragDrop(form.lstAvailable_OLEStartDrag());
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"1", "3", "4"}));
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstSelected_OLEDragDrop(std::string("4 "));
    EXPECT_EQ(form.lstSelected.Items(), times);
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"1", "2", "3", "4", "5", "6"}));
    form.Form_KeyDown(16, 0);  // any other key
    EXPECT_FALSE(form.AllTimesSelected);

    // Deleting everything disables Clear and Save.
    for (std::int32_t i = 0; i < 6; ++i) form.UserSelects(form.lstSelected, i, true);
    form.cmdDelete_Click();
    EXPECT_EQ(form.lstHidden.ListCount(), 0);
    EXPECT_FALSE(SaveAndPlot() || form.cmdClear.Enabled());

    // A time of a selected value under another text is skipped; a time that Available
    // lists twice records its first place; texts copied whole are cut to 259 characters.
    form.lstAvailable.AddItem("60.0");
    form.lstAvailable.AddItem(times[2]);
    form.lstAvailable.AddItem(std::string(300, '9'));
    ASSERT_EQ(times[0], "60");
    DoubleClick(0);
    DoubleClick(6);
    DoubleClick(7);
    EXPECT_EQ(form.lstSelected.Items(), (Texts{"60", times[2]}));
    EXPECT_EQ(form.lstHidden.Items(), (Texts{"1", "3"}));
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstSelected_OLEDragDrop(std::string("0 "));
    ASSERT_EQ(form.lstSelected.ListCount(), 9);
    EXPECT_EQ(form.lstSelected.List(8), std::string(259, '9'));
}

// The whole road of one export: the sheet the window writes is the one the command-line
// tool writes for the same request, whose values CliEndToEnd checks.
TEST_F(WindowTest, TheWindowWritesTheSheetTheToolWrites) {
    const struct {
        const char *Listing, *Variable;
        int Vector;
        const char *From, *To, *Step;
        bool Columns;
    } cases[] = {{"static2d.out", "Beam Bending Moment", 2, "4", "1", "-1", false},
                 {"dynamic3d.out", "Displacements", 5, "2", "10", "3", true}};
    for (const auto& c : cases) {
        Open(Example(c.Listing));
        ChooseVariable(c.Variable);
        form.UserChoosesVector(c.Vector);
        Range(c.From, c.To, c.Step);
        form.UserChoosesLayout(c.Columns ? 1 : 0);
        DoubleClick(1);
        DoubleClick(0);
        const fs::path sheet = m_dir.Path() / "window.xls", cli = m_dir.Path() / "cli.xls";
        Save(sheet);
        EXPECT_TRUE(m_fake.Boxes.empty()) << m_fake.Boxes.front().Prompt;
        auto run = test::RunCli({"export", Example(c.Listing), "-o", cli.string(), "--quiet",
                                 "--variable", c.Variable, "--vector-index",
                                 std::to_string(c.Vector), "--from", c.From, "--to", c.To, "--step",
                                 c.Step, "--steps", "1,2", c.Columns ? "--columns" : "--rows"});
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(test::ReadBytes(sheet), test::ReadBytes(cli)) << c.Listing;
    }
    // An archived listing gives the sheet of the listing it holds.
    const auto packed =
        m_dir.Write("dynamic3d.out.xz",
                    test::Pack(test::ReadBytes(Example("dynamic3d.out")), test::Packing::Xz));
    Open(packed.string());
    ChooseVariable("Displacements");
    form.UserChoosesVector(5);
    Range("2", "10", "3");
    form.UserChoosesLayout(1);
    DoubleClick(1);
    DoubleClick(0);
    Save(m_dir.Path() / "packed.xls");
    EXPECT_EQ(test::ReadBytes(m_dir.Path() / "packed.xls"),
              test::ReadBytes(m_dir.Path() / "cli.xls"));
    ASSERT_EQ(m_fake.SaveSetups.size(), 3u);
    EXPECT_EQ(m_fake.SaveSetups[0].Filter,
              "Excel File (*.xls)|*.xls|Excel Workbook (*.xlsx)|*.xlsx|CSV File (*.csv)|*.csv|"
              "All Files (*.*)|*.*");
    EXPECT_TRUE(m_fake.SaveSetups[0].OverwritePrompt);
}

// The dialog's type picks the writer unless the name's extension names a format; a name
// without an extension gets the type's. The last format is the next dialog's type, in
// this session and, through the settings, the next.
TEST_F(WindowTest, TheSaveTypePicksTheFormatAndTheWindowRemembersIt) {
    Open(Example("thermal.out"));
    DoubleClick(0);
    const struct {
        const char* Typed;
        int Filter;  // 1 xls, 2 xlsx, 3 csv, 4 All Files
        const char* Written;
        std::string_view Start;  // the file's first bytes
        int Format;              // the type the next dialog opens on
    } cases[] = {
        {"a", 2, "a.xlsx", "PK", 2},           {"b.csv", 1, "b.csv", "Variable,", 3},
        {"d.txt", 3, "d.txt", "Variable,", 3}, {"e", 4, "e", std::string_view("\x09\x00", 2), 1},
        {"f.XLSX", 4, "f.XLSX", "PK", 2},
    };
    int opened = 1;
    for (const auto& c : cases) {
        m_fake.SaveFilters.push_back(c.Filter);
        Save(m_dir.Path() / c.Typed);
        EXPECT_EQ(m_fake.SaveSetups.back().FilterIndex, opened) << c.Typed;
        EXPECT_TRUE(m_fake.Boxes.empty()) << m_fake.Boxes.front().Prompt;
        EXPECT_TRUE(test::ReadBytes(m_dir.Path() / c.Written).starts_with(c.Start)) << c.Typed;
        opened = c.Format;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), {}), 5);
    form.Form_Unload();
    EXPECT_EQ(m_fake.Settings["VoraxExtract/Files/SaveFormat"], "xlsx");
    form.SaveFormat = SheetFormat::Xls;
    form.Form_Load();  // the next session
    EXPECT_EQ(form.SaveFormat, SheetFormat::Xlsx);
}

// Each reason a request cannot be built: BuildVectors and BuildSelectedTimes (ExportRequestTest).
// Such a request, the listing itself as the sheet, and a cancelled dialog (which keeps its
// folder) each leave the window idle, the status panel no longer naming the listing.
TEST_F(WindowTest, RequestsThatCannotBeBuiltEndSilentlyAndTheListingIsNeverTheSheet) {
    const std::string listing = Example("dynamic3d.out"), bytes = test::ReadBytes(listing);
    Open(listing);
    DoubleClick(0);
    auto idle = [&] {
        EXPECT_FALSE(form.SaveRunning);
        EXPECT_TRUE(form.cmdSave.Enabled());
        EXPECT_FALSE(form.picProgress.Visible());
        EXPECT_EQ(form.sbMain.Panel1, "");
        ASSERT_FALSE(m_fake.Pointers.empty());
        EXPECT_EQ(m_fake.Pointers.back(), kDefaultPointer);
        form.sbMain.Panel1 = "dynamic3d.out";
        m_fake.Pointers.clear();
    };
    Range("1", "5", "0");
    ASSERT_TRUE(form.cmdSave.Enabled());
    Save(m_dir.Path() / "sheet.xls");
    EXPECT_FALSE(fs::exists(m_dir.Path() / "sheet.xls"));
    EXPECT_TRUE(m_fake.Boxes.empty());
    idle();

    form.UserTypes(2, "1");
    Save(listing);
    ASSERT_EQ(m_fake.Boxes.size(), 1u);
    EXPECT_EQ(m_fake.Boxes[0].Prompt,
              listing + " is the listing that is open. Choose another file for the spreadsheet.");
    EXPECT_EQ(test::ReadBytes(listing), bytes);
    idle();

    const std::string folder = form.InitSaveDir;
    m_fake.SaveAnswers.push_back("");
    form.cmdSave_Click();
    EXPECT_EQ(form.InitSaveDir, folder);
    idle();
}

// Closing while a listing is read asks nothing: the window goes at once, and the scan,
// thermal or structural, stops at its next progress report, long before the end of the
// listing.
class ClosingWhileReading : public WindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ClosingWhileReading, TheWindowGoesAtOnceAndTheScanStops) {
    gen::ListingSpec big = GetParam() ? test::EveryBlockSpec(3) : test::ThermalSpec(1000, 1);
    big.steps = 1;
    big.targetBytes = std::int64_t{32} << 20;
    int reportsAfterClosing = 0;
    m_fake.OnDoEvents = [&] {
        if (m_fake.Closed) {
            ++reportsAfterClosing;
        } else if (form.sbMain.Panel1 == "Reading input...") {
            form.cmdClose_Click();
            EXPECT_TRUE(m_fake.Closed) << "the window goes at once";
        }
    };
    Open(big);
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_EQ(reportsAfterClosing, 0);
    EXPECT_EQ(form.FileModel().NodeCount, 0) << "stopped at its first report";
    EXPECT_EQ(form.FileModel().TimeCount, 0);
    EXPECT_EQ(form.lstAvailable.ListCount(), 0) << "the handler stopped with the scan";
    EXPECT_FALSE(form.Busy());
    EXPECT_TRUE(m_fake.Boxes.empty());
    EXPECT_EQ(m_fake.Pointers, (std::vector<int>{kHourglassPointer, kDefaultPointer}));
    EXPECT_EQ(m_fake.HelpCalls, Texts{"close /opt/vx/VoraxExtract.chm"});
    EXPECT_EQ(m_fake.Settings.at("VoraxExtract/Files/InitOpenDir"), m_dir.Path().string() + "/");
}
INSTANTIATE_TEST_SUITE_P(Listings, ClosingWhileReading, ::testing::Bool(),
                         [](const auto& kind) { return kind.param ? "Structural" : "Thermal"; });

// A close in the pending events that Save lets run after its dialog comes before any
// export: the window goes without asking, and nothing is read or written after it.
TEST_F(WindowTest, ClosingRightAfterTheSaveDialogClosesBeforeAnythingIsRead) {
    Open(Example("dynamic3d.out"));
    DoubleClick(0);
    ASSERT_TRUE(form.cmdSave.Enabled());
    const int paints = m_fake.Paints;
    m_fake.OnDoEvents = [&] {
        if (!m_fake.Closed) form.cmdClose_Click();
    };
    const fs::path sheet = m_dir.Path() / "late.xls";
    Save(sheet);
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_TRUE(m_fake.Boxes.empty());
    EXPECT_FALSE(fs::exists(sheet));
    EXPECT_EQ(m_fake.Paints, paints) << "no progress: nothing was read";
    EXPECT_FALSE(form.SaveRunning);
    EXPECT_EQ(m_fake.Settings.at("VoraxExtract/Files/InitSaveDir"), m_dir.Path().string() + "/");
}

// Closing during an export asks first: No lets the export finish; Yes stops it, leaves no
// sheet and closes. Meanwhile the user's clicks are refused and keys are not; neither
// Save nor Plot is usable.
TEST_F(WindowTest, ClosingDuringAnExportAsksAndNoLetsItFinishYesStopsItAndCloses) {
    Open(test::ThermalSpec(6, 60));
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    form.lstSelected_OLEDragDrop(std::string("0 "));
    ASSERT_EQ(form.lstSelected.ListCount(), 60);
    int key = 16;  // Shift
    auto saveAndClose = [&](MsgAnswer answer, const fs::path& sheet) {
        bool asked = false;
        m_fake.BoxAnswer = answer;
        m_fake.OnDoEvents = [&] {
            if (!form.SaveRunning || asked) return;
            asked = true;
            form.cmdClose_Click();
            EXPECT_FALSE(m_fake.Closed) << "the window waits for the export to stop";
            EXPECT_FALSE(form.cmdSave.Enabled() || form.cmdPlot.Enabled());
            form.cmdPlot_Click();
            form.cmdClear_Click();
            form.UserChoosesLayout(1);
            form.Form_KeyDown(key, key == kKeyA ? kShiftCtrl : 0);
        };
        Save(sheet);
        EXPECT_TRUE(asked);
    };
    form.Form_KeyDown(kKeyA, kShiftCtrl);
    saveAndClose(MsgAnswer::No, m_dir.Path() / "no.xls");
    EXPECT_TRUE(fs::exists(m_dir.Path() / "no.xls"));
    EXPECT_FALSE(m_fake.Closed);
    EXPECT_EQ(form.lstSelected.ListCount(), 60);
    EXPECT_FALSE(form.optTime[1].Value);
    EXPECT_EQ(m_fake.PlotShows, 0);
    EXPECT_FALSE(form.AllTimesSelected) << "Shift, pressed during the export";
    EXPECT_TRUE(SaveAndPlot());
    EXPECT_TRUE(m_fake.HelpCalls.empty()) << "the help stays open";

    key = kKeyA;
    saveAndClose(MsgAnswer::Yes, m_dir.Path() / "yes.xls");
    EXPECT_FALSE(fs::exists(m_dir.Path() / "yes.xls"));
    EXPECT_TRUE(m_fake.Closed);
    EXPECT_TRUE(form.AllTimesSelected) << "Ctrl+A, pressed during the export";
    const test::FakePlatform::Box question{
        "Save is in progress. Do you want to exit and abbort current process?", MsgButtons::YesNo,
        MsgIcon::Question, "VoraxExtract", true};
    EXPECT_EQ(m_fake.Boxes, std::vector(2, question));
    EXPECT_EQ(m_fake.Pointers.back(), kDefaultPointer);
    EXPECT_EQ(m_fake.Settings.count("VoraxExtract/Files/InitSaveDir"), 1u);
    // Yes closes the help at once; the window closing afterwards closes it again.
    EXPECT_EQ(m_fake.HelpCalls, Texts(2, "close /opt/vx/VoraxExtract.chm"));
}

// --- the plot beside the window -------------------------------------------------------

TEST_F(WindowTest, PlotShowsTheChosenNodesAndFollowsTheWindowAfterAPause) {
    gen::ListingSpec spec = test::EveryBlockSpec(3);
    spec.nodes = 30;
    Open(spec);
    form.UserChoosesVector(2);  // DOF3
    Range("2", "4", "1");
    DoubleClick(3);
    DoubleClick(1);
    form.cmdPlot_Click();
    EXPECT_EQ(m_fake.PlotShows, 1);
    EXPECT_EQ(form.Plot().GetState(), FrmPlot::State::Reading);
    EXPECT_EQ(form.Plot().lblState.Text(), "Reading Displacements...");
    Settle();
    ASSERT_EQ(form.Plot().GetState(), FrmPlot::State::Shown);
    EXPECT_EQ(PlotLabels(), (Texts{"Node 2", "Node 3", "Node 4"}));
    const PlotData& plot = *form.Plot().Plot();
    EXPECT_EQ(plot.Subject, "Displacements DOF3");
    EXPECT_EQ(plot.Times,
              (std::vector<double>{gen::ExpectedTime(spec, 2), gen::ExpectedTime(spec, 4)}));
    EXPECT_EQ(plot.Lines[1].Values[1],
              gen::ExpectedValue(spec, gen::Block::Displacements, 4, 3, 3));
    EXPECT_EQ(form.Plot().lblState.Text(), "Displacements DOF3: 3 nodes at 2 times");
    EXPECT_TRUE(m_fake.Boxes.empty());

    // A change reads nothing until the pause after it has passed.
    form.UserTypes(1, "6");
    EXPECT_EQ(form.Plot().GetState(), FrmPlot::State::Shown);
    EXPECT_EQ(m_fake.RunPosted(), 0u);
    AfterThePause();
    EXPECT_EQ(PlotLabels().size(), 5u);
    DoubleClick(0);
    AfterThePause();
    EXPECT_EQ(form.Plot().Plot()->Times.size(), 3u);
    // Deleting some of the selected times drops them from the plot; Save stays usable.
    form.UserSelects(form.lstSelected, 0, true);
    form.cmdDelete_Click();
    EXPECT_TRUE(SaveAndPlot());
    AfterThePause();
    EXPECT_EQ(form.Plot().Plot()->Times,
              (std::vector<double>{gen::ExpectedTime(spec, 2), gen::ExpectedTime(spec, 4)}));
    DoubleClick(0);
    AfterThePause();
    form.UserChoosesVector(0);
    AfterThePause();
    EXPECT_EQ(form.Plot().Plot()->Subject, "Displacements DOF1");

    // Beyond 20 nodes the plot shows their range and mean until every line is asked for,
    // which reads nothing again.
    form.UserTypes(1, "22");
    AfterThePause();
    EXPECT_TRUE(form.Plot().chkEveryLine.Enabled() && form.Plot().chkEveryLine.Visible());
    EXPECT_EQ(form.Plot().lblState.Text(),
              "Displacements DOF1: 21 nodes at 3 times, drawn as their range and mean");
    const int changes = m_fake.PlotChanges;
    form.Plot().chkEveryLine_Click(true);
    EXPECT_TRUE(form.Plot().EveryLine());
    EXPECT_GT(m_fake.PlotChanges, changes);
    EXPECT_EQ(m_fake.RunPosted(), 0u) << "the values are there already";
    form.UserTypes(1, "21");
    AfterThePause();
    EXPECT_FALSE(form.Plot().chkEveryLine.Enabled() || form.Plot().chkEveryLine.Visible());

    // Plot again brings the window to the front and reads nothing it shows already;
    // the layout of the sheet is no change for the plot.
    form.UserChoosesLayout(1);
    if (m_fake.PauseWaiting()) m_fake.EndPause();
    form.cmdPlot_Click();
    EXPECT_EQ(m_fake.PlotShows, 2);
    EXPECT_EQ(form.Plot().GetState(), FrmPlot::State::Shown);
    EXPECT_EQ(m_fake.RunPosted(), 0u);

    // Choices that make no request leave the plot empty with its reason, in no box.
    form.UserTypes(1, "99");
    AfterThePause();
    EXPECT_EQ(form.Plot().GetState(), FrmPlot::State::Empty);
    EXPECT_FALSE(form.Plot().Plot());
    EXPECT_EQ(form.Plot().lblState.Text(), "Nothing to plot: To is outside the range (1 to 30).");
    EXPECT_TRUE(m_fake.Boxes.empty());

    // A pause that ends while another listing is read waits for the reading to finish:
    // the model is half made then.
    form.UserTypes(1, "3");
    m_fake.OnDoEvents = [&] {
        if (!form.Busy() || !m_fake.PauseWaiting()) return;
        m_fake.EndPause();
        EXPECT_NE(form.Plot().GetState(), FrmPlot::State::Reading);
    };
    Open(Example("thermal.out"));
    AfterThePause();
    EXPECT_EQ(form.Plot().lblState.Text(), "Nothing to plot: no time step is selected.");

    // Closing the main window closes the plot window; a closed plot follows nothing.
    form.cmdClose_Click();
    EXPECT_FALSE(m_fake.PlotOpen);
    EXPECT_FALSE(form.Plot().Visible());
    form.Plot().RequestChanged();
    EXPECT_FALSE(m_fake.PauseWaiting());
}

// Eigen Values need no range, as for Save, but a time to plot.
TEST_F(WindowTest, PlotOfEigenValuesNeedsATime) {
    Open(test::EveryBlockSpec(2));
    ChooseVariable("Eigen Values");
    form.cmdPlot_Click();
    EXPECT_EQ(form.Plot().GetState(), FrmPlot::State::Empty);
    EXPECT_EQ(form.Plot().lblState.Text(), "Nothing to plot: no time step is selected.");
    DoubleClick(4);
    AfterThePause();
    EXPECT_EQ(PlotLabels(), Texts{"Value 1"});
}

TEST_F(WindowTest, PlotShowsAFailedReadingOnItsLineNotInABox) {
    gen::ListingSpec spec = test::EveryBlockSpec(3);
    spec.dropBlocksFromStep = 5;
    Open(spec);
    ChooseVariable("Truss Axial Force");
    DoubleClick(4);
    form.cmdPlot_Click();
    Settle();
    EXPECT_EQ(form.Plot().GetState(), FrmPlot::State::Empty);
    EXPECT_EQ(form.Plot().lblState.Text(),
              "Nothing to plot: the values could not be read (62: Input past end of file).");
    EXPECT_TRUE(m_fake.Boxes.empty());
    // Save of the same request shows the extraction's message as ever.
    Save(m_dir.Path() / "sheet.xls");
    ASSERT_EQ(m_fake.Boxes.size(), 1u);
    EXPECT_EQ(m_fake.Boxes[0].Prompt, "62: Input past end of file");
}

TEST_F(WindowTest, PlotDropsAReadingThatANewerChangeSuperseded) {
    Open(test::EveryBlockSpec(3));
    DoubleClick(0);
    DoubleClick(1);
    Range("1", "5", "1");

    // An older reading that ends after the newer one is not shown.
    form.cmdPlot_Click();
    form.Plot().WaitForReadings();
    form.UserTypes(1, "3");
    m_fake.EndPause();
    Settle(/*newestFirst=*/true);
    EXPECT_EQ(PlotLabels(), (Texts{"Node 1", "Node 2", "Node 3"}));

    // A reading still going when a newer change comes is stopped before its next step.
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false, released = false;
    m_fake.BeforePost = [&] {
        std::unique_lock lock(mutex);
        if (held) return;
        held = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
    };
    form.UserTypes(1, "4");
    m_fake.EndPause();
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return held; });
    }
    form.UserTypes(1, "2");
    m_fake.EndPause();
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    Settle();
    EXPECT_EQ(form.Plot().ReadingsStopped(), 1u);
    EXPECT_EQ(PlotLabels(), (Texts{"Node 1", "Node 2"}));
}

}  // namespace
}  // namespace vx
