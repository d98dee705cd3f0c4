// voraxextract-cli peaks as scripts drive it: the table's header and lines to the letter,
// JSON, a sheet in every format, several vector kinds in one table, the refusals and the
// messages of a listing that cannot give every value. That the peaks are the values' own
// is the reduction's test (PeaksTest).
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::LinesOf;
using test::RunCli;
using Texts = std::vector<std::string>;

TEST(CliPeaks, TheTableToTheLetterInEveryOutput) {
    const std::string dyn = test::Example("dynamic3d.out");
    // Nodes 3 and 1 of DOF2 and DOF1 over steps 4, 2 and 4 again.
    const Texts request = {"peaks", dyn,       "--vector", "DOF2",    "--vector",
                           "DOF1",  "--items", "3,1",      "--steps", "4,2,4"};
    auto run = RunCli(request);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const Texts lines = LinesOf(run.Out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0],
              "Vector,Item,Max,Time of max,Step of max,Min,Time of min,Step of min,Abs max,"
              "Time of abs max,Step of abs max");
    EXPECT_TRUE(lines[1].starts_with("DOF2,3,") && lines[2].starts_with("DOF2,1,") &&
                lines[3].starts_with("DOF1,3,") && lines[4].starts_with("DOF1,1,"))
        << run.Out;

    // The same against the export's values of that very request, as singles in full.
    test::TempDir dir;
    const auto csv = dir.Path() / "values.csv";
    ASSERT_EQ(RunCli({"export", dyn, "-o", csv.string(), "--vector", "DOF2", "--items", "3,1",
                      "--steps", "4,2,4", "--quiet"})
                  .Status,
              0);
    const Texts sheet = LinesOf(test::ReadBytes(csv));
    // Rows 4 to 6 of the export: the time, then nodes 3 and 1.
    auto value = [&](int step, int node) {
        std::string row = sheet.at(static_cast<std::size_t>(3 + step));
        for (int i = 0; i < node; ++i) row = row.substr(row.find(',') + 1);
        return std::stof(row.substr(0, row.find_first_of(",\r")));
    };
    float max = value(0, 1), min = max;
    int maxAt = 0, minAt = 0;
    for (int t = 1; t < 3; ++t) {
        if (value(t, 1) > max) max = value(t, 1), maxAt = t;
        if (value(t, 1) < min) min = value(t, 1), minAt = t;
    }
    std::istringstream fields(lines[1]);
    Texts cell;
    for (std::string field; std::getline(fields, field, ',');) cell.push_back(field);
    ASSERT_EQ(cell.size(), 11u);
    const int steps[] = {4, 2, 4};
    const char* times[] = {"240", "120", "240"};
    EXPECT_EQ(std::stof(cell[2]), max);
    EXPECT_EQ(cell[3], times[maxAt]);
    EXPECT_EQ(cell[4], std::to_string(steps[maxAt]));
    EXPECT_EQ(std::stof(cell[5]), min);
    EXPECT_EQ(cell[7], std::to_string(steps[minAt]));

    // Over items: a row per step, repeats kept, and the mean.
    run = RunCli({"peaks", dyn, "--over", "items", "--items", "3,1,3", "--steps", "4,2,4"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const Texts byStep = LinesOf(run.Out);
    ASSERT_EQ(byStep.size(), 4u);
    EXPECT_EQ(byStep[0], "Vector,Step,Time,Max,Item of max,Min,Item of min,Mean");
    EXPECT_TRUE(byStep[1].starts_with("DOF1,4,240,") && byStep[3].starts_with("DOF1,4,240,"));

    // JSON: the header's words in CamelCase, numbers as numbers.
    run = RunCli({"peaks", dyn, "--over", "items", "--items", "3", "--steps", "2", "--json"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(run.Out.starts_with(
        "{\"Variable\":\"Displacements\",\"Over\":\"items\",\"Rows\":[{\"Vector\":\"DOF1\","
        "\"Step\":2,\"Time\":120,\"Max\":"))
        << run.Out;
    EXPECT_NE(run.Out.find("\"ItemOfMax\":3,"), std::string::npos);
    EXPECT_NE(run.Out.find("\"Mean\":"), std::string::npos);

    // A sheet: the header in row 1, in every format; nothing on standard output.
    for (const char* name : {"peaks.xls", "peaks.xlsx", "peaks.csv"}) {
        const auto out = dir.Path() / name;
        run = RunCli({"peaks", dyn, "--variable", "Beam Stresses", "--all-vectors", "--to", "3",
                      "--all-steps", "-o", out.string()});
        ASSERT_EQ(run.Status, 0) << name << run.Err;
        EXPECT_EQ(run.Out, "") << name;
        std::vector<test::Cell> cells;
        std::string error;
        const bool read = test::SheetCells(out, cells, error);
        if (!read && error.empty()) continue;  // no reader here
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(cells.front(), (test::Cell{1, 1, "label", "Vector"})) << name;
        // Two stress blocks of three fibres: six rows under the header.
        EXPECT_EQ(std::count_if(cells.begin(), cells.end(),
                                [](const test::Cell& c) { return c.Col == 2 && c.Row > 1; }),
                  6)
            << name;
    }
}

// "Eigen Values" passes over the items asked for; refusals as export's; a listing whose
// block is missing at a step shows its message and prints nothing.
TEST(CliPeaks, RefusalsAndMessages) {
    const std::string dyn = test::Example("dynamic3d.out");
    auto run =
        RunCli({"peaks", dyn, "--variable", "Eigen Values", "--items", "5,7", "--all-steps"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(LinesOf(run.Out).size(), 2u) << "one row: item 1";
    EXPECT_TRUE(LinesOf(run.Out).at(1).starts_with(",1,")) << run.Out;

    const struct {
        Texts Args;
        const char* Says;
    } refused[] = {
        {{"--columns"}, "--columns does not apply to peaks"},
        {{"--json", "-o", "x.csv"}, "--json prints the table"},
        {{"--over", "time"}, "unknown --over 'time'"},
        {{"--variable", "Temperature"}, "variable 'Temperature' is not offered"},
        {{"--to", "11"}, "Save would stay disabled: To is outside the range (1 to 10)"},
        {{"-o", dyn}, "is the listing itself"},
    };
    for (const auto& c : refused) {
        Texts args = {"peaks", dyn};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        run = RunCli(args);
        EXPECT_EQ(run.Status, 2) << c.Says;
        EXPECT_EQ(run.Out, "");
        EXPECT_TRUE(run.Err.starts_with("voraxextract-cli peaks: ")) << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    }

    test::TempDir dir;
    gen::ListingSpec spec = test::EveryBlockSpec(3);
    spec.dropBlocksFromStep = 3;
    const std::string dropped = test::Generate(spec, dir.Path() / "dropped.out");
    const auto out = dir.Path() / "peaks.csv";
    for (const Texts& where : {Texts{}, Texts{"-o", out.string()}}) {
        Texts args = {"peaks", dropped, "--variable", "Beam Axial Force", "--steps", "1,4"};
        args.insert(args.end(), where.begin(), where.end());
        run = RunCli(args);
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(run.Err, "62: Input past end of file\n");
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

}  // namespace
}  // namespace vx
