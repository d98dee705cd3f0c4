// voraxextract-cli follow against a listing being written: each step's line as the step is
// completed, the last one when the listing stays idle, the same values as an export of the
// whole listing; --from-now; Ctrl+C; a step whose block is missing; the refusals.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

using test::LinesOf;
using test::RunCli;
using Texts = std::vector<std::string>;

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Writes `bytes` into `path` a piece at a time, as VORAX writes its listing.
std::thread Writer(const std::filesystem::path& path, std::string bytes, std::size_t piece) {
    std::ofstream(path, std::ios::binary).close();
    return std::thread([path, bytes = std::move(bytes), piece] {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            out.write(bytes.data() + at,
                      static_cast<std::streamsize>(std::min(piece, bytes.size() - at)));
            out.close();
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
    });
}

// The lines follow prints for the whole listing, from an export of it (times in rows).
Texts Expected(const std::string& listing, const test::TempDir& dir, const Texts& request) {
    const auto csv = dir.Path() / "expected.csv";
    Texts args = {"export", listing, "-o", csv.string(), "--all-steps", "--quiet"};
    args.insert(args.end(), request.begin(), request.end());
    EXPECT_EQ(RunCli(args).Status, 0);
    const Texts sheet = LinesOf(test::ReadBytes(csv));
    Texts lines;
    for (std::size_t row = 3; row < sheet.size(); ++row)
        lines.push_back(std::to_string(row - 2) + "," + sheet[row]);
    return lines;
}

TEST(CliFollow, EachStepAsItIsCompletedThenTheLastOnIdle) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 9;
    const std::string whole = test::Generate(spec, dir.Path() / "whole.out");
    const auto live = dir.Path() / "live.out";
    const Texts request = {"--variable", "Beam Axial Force", "--vector", "N2", "--items", "4,1"};
    const Texts expected = Expected(whole, dir, request);
    ASSERT_EQ(expected.size(), 9u);

    std::thread writer = Writer(live, Bytes(whole), 997);
    Texts args = {"follow", live.string(), "--until-idle", "1.2"};
    args.insert(args.end(), request.begin(), request.end());
    const auto run = RunCli(args);
    writer.join();
    ASSERT_EQ(run.Status, 0) << run.Err;
    Texts lines = LinesOf(run.Out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Step,Time,4,1");
    lines.erase(lines.begin());
    EXPECT_EQ(lines, expected);

    // From now: nothing but the steps completed after it starts (here the last, on idle).
    args.insert(args.begin() + 2, "--from-now");
    const auto now = RunCli(args);
    EXPECT_EQ(now.Status, 0) << now.Err;
    EXPECT_EQ(LinesOf(now.Out), (Texts{"Step,Time,4,1", expected.back()}));
}

TEST(CliFollow, CtrlCEndsItAfterTheLastCompleteLine) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 4;
    const std::string whole = test::Generate(spec, dir.Path() / "whole.out");
    const std::string cli = test::Quote(test::CliPath().string());
    const auto run = test::Run("(" + cli + " follow " + test::Quote(whole) +
                               " & pid=$!; sleep 1; kill -INT $pid; wait $pid)");
    EXPECT_EQ(run.Status, 0) << run.Err;
    const Texts lines = LinesOf(run.Out);
    ASSERT_EQ(lines.size(), 4u) << run.Out;  // the header and the three complete steps
    EXPECT_TRUE(lines.back().starts_with("3,180,")) << run.Out;
}

TEST(CliFollow, AMissingBlockAndTheRefusals) {
    test::TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    spec.dropBlocksFromStep = 3;
    const std::string dropped = test::Generate(spec, dir.Path() / "dropped.out");
    auto run = RunCli({"follow", dropped, "--variable", "Beam Axial Force", "--until-idle", "0"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "62: Input past end of file\n");
    EXPECT_EQ(LinesOf(run.Out).size(), 3u) << "the header and steps 1 and 2";

    // A listing cut inside its last step's displacements: export and peaks warn, and exit 0.
    std::ifstream in(test::Example("dynamic3d.out"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const auto cut = dir.Path() / "cut.out";
    std::ofstream(cut, std::ios::binary)
        .write(bytes.data(),
               static_cast<std::streamsize>(bytes.rfind("TOTAL DISPLACEMENTS") + 500));
    for (const char* command : {"export", "peaks"}) {
        const auto out = dir.Path() / "cut.csv";
        run = RunCli(
            {command, cut.string(), "-o", out.string(), "--to", "10", "--all-steps", "--quiet"});
        EXPECT_EQ(run.Status, 0) << command;
        EXPECT_EQ(run.Err,
                  "voraxextract-cli: warning: step 6 (time 360) is not complete in the listing: "
                  "Node 5 of it is not written yet (nor what follows)\n")
            << command;
        run = RunCli(
            {command, cut.string(), "-o", out.string(), "--to", "4", "--all-steps", "--quiet"});
        EXPECT_EQ(run.Err, "") << "nodes 1 to 4 are whole";
    }

    const std::string dyn = test::Example("dynamic3d.out");
    const struct {
        Texts Args;
        const char* Says;
    } refused[] = {
        {{"--steps", "1"}, "--steps does not apply to follow"},
        {{"--all-vectors"}, "--all-vectors does not apply to follow"},
        {{"-o", "x.csv"}, "-o does not apply to follow"},
        {{"--vector", "DOF1", "--vector", "DOF2"}, "give --vector once"},
        {{"--until-idle", "soon"}, "--until-idle takes a number of seconds"},
        {{"--variable", "Temperature"}, "variable 'Temperature' is not offered"},
        {{"--vector", "DOF9"}, "does not exist"},
        {{"--to", "11"}, "To is outside the range (1 to 10)"},
    };
    for (const auto& c : refused) {
        Texts args = {"follow", dyn, "--until-idle", "0"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        run = RunCli(args);
        EXPECT_EQ(run.Status, 2) << c.Says;
        EXPECT_EQ(run.Out, "");
        EXPECT_TRUE(run.Err.starts_with("voraxextract-cli follow: ")) << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
    }
}

}  // namespace
}  // namespace vx
