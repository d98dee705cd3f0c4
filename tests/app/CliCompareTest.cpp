// voraxextract-cli compare as scripts and CI jobs drive it: the table to the letter, JSON, a
// sheet in every format, the structure on standard error, the exit statuses, the refusals,
// and hostile files on either side. That the differences are the values' own is the
// comparison's test (ComparisonTest).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::LinesOf;
using test::RunCli;
using Texts = std::vector<std::string>;

// A copy of the example listing with one displacement changed: node 2's DOF2 at step 2,
// -0.21355E-03 becoming -0.21365E-03.
std::string Changed(const std::filesystem::path& dir) {
    std::ifstream in(test::Example("dynamic3d.out"), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::string from = "-0.43278E-04 -0.21355E-03", to = "-0.43278E-04 -0.21365E-03";
    const auto at = bytes.find(from);
    EXPECT_NE(at, std::string::npos);
    EXPECT_EQ(bytes.find(from, at + 1), std::string::npos);
    bytes.replace(at, from.size(), to);
    const auto path = dir / "changed.out";
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST(CliCompare, TheTableToTheLetterAndTheExitStatus) {
    test::TempDir dir;
    const std::string a = test::Example("dynamic3d.out"), b = Changed(dir.Path());
    auto run = RunCli({"compare", a, a, "--variable", "Displacements", "--quiet"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    Texts lines = LinesOf(run.Out);
    ASSERT_EQ(lines.size(), 9u);  // the header, the times, seven degrees of freedom
    EXPECT_EQ(lines[0],
              "Variable,Vector,Items,Steps,Max abs diff,Max rel diff,Item,Step,Time,A,B,Agree");
    EXPECT_EQ(lines[1], "Times,,0,6,0,0,,1,60,60,60,yes");
    EXPECT_EQ(lines[2], "Displacements,DOF1,10,6,0,0,1,1,60,7.1074,7.1074,yes");

    run = RunCli({"compare", a, b});
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_EQ(run.Err, "");
    lines = LinesOf(run.Out);
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[3],
              "Displacements,DOF2,10,6,1.00000761449337e-07,0.00046805880104476826,2,2,120,"
              "-0.00021355,-0.00021365,no");
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const auto& l) { return l.ends_with(",no"); }),
        1);

    // Within the tolerance it agrees; the relative one is measured against the larger value.
    EXPECT_EQ(RunCli({"compare", a, b, "--atol", "1.00000761449337e-07"}).Status, 0);
    EXPECT_EQ(RunCli({"compare", a, b, "--atol", "1.0000076144933699e-07"}).Status, 1);
    run = RunCli({"compare", a, b, "--rtol", "1e-3", "--variable", "Displacements"});
    EXPECT_EQ(run.Status, 0) << run.Out;
    EXPECT_TRUE(LinesOf(run.Out).at(3).ends_with(",2,2,120,-0.00021355,-0.00021365,yes"))
        << run.Out;

    // JSON: the same rows, empty cells null, the verdict and the structure.
    run = RunCli({"compare", a, b, "--variable", "Eigen Values", "--json"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(
        run.Out,
        "{\"A\":\"" + a + "\",\"B\":\"" + b +
            "\",\"Agree\":true,\"Structure\":[],\"Rows\":[{\"Variable\":\"Times\",\"Vector\":null,"
            "\"Items\":0,\"Steps\":6,\"MaxAbsDiff\":0,\"MaxRelDiff\":0,\"Item\":null,\"Step\":1,"
            "\"Time\":60,\"A\":60,\"B\":60,\"Agree\":true},{\"Variable\":\"Eigen Values\","
            "\"Vector\":null,\"Items\":1,\"Steps\":6,\"MaxAbsDiff\":0,\"MaxRelDiff\":0,\"Item\":1,"
            "\"Step\":1,\"Time\":60,\"A\":0.54247,\"B\":0.54247,\"Agree\":true}]}\n");
}

TEST(CliCompare, SheetsInEveryFormatAndTheStructureOnStandardError) {
    test::TempDir dir;
    const std::string a = test::Example("dynamic3d.out"), b = Changed(dir.Path());
    for (const char* name : {"cmp.xls", "cmp.xlsx", "cmp.csv"}) {
        const auto out = dir.Path() / name;
        const auto run =
            RunCli({"compare", a, b, "--variable", "Displacements", "-o", out.string()});
        EXPECT_EQ(run.Status, 1) << name << run.Err;
        EXPECT_EQ(run.Out, "") << name;
        std::vector<test::Cell> cells;
        std::string error;
        const bool read = test::SheetCells(out, cells, error);
        if (!read && error.empty()) continue;  // no reader here
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(cells.front(), (test::Cell{1, 1, "label", "Variable"})) << name;
        auto cell = [&](int row, int col) {
            for (const auto& c : cells)
                if (c.Row == row && c.Col == col) return c.Value;
            return std::string("(empty)");
        };
        EXPECT_EQ(cell(12, 1), "(empty)") << name;  // the header and nine lines
        EXPECT_EQ(cell(4, 12), "no") << name;
        EXPECT_EQ(cell(2, 7), "(empty)") << name;  // no item for the times
        EXPECT_EQ(std::stod(cell(4, 8)), 2) << name;
    }

    // A listing of another structure: a line each on standard error, and it disagrees.
    const auto run = RunCli({"compare", a, test::Example("vibration2d.out"), "--quiet"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("Ndim: 3 in A, 2 in B\n"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("Variable Truss Axial Force: offered by A only\n"), std::string::npos)
        << run.Err;
}

TEST(CliCompare, RefusalsAndHostileFilesOnEitherSide) {
    test::TempDir dir;
    const std::string a = test::Example("dynamic3d.out");
    const auto out = dir.Path() / "cmp.csv";
    const struct {
        Texts Args;
        const char* Says;
    } refused[] = {
        {{a}, "give two listings"},
        {{a, a, a}, "more than two listings"},
        {{a, a, "--rtol", "-1"}, "--rtol takes a non-negative number, not '-1'"},
        {{a, a, "--atol", "nan"}, "--atol takes a non-negative number"},
        {{a, a, "--atol", "inf"}, "--atol takes a non-negative number"},
        {{a, a, "--rtol", "1e"}, "--rtol takes a non-negative number"},
        {{a, a, "--json", "-o", out.string()}, "--json prints the table"},
        {{a, a, "--format", "ods"}, "unknown format 'ods'"},
        {{a, a, "--variable", "Nothing"}, "variable 'Nothing' is offered by neither listing"},
        {{a, a, "--variable", "Temperature"},
         "variable 'Temperature' is offered by neither listing"},
        {{a, a, "-o", a}, "is the listing itself"},
        {{a, a, "--bogus"}, "unknown option '--bogus'"},
    };
    for (const auto& c : refused) {
        Texts args = {"compare"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const auto run = RunCli(args);
        EXPECT_EQ(run.Status, 2) << c.Says;
        EXPECT_EQ(run.Out, "");
        EXPECT_TRUE(run.Err.starts_with("voraxextract-cli compare: ")) << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    }

    // Hostile files on either side: their messages, exit 1, nothing written.
    const auto notListing = dir.Path() / "notes.out";
    std::ofstream(notListing) << "these are notes\n";
    gen::ListingSpec spec = test::EveryBlockSpec(3);
    spec.dropBlocksFromStep = spec.steps;
    const std::string dropped = test::Generate(spec, dir.Path() / "dropped.out");
    const std::string missing = (dir.Path() / "missing.out").string();
    const struct {
        std::string Other;
        const char* Says;
    } hostile[] = {
        {notListing.string(), "Read File Error 62: Input past end of file\n"},
        {missing, "Read File Error 53: File not found\n"},
        {dropped, "62: Input past end of file\n"},
    };
    const std::string every = test::Generate(test::EveryBlockSpec(3), dir.Path() / "every.out");
    for (const auto& h : hostile) {
        for (bool first : {true, false}) {
            const auto run = RunCli({"compare", first ? h.Other : every, first ? every : h.Other,
                                     "-o", out.string(), "--quiet"});
            EXPECT_EQ(run.Status, 1) << h.Says;
            EXPECT_NE(run.Err.find(h.Says), std::string::npos) << run.Err;
            EXPECT_FALSE(std::filesystem::exists(out)) << h.Says;
        }
    }
}

}  // namespace
}  // namespace vx
