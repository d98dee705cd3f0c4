// The command-line tool's contract: what it refuses, what it reports, what it leaves.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/cli/Commands.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::RunCli;
using Texts = std::vector<std::string>;

class CliRequest : public ::testing::Test {
protected:
    std::string Out() const { return (m_dir.Path() / "out.xls").string(); }
    // `info FILE --json`, which exits 0 whenever it prints the object, read by Python's
    // json module (as `d`) and shown by the Python statements `show`.
    std::string InfoJson(const std::string& listing, const std::string& show) {
        auto info = RunCli({"info", listing, "--json"});
        EXPECT_EQ(info.Status, 0) << info.Err;
        const auto json = m_dir.Write("info.json", info.Out);
        auto read =
            test::Run("python3 -c " +
                      test::Quote("import json,sys; d=json.load(open(sys.argv[1])); " + show) +
                      " " + test::Quote(json.string()));
        EXPECT_EQ(read.Status, 0) << read.Err;
        return read.Out;
    }
    test::TempDir m_dir;
};

TEST_F(CliRequest, RequestsTheWindowWouldRefuseExitTwoAndWriteNothing) {
    const std::string dyn = test::Example("dynamic3d.out");
    const std::string missing = (m_dir.Path() / "missing.out").string();
    const struct {
        Texts args;  // after `export LISTING -o OUT` unless they begin with a command
        std::string says;
        long lines = 1;
    } cases[] = {
        {{"export", dyn}, "no output file"},
        {{"export", "-o", Out()}, "no listing"},
        {{"export", missing, "-o", Out(), "--all-steps"},
         "Read File Error 53: File not found\n",
         2},
        {{"info"}, "usage"},
        {{"frobnicate"}, "unknown command", 13},
        {{"--bogus"}, "unknown option"},
        {{"--variable", "Temperature", "--all-steps"}, "not offered"},
        {{"--variable", "Displacements", "--vector", "DOF9", "--all-steps"}, "does not exist"},
        {{"--vector-index", "7", "--all-steps"},
         "vector index '7' is not an entry of 'Displacements'"},
        {{"--to", "11", "--all-steps"}, "To is outside the range (1 to 10)"},
        {{"--from", "0", "--all-steps"}, "From is outside the range"},
        {{"--step", "", "--all-steps"}, "Step is not a number"},
        // The reasons of BuildVectors (ExportRequestTest) come through as this one does.
        {{"--from", "2.5", "--to", "3", "--all-steps"}, "gives more than"},
        {{}, "no time step is selected"},
        {{"--steps", "1,7"}, "time step '7' is not a number from 1 to 6"},
        {{"--times", "60,61"}, "time '61' is not in the list of available times"},
        {{"--steps", "1", "--all-steps"}, "only one of"},
        // Formats, item lists and several vector kinds.
        {{"--format", "ods", "--all-steps"}, "unknown format 'ods'"},
        {{"--items", "1-3", "--to", "4", "--all-steps"}, "--items cannot be given with --from"},
        {{"--items", " ", "--all-steps"}, "item list ' ' is empty"},
        {{"--items", "2,0", "--all-steps"}, "item '0' is outside 1 to 10"},
        {{"--items", "1-11:2", "--all-steps"}, "item '1-11:2' is outside 1 to 10"},
        {{"--items", "1,,2", "--all-steps"}, "item '' is not"},
        {{"--items", "4:2", "--all-steps"}, "item '4:2' is not"},
        {{"--items", "1-x", "--all-steps"}, "item '1-x' is not"},
        {{"--items", "9-2:0", "--all-steps"}, "item '9-2:0' has a step of 0"},
        {{"--variable", "Eigen Values", "--items", "1", "--all-steps"},
         "--items does not apply to 'Eigen Values'"},
        {{"--vector", "DOF1", "--vector", "DOF2", "--all-steps"},
         "several vector kinds need --format xlsx"},
        {{"--all-vectors", "--format", "csv", "--all-steps"}, "a csv file holds one sheet"},
        {{"--all-vectors", "--vector", "DOF1", "--all-steps"},
         "--all-vectors cannot be given with --vector"},
        {{"--vector", "DOF1", "--vector", "DOF2", "--vector-index", "0", "--format", "xlsx",
          "--all-steps"},
         "--vector-index names one vector kind"},
        {{"--vector", "DOF1", "--vector", "DOF9", "--format", "xlsx", "--all-steps"},
         "vector kind 'DOF9' does not exist"},
    };
    for (const auto& c : cases) {
        Texts args = c.args;
        if (args.empty() || args[0].starts_with("--"))
            args.insert(args.begin(), {"export", dyn, "-o", Out()});
        auto run = RunCli(args);
        EXPECT_EQ(run.Status, 2) << c.says;
        EXPECT_NE(run.Err.find(c.says), std::string::npos) << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), c.lines) << run.Err;
        EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path())) << c.says;
    }
}

// --items: in the order given; --times: sorted by value, repeats skipped, as a double-click
// on each adds it; --steps: as given. The format by --format, else by the extension (its
// letters' case aside), else .xls.
TEST_F(CliRequest, ItemsAndTimesComeAsTheWindowListsThemAndTheExtensionPicksTheFormat) {
    if (!test::HaveXlsDump() || !test::HavePythonReaders()) GTEST_SKIP();
    const std::string dyn = test::Example("dynamic3d.out");
    const Texts labels = {"Node 5", "Node 1", "Node 9", "Node 7", "Node 5",
                          "Node 3", "Node 2", "Node 3", "Node 4"};
    const struct {
        std::string Name;
        Texts Options;
        const char* Reader;
        Texts Times;
    } cases[] = {
        {"a.xls", {"--times", "240,60,240"}, nullptr, {"60.0", "240.0"}},
        {"a.dat", {"--steps", "4,1,4"}, nullptr, {"240.0", "60.0", "240.0"}},
        {"a.XLSX", {"--steps", "2"}, "openpyxl", {"120.0"}},
        {"a.csv", {"--steps", "2"}, "csv", {"120.0"}},
        {"a.xls", {"--steps", "2", "--format", "csv"}, "csv", {"120.0"}},
    };
    for (const auto& c : cases) {
        const auto out = m_dir.Path() / c.Name;
        Texts args = {"export",
                      dyn,
                      "-o",
                      out.string(),
                      "--quiet",
                      "--items",
                      "5,1,9-3:2,2-3,4-4:99999999999999999999"};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        auto run = RunCli(args);
        ASSERT_EQ(run.Status, 0) << run.Err;
        std::vector<test::Cell> cells;
        std::string error;
        ASSERT_TRUE(c.Reader ? test::ReaderCells(c.Reader, out, cells, error)
                             : test::DumpCells(out, cells, error))
            << c.Name << ": " << error;
        Texts items, times;
        for (const auto& cell : cells) {
            if (cell.Row == 3 && cell.Col > 1) items.push_back(cell.Value);
            if (cell.Row > 3 && cell.Col == 1) times.push_back(cell.Value);
        }
        EXPECT_EQ(items, labels) << c.Name;
        EXPECT_EQ(times, c.Times) << c.Name;
        std::filesystem::remove(out);
    }
}

// One sheet per vector kind, named after it, each the sheet of that kind alone.
TEST_F(CliRequest, SeveralVectorKindsMakeOneSheetEach) {
    if (!test::HavePythonReaders()) GTEST_SKIP();
    const std::string dyn = test::Example("dynamic3d.out");
    const auto book = m_dir.Path() / "book.xlsx";
    auto run = RunCli({"export", dyn, "-o", book.string(), "--variable", "Beam Stresses",
                       "--all-vectors", "--to", "12", "--all-steps", "--quiet"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    Texts names;
    std::string error;
    ASSERT_TRUE(test::WorkbookSheets(book, names, error)) << error;
    EXPECT_EQ(names, (Texts{"Beam    2 (Point  1)", "Beam    3 (Point  2)"}));
    for (std::size_t k = 0; k < names.size(); ++k) {
        const auto alone = m_dir.Path() / "alone.xlsx";
        run = RunCli({"export", dyn, "-o", alone.string(), "--variable", "Beam Stresses",
                      "--vector-index", std::to_string(k), "--to", "12", "--all-steps", "--quiet"});
        ASSERT_EQ(run.Status, 0) << run.Err;
        std::vector<test::Cell> inBook, byItself;
        ASSERT_TRUE(test::ReaderCells("openpyxl", book, inBook, error, names[k])) << error;
        ASSERT_TRUE(test::ReaderCells("openpyxl", alone, byItself, error)) << error;
        EXPECT_EQ(inBook, byItself) << names[k];
    }
}

// Messages of the export itself go to standard error with exit status 1: OutputFaults
// (ReliabilityTest). The sheet-size limits and that they leave no file: WorksheetTest.

// The exit status comes from what the run reported, never from its words: any failure,
// of every kind and whatever its text says, is 1; a run the user stopped is 1; a clean run
// 0. A refusal is worded by its rule, the tool's options named where the rule is about them.
TEST(CliOutcome, TheStatusAndTheWordsComeFromTheKindAndTheRule) {
    for (FailureKind kind : kFailureKinds) {
        for (const char* text : {"", "said another way", "Read File Error 62: Input past end"}) {
            Outcome outcome;
            outcome.Notices.push_back({kind, 0, text, MsgIcon::None});
            EXPECT_EQ(cli::ExitStatus(outcome), cli::kExitMessage) << KindName(kind) << text;
        }
    }
    Outcome clean, stopped;
    stopped.Stopped = true;
    EXPECT_EQ(cli::ExitStatus(clean), cli::kExitOk);
    EXPECT_EQ(cli::ExitStatus(stopped), cli::kExitMessage);

    auto said = [](RefusalRule rule, bool disabled) {
        return cli::RefusalText({rule, "plain reason", disabled, "Eigen Values"}, SheetFormat::Csv);
    };
    EXPECT_EQ(said(RefusalRule::RangeNotReady, true), "Save would stay disabled: plain reason");
    EXPECT_EQ(said(RefusalRule::NoStepSelected, false), "plain reason");
    EXPECT_EQ(said(RefusalRule::ItemsNotApplicable, false),
              "--items does not apply to 'Eigen Values', which has no range of items");
    EXPECT_EQ(
        said(RefusalRule::SeveralKindsNeedWorkbook, false),
        "several vector kinds need --format xlsx, one sheet each; a csv file holds one sheet");
    EXPECT_EQ(said(RefusalRule::VectorChoicesDiffer, false),
              "--vector and --vector-index name different entries");
}

TEST_F(CliRequest, InfoJsonHoldsTheContractKeys) {
    EXPECT_EQ(
        InfoJson(test::Example("dynamic3d.out"),
                 "print(sorted(d)); print(d['TimeCount'], len(d['Times']), d['Times'][1]['Time'], "
                 "d['StressPoints'], d['Variables'][2], d['Messages'])"),
        "['AnalysisType', 'BeamCount', 'BeamPointCount', 'FiberCount', 'HasBeamForces', "
        "'HasBeamStresses', 'HasBeamTangentModulus', 'HasBendingForces', 'HasDisplacements', "
        "'HasMembraneForces', 'HasSoilForces', 'HasTemperatures', 'HasTrussForces', 'Messages', "
        "'Ndim', 'NodeCount', 'ShellCount', 'ShellSurfaceCount', 'SoilCount', 'SolidCount', "
        "'StressPoints', 'TangentPoints', 'TimeCount', 'Times', 'TrussCount', 'Variables', "
        "'Version']\n"
        "6 6 120 ['Beam    2 (Point  1)', 'Beam    3 (Point  2)'] "
        "{'Name': 'Truss Axial Force', 'Range': 'Trusses', 'VectorKinds': [], 'Bound': 3} []\n");
    // A file that is no listing: the object all the same, with the reader's message.
    EXPECT_EQ(
        InfoJson(m_dir.Write("notes.out", "just some notes\r\n").string(),
                 "print(d['TimeCount'], d['Variables'], d['Messages'])"),
        "0 [] [{'Text': 'Read File Error 62: Input past end of file', 'Icon': 'critical'}]\n");
}

}  // namespace
}  // namespace vx
