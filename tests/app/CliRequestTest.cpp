// The command-line tool's contract: what it refuses, what it reports, what it leaves.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::RunCli;
using test::TempDir;

std::string Example(const char* name) { return (test::SourceDir() / "examples" / name).string(); }

class CliRequest : public ::testing::Test {
protected:
    std::string Out() const { return (m_dir.Path() / "out.xls").string(); }
    bool Written() const { return std::filesystem::exists(Out()); }
    TempDir m_dir;
};

TEST_F(CliRequest, RequestsTheWindowWouldRefuseExitTwoAndWriteNothing) {
    const std::string dyn = Example("dynamic3d.out");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"export", dyn}, "no output file"},
        {{"export", "-o", Out()}, "no listing"},
        {{"export", dyn, "-o", Out(), "--bogus"}, "unknown option"},
        {{"export", dyn, "-o", Out(), "--variable", "Temperature", "--all-steps"}, "not offered"},
        {{"export", dyn, "-o", Out(), "--variable", "Displacements", "--vector", "DOF9", "--all-steps"},
         "does not exist"},
        {{"export", dyn, "-o", Out(), "--vector-index", "7", "--all-steps"}, "not an entry"},
        {{"export", dyn, "-o", Out(), "--to", "11", "--all-steps"}, "To is outside the range (1 to 10)"},
        {{"export", dyn, "-o", Out(), "--from", "0", "--all-steps"}, "From is outside the range"},
        {{"export", dyn, "-o", Out(), "--step", "", "--all-steps"}, "Step is not a number"},
        {{"export", dyn, "-o", Out(), "--step", "0", "--all-steps"}, "Step 0"},
        {{"export", dyn, "-o", Out(), "--from", "10", "--to", "1", "--all-steps"}, "between 1 and 32767"},
        {{"export", dyn, "-o", Out(), "--from", "2.5", "--to", "3", "--all-steps"}, "gives more than"},
        {{"export", dyn, "-o", Out()}, "no time step is selected"},
        {{"export", dyn, "-o", Out(), "--variable", "Eigen Values"}, "no time step is selected"},
        {{"export", dyn, "-o", Out(), "--steps", "1,7"}, "time step '7'"},
        {{"export", dyn, "-o", Out(), "--steps", "0"}, "time step '0'"},
        {{"export", dyn, "-o", Out(), "--times", "60,61"}, "time '61'"},
        {{"export", dyn, "-o", Out(), "--steps", "1", "--all-steps"}, "only one of"},
        {{"info"}, "usage"},
        {{"frobnicate"}, "unknown command"},
    };
    for (const auto& c : cases) {
        auto run = RunCli(c.args);
        EXPECT_EQ(run.Status, 2) << c.says;
        EXPECT_NE(run.Err.find(c.says), std::string::npos) << run.Err;
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), c.args[0] == "frobnicate" ? 5 : 1)
            << run.Err;
        EXPECT_FALSE(Written()) << c.says;
    }
}

TEST_F(CliRequest, TimesAreSelectedAsTheWindowWouldSelectThem) {
    if (!test::HaveXlsDump()) GTEST_SKIP();
    // --times: sorted by value, repeats skipped; --steps: as given.
    auto run = RunCli({"export", Example("thermal.out"), "-o", Out(), "--times", "240,60,240", "--quiet"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::vector<test::Cell> cells;
    std::string error;
    ASSERT_TRUE(test::DumpCells(Out(), cells, error)) << error;
    auto times = [&] {
        std::vector<std::string> found;
        for (const auto& c : cells)
            if (c.Col == 1 && c.Row > 3) found.push_back(c.Value);
        return found;
    };
    EXPECT_EQ(times(), (std::vector<std::string>{"60.0", "240.0"}));
    run = RunCli({"export", Example("thermal.out"), "-o", Out(), "--steps", "4,1,4", "--quiet"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_TRUE(test::DumpCells(Out(), cells, error)) << error;
    EXPECT_EQ(times(), (std::vector<std::string>{"240.0", "60.0", "240.0"}));
}

TEST_F(CliRequest, MessagesGoToStandardErrorAndSetExitOne) {
    // 256 times across the columns: the limit message, no file.
    auto many = test::EveryBlockSpec(3);
    many.steps = 256;
    auto listing = test::Generate(many, m_dir.Path() / "many.out");
    auto run = RunCli({"export", listing, "-o", Out(), "--all-steps", "--columns", "--quiet"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "The maximum number of columns in Excel is 256. Cannot create file.\n");
    EXPECT_FALSE(Written());
    run = RunCli({"export", listing, "-o", Out(), "--all-steps", "--rows", "--quiet"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(Written()) << "256 times down the rows fit";

    // A block missing from step 3 on: the extraction says so, the sheet keeps steps 1-2.
    auto dropped = test::EveryBlockSpec(3);
    dropped.dropBlocksFromStep = 3;
    listing = test::Generate(dropped, m_dir.Path() / "dropped.out");
    std::filesystem::remove(Out());
    run = RunCli({"export", listing, "-o", Out(), "--variable", "Beam Axial Force", "--to", "4",
                  "--all-steps", "--quiet"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "62: Input past end of file\n");
    ASSERT_TRUE(Written());
    if (test::HaveXlsDump()) {
        std::vector<test::Cell> cells;
        std::string error;
        ASSERT_TRUE(test::DumpCells(Out(), cells, error)) << error;
        for (const auto& c : cells) {
            if (c.Row == 5 && c.Col > 1) {
                EXPECT_NE(c.Value, "0.0");  // step 2 was read
            }
            if (c.Row == 6 && c.Col > 1) {
                EXPECT_EQ(c.Value, "0.0");  // step 3 was not
            }
        }
    }

    // A listing that cannot be read: the reader's message, then nothing to export.
    run = RunCli({"export", (m_dir.Path() / "missing.out").string(), "-o", Out(), "--all-steps"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err.substr(0, run.Err.find('\n') + 1), "Read File Error 53: File not found\n");
}

TEST_F(CliRequest, ALockedOutputFileIsReportedAndLeftAsItWas) {
    const std::string original = "held by a spreadsheet program";
    auto held = m_dir.Write("out.xls", original);
    int fd = ::open(held.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    auto run = RunCli({"export", Example("dynamic3d.out"), "-o", Out(), "--all-steps", "--quiet"});
    ::close(fd);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "The file is locked. Please close the file in Excel and try again.\n");
    EXPECT_EQ(test::ReadBytes(held), original);
}

TEST_F(CliRequest, InfoJsonHoldsTheContractKeys) {
    auto run = test::Run(test::Quote(test::CliPath().string()) + " info " + test::Quote(Example("dynamic3d.out")) +
                         " --json | python3 -c 'import json,sys; d=json.load(sys.stdin); "
                         "print(sorted(d)); print(d[\"TimeCount\"], len(d[\"Times\"]), d[\"Times\"][1], "
                         "d[\"StressPoints\"], d[\"Variables\"][2], d[\"Messages\"])'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
              "['AnalysisType', 'BeamCount', 'BeamPointCount', 'FiberCount', 'HasBeamForces', "
              "'HasBeamStresses', 'HasBeamTangentModulus', 'HasBendingForces', 'HasDisplacements', "
              "'HasMembraneForces', 'HasSoilForces', 'HasTemperatures', 'HasTrussForces', 'Messages', "
              "'Ndim', 'NodeCount', 'ShellCount', 'ShellSurfaceCount', 'SoilCount', 'SolidCount', "
              "'StressPoints', 'TangentPoints', 'TimeCount', 'Times', 'TrussCount', 'Variables', 'Version']\n"
              "6 6 {'Time': 120, 'Position': " +
                  run.Out.substr(run.Out.find("'Position': ") + 12, run.Out.find('}') - run.Out.find("'Position': ") - 12) +
                  "} ['Beam    2 (Point  1)', 'Beam    3 (Point  2)'] "
                  "{'Name': 'Truss Axial Force', 'Range': 'Trusses', 'VectorKinds': [], 'Bound': 3} []\n");

    auto torsion = m_dir.Write("torsion.out", "PROGRAM 'VORAX', 9\r\nNDIM 2\r\nTORSION\r\n");
    run = RunCli({"info", torsion.string(), "--json"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_NE(run.Out.find("\"Messages\":[{\"Text\":\"Cannot read but temperature files\",\"Icon\":\"information\"}]"),
              std::string::npos) << run.Out;
}

}  // namespace
}  // namespace vx
