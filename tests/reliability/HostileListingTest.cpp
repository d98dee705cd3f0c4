// Listings as run folders hold them: empty, cut short by a crashed analysis, still being
// written, damaged, files of other programs, folders and devices, absurd claims. Every
// one must end in its message (or none, where the reader ends quietly), never in a
// crash, a hang or memory that grows with a claim rather than with the file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>
#include <regex>

#include "export/VariableCatalogue.h"
#include "reader/LineReader.h"
#include "tests/reliability/Reliability.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Session;
using test::TempDir;
using Texts = std::vector<std::string>;

constexpr const char* kPastEnd = "Read File Error 62: Input past end of file";

std::string Lines(std::initializer_list<std::string_view> lines, std::string_view end = "\r\n") {
    std::string bytes;
    for (auto l : lines) (bytes += l) += end;
    return bytes;
}

// Every selected step of `variable` for `rows` records, into `table`; the messages shown.
Texts ExportAll(Session& s, const std::string& variable, int rows, const fs::path& out) {
    std::vector<std::int16_t> steps;
    for (int i = 1; i <= s.Model.TimeCount; ++i) steps.push_back(static_cast<std::int16_t>(i));
    s.Export(s.Request(variable, 1, rows, steps, out));
    return s.Messages();
}

TEST(HostileListings, ThingsThatAreNoListingEndInOneReadFileError) {
    TempDir dir;
    std::mt19937 random(2024);
    std::string garbage(256 * 1024, '\0');
    for (auto& c : garbage) c = static_cast<char>(random());
    // A listing saved again by an editor as UTF-16: every marker has a NUL in between.
    std::string utf16;
    for (char c : Lines({" PROGRAM 'VORAX' , 7.4", " NDIM 3", " STATIC"})) (utf16 += c) += '\0';
    const auto fifo = dir.Path() / "pipe.out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto plain = dir.Write("plain.out", "x");
    fs::create_symlink("loop.out", dir.Path() / "loop.out");

    const struct {
        fs::path Listing;
        std::string Message;
    } cases[] = {
        {dir.Write("empty.out", ""), kPastEnd},
        {dir.Write("garbage.out", garbage), kPastEnd},
        {dir.Write("utf16.out", utf16), kPastEnd},
        {dir.Write("nul.out", std::string(70000, '\0')), kPastEnd},
        {dir.Path(), "Read File Error 75: Path/File access error"},
        {dir.Path() / "missing.out", "Read File Error 53: File not found"},
        {plain / "below-a-file.out", "Read File Error 76: Path not found"},
        {fifo,
         "Read File Error 75: Path/File access error"},  // opened without waiting for a writer
        {"/dev/zero", "Read File Error 75: Path/File access error"},  // endless: never read
        {dir.Path() / "loop.out", "Read File Error 52: Bad file name or number"},
    };
    for (const auto& c : cases) {
        Session s;
        s.Open(c.Listing);
        EXPECT_EQ(s.Messages(), Texts{c.Message}) << c.Listing;
        ASSERT_FALSE(s.Host.Messages.empty());
        EXPECT_EQ(s.Host.Messages[0].Icon, MsgIcon::Critical);
        EXPECT_EQ(s.Model.AnalysisType, AnalysisNone);
        EXPECT_TRUE(s.Model.Times.empty());
        EXPECT_TRUE(OfferedVariables(s.Model).empty()) << "nothing to export from " << c.Listing;
    }

    // The command-line tool says the same and exports nothing.
    auto info = test::RunCli({"info", dir.Path().string()});
    EXPECT_EQ(info.Status, 0);
    EXPECT_EQ(info.Err, "Read File Error 75: Path/File access error\n");
    auto run = test::RunCli(
        {"export", fifo.string(), "-o", (dir.Path() / "out.xls").string(), "--all-steps"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err.substr(0, run.Err.find('\n')), "Read File Error 75: Path/File access error");
    EXPECT_FALSE(fs::exists(dir.Path() / "out.xls"));
}

TEST(HostileListings, NulBytesAreOrdinaryCharactersInsideLines) {
    TempDir dir;
    using namespace std::string_literals;
    // A NUL neither ends a line nor counts as a blank: a number stops at it.
    const auto listing = dir.Write(
        "nul.out",
        Lines({"PROGRAM 'VORAX', 1\0junk"s, " NDIM 3", " STATIC", " \0 THERE ARE 3 NODES."s,
               "CONVERGENCE HAS BEEN OBTAINED.", "   TIME = 1.5\0E+02"s, " TOTAL DISPLACEMENTS.",
               " NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7",
               "   1   0.25\0E+01   9"s, "   2  \0.5"s, "   3\0  -1.0E+00"s}));
    Session s;
    s.Open(listing);
    EXPECT_TRUE(s.Messages().empty()) << s.Messages()[0];
    EXPECT_EQ(s.Model.Version, "1\0junk"s) << "a NUL is kept like any other character";
    EXPECT_EQ(s.Model.NodeCount, 3);
    ASSERT_EQ(s.Model.TimeCount, 1);
    EXPECT_EQ(s.Model.Times[0].Time, 1.5f);
    EXPECT_TRUE(s.Model.HasDisplacements);
    EXPECT_TRUE(ExportAll(s, "Displacements", 3, dir.Path() / "out.xls").empty());
    EXPECT_EQ(s.Table.At(1, 1), 0.25f);
    EXPECT_EQ(s.Table.At(2, 1), 0.0f) << "a NUL in front: no number";
    EXPECT_EQ(s.Table.At(3, 1), -1.0f);
}

TEST(HostileListings, EveryKindOfLineEndReadsAlike) {
    TempDir dir;
    auto withEnds = [&](const std::string& crlf, const std::string& name, int mode) {
        std::mt19937 random(5);
        const char* ends[] = {"\r\n", "\r", "\n"};
        std::string bytes;
        for (std::size_t i = 0; i < crlf.size(); ++i) {
            if (crlf.compare(i, 2, "\r\n") == 0) {
                bytes += ends[mode < 3 ? mode : random() % 3];  // mode 3: mixed, line by line
                ++i;
            } else {
                bytes += crlf[i];
            }
        }
        return dir.Write(name, bytes);
    };
    const struct {
        gen::ListingSpec Spec;
        std::string Variable;
        int Rows;
    } listings[] = {{test::ThermalSpec(12, 4), "Temperature", 12},
                    {test::EveryBlockSpec(3), "Displacements", 13},
                    {test::EveryBlockSpec(3), "Beam Stresses", 12},
                    {test::EveryBlockSpec(2), "Membrane Force N2", 2}};
    for (const auto& l : listings) {
        const std::string crlf = test::ReadBytes(test::Generate(l.Spec, dir.Path() / "crlf.out"));
        Session reference;
        reference.Open(withEnds(crlf, "0.out", 0));
        ASSERT_TRUE(ExportAll(reference, l.Variable, l.Rows, dir.Path() / "0.xls").empty());
        for (int mode = 1; mode <= 3; ++mode) {
            const auto file = withEnds(crlf, std::to_string(mode) + ".out", mode);
            Session s;
            s.Open(file);
            SCOPED_TRACE(l.Variable + ", line ends " + std::to_string(mode));
            EXPECT_TRUE(s.Messages().empty());
            EXPECT_EQ(s.Model.NodeCount, reference.Model.NodeCount);
            EXPECT_EQ(s.Model.StressPoints, reference.Model.StressPoints);
            ASSERT_EQ(s.Model.TimeCount, reference.Model.TimeCount);
            for (int i = 0; i < s.Model.TimeCount; ++i) {
                const auto step = static_cast<std::size_t>(i);
                EXPECT_EQ(s.Model.Times[step].Time, reference.Model.Times[step].Time);
                // The recorded position is the start of the same line in every variant.
                LineReader a(file), b(dir.Path() / "0.out");
                a.Seek(s.Model.Times[step].Position);
                b.Seek(reference.Model.Times[step].Position);
                EXPECT_EQ(std::string(a.ReadLine()), std::string(b.ReadLine()));
            }
            EXPECT_TRUE(ExportAll(s, l.Variable, l.Rows, dir.Path() / "x.xls").empty());
            for (int r = 1; r <= l.Rows; ++r)
                for (int t = 1; t <= s.Model.TimeCount; ++t)
                    ASSERT_EQ(s.Table.At(r, t), reference.Table.At(r, t)) << r << "," << t;
        }
    }
}

// The offset just after the `count`-th line that follows the first `marker` line after
// `from` (CRLF line ends).
std::size_t AfterLines(const std::string& bytes, std::size_t from, std::string_view marker,
                       int count) {
    std::size_t at = bytes.find(marker, from);
    at = bytes.find("\r\n", at) + 2;
    for (int i = 0; i < count; ++i) at = bytes.find("\r\n", at) + 2;
    return at;
}

TEST(HostileListings, CutShortAnywhere) {
    TempDir dir;
    // Wherever a crashed analysis stopped writing, the scan and every export end in a
    // message or none, a sheet that is whole, and the time steps before the cut intact.
    const std::string full = test::ReadBytes(test::SourceDir() / "examples" / "dynamic3d.out");
    Session whole;
    whole.Open(test::SourceDir() / "examples" / "dynamic3d.out");
    const std::regex extractionMessage(R"(\d+: [A-Za-z/ ]+)");
    for (std::size_t cut = 0; cut < full.size(); cut += 613) {
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        const auto listing = dir.Write("cut.out", full.substr(0, cut));
        Session s;
        s.Open(listing);
        ASSERT_LE(s.Host.Messages.size(), 1u);
        ASSERT_LE(s.Model.TimeCount, whole.Model.TimeCount);
        for (int i = 0; i + 1 < s.Model.TimeCount; ++i)
            EXPECT_EQ(s.Model.Times[static_cast<std::size_t>(i)].Position,
                      whole.Model.Times[static_cast<std::size_t>(i)].Position);
        for (const auto& offered : OfferedVariables(s.Model)) {
            fs::remove(dir.Path() / "out.xls");
            const auto messages =
                ExportAll(s, offered.Name, std::max<int>(1, offered.Bound), dir.Path() / "out.xls");
            ASSERT_LE(messages.size(), 1u) << offered.Name;
            if (!messages.empty()) {
                EXPECT_TRUE(std::regex_match(messages[0], extractionMessage)) << messages[0];
            }
            std::string why;
            EXPECT_TRUE(test::WellFormedSheet(dir.Path() / "out.xls", why))
                << offered.Name << ": " << why;
        }
    }

    // Cut inside the last step's displacement block, after node 5 of 13: the records
    // left take the last line again, as at any end of file.
    auto spec = test::EveryBlockSpec(3);
    spec.steps = 3;
    const std::string bytes = test::ReadBytes(test::Generate(spec, dir.Path() / "full.out"));
    const std::size_t lastStep = bytes.rfind("  TIME =");
    const std::size_t afterNode5 = AfterLines(bytes, lastStep, "NODE    DOF 1", 5);
    for (std::size_t end : {afterNode5, afterNode5 + 9}) {  // at a line end, inside node 6's line
        Session s;
        s.Open(dir.Write("cut.out", bytes.substr(0, end)));
        ASSERT_EQ(s.Model.TimeCount, 3);
        EXPECT_TRUE(ExportAll(s, "Displacements", 13, dir.Path() / "out.xls").empty());
        for (int node = 1; node <= 5; ++node)
            EXPECT_EQ(s.Table.At(node, 3),
                      gen::ExpectedValue(spec, gen::Block::Displacements, 3, node, 1));
        const int last = end == afterNode5 ? 5 : 6;
        for (int node = last + 1; node <= 13; ++node)
            EXPECT_EQ(s.Table.At(node, 3), s.Table.At(last, 3));
    }

    // Cut inside the last step's temperature table: the nodes read keep their values,
    // the rest stay 0, and the reading says where it stopped.
    const auto thermalSpec = test::ThermalSpec(23, 3);
    const std::string thermal =
        test::ReadBytes(test::Generate(thermalSpec, dir.Path() / "thermal.out"));
    const std::size_t cut = AfterLines(thermal, thermal.rfind("  TIME ="), "NODE TEMP.", 2);
    Session t;
    t.Open(dir.Write("cut.out",
                     thermal.substr(0, cut) + std::string(4096, '\0')));  // and a zero-filled tail
    ASSERT_EQ(t.Model.TimeCount, 3);
    EXPECT_EQ(ExportAll(t, "Temperature", 23, dir.Path() / "out.xls"),
              Texts{"62: Input past end of file"});
    for (int node = 1; node <= 10; ++node)
        EXPECT_EQ(t.Table.At(node, 3),
                  gen::ExpectedValue(thermalSpec, gen::Block::Temperature, 3, node, 0));
    for (int node = 11; node <= 23; ++node) EXPECT_EQ(t.Table.At(node, 3), 0.0f);
    std::string why;
    EXPECT_TRUE(test::WellFormedSheet(dir.Path() / "out.xls", why)) << why;
}

TEST(HostileListings, AListingThatChangedSinceItsScan) {
    TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    const auto listing = test::Generate(spec, dir.Path() / "run.out");
    const std::string original = test::ReadBytes(listing);
    const auto out = dir.Path() / "out.xls";
    Session s;
    s.Open(listing);
    ASSERT_EQ(s.Model.TimeCount, 5);
    const auto request = s.Request("Displacements", 1, 13, {5, 1}, out);

    auto exportNow = [&] {
        fs::remove(out);
        s.Export(request);
        std::string why;
        EXPECT_TRUE(test::WellFormedSheet(out, why)) << "the sheet is still written: " << why;
        return s.Messages();
    };
    // Shrunk: step 5 now lies beyond the end.
    fs::resize_file(listing, original.size() / 2);
    EXPECT_EQ(exportNow(), Texts{"62: Input past end of file"});
    EXPECT_EQ(s.Table.At(1, 1), 0.0f);
    // Grown (the analysis wrote on): the steps indexed read as before.
    dir.Write("run.out", original + original.substr(original.find("CONVERGENCE")));
    EXPECT_TRUE(exportNow().empty());
    EXPECT_EQ(s.Table.At(13, 1), gen::ExpectedValue(spec, gen::Block::Displacements, 5, 13, 1));
    EXPECT_EQ(s.Table.At(2, 2), gen::ExpectedValue(spec, gen::Block::Displacements, 1, 2, 1));
    // Replaced by another program's file, deleted, or by a folder.
    dir.Write("run.out", std::string(original.size(), 'z'));
    EXPECT_EQ(exportNow(), Texts{"62: Input past end of file"});
    fs::remove(listing);
    EXPECT_EQ(exportNow(), Texts{"53: File not found"});
    fs::create_directory(listing);
    EXPECT_EQ(exportNow(), Texts{"75: Path/File access error"});
    fs::remove(listing);

    // The temperature reader alike.
    const auto thermal = test::Generate(test::ThermalSpec(12, 4), dir.Path() / "thermal.out");
    Session t;
    t.Open(thermal);
    fs::resize_file(thermal, 100);
    t.Export(t.Request("Temperature", 1, 12, {4, 2}, out));
    EXPECT_EQ(t.Messages(), Texts{"62: Input past end of file"});
    std::string why;
    EXPECT_TRUE(test::WellFormedSheet(out, why)) << why;
}

TEST(HostileListings, CountsBeyondTheirFieldsEndInOverflow) {
    TempDir dir;
    // 32767 time lines overflow the thermal step counter: the thermal scan ends quietly
    // with no time step; one fewer is read whole.
    std::string thermal =
        Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "TEMPERATURE", "DESCRIPTION OF THE STRUCTURE.",
               " - THERE ARE 1 NODES.", "POSITION OF THE NODES"});
    for (int i = 0; i < 32766; ++i) thermal += "  TIME = 1\n";
    Session fits;
    fits.Open(dir.Write("fits.out", thermal));
    EXPECT_TRUE(fits.Messages().empty());
    EXPECT_EQ(fits.Model.TimeCount, 32766);
    Session overflows;
    overflows.Open(dir.Write("overflows.out", thermal + "  TIME = 2\n"));
    EXPECT_TRUE(overflows.Messages().empty());
    EXPECT_EQ(overflows.Model.TimeCount, 0);
    EXPECT_FALSE(overflows.Model.HasTemperatures);

    // More than 32767 nodes: the window holds From and To to 32767; the record counter
    // overflows at the first step, and the sheet holds zeros.
    const auto structural = [&](const char* nodes) {
        return Lines({"PROGRAM 'VORAX', 1", "NDIM 3", "STATIC",
                      std::string(" - THERE ARE ") + nodes + " NODES.",
                      "CONVERGENCE HAS BEEN OBTAINED.", "  TIME = 1", "TOTAL DISPLACEMENTS.",
                      "NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7",
                      "  1  1.0", "  2  2.0"});
    };
    const auto out = dir.Path() / "out.xls";
    Session many;
    many.Open(dir.Write("many.out", structural("40000")));
    EXPECT_EQ(UpperBound("Displacements", many.Model), 32767);
    many.Export(many.Request("Displacements", 1, 2, {1}, out));
    EXPECT_EQ(many.Messages(), Texts{"6: Overflow"});
    EXPECT_EQ(many.Table.At(1, 1), 0.0f);
    std::string why;
    EXPECT_TRUE(test::WellFormedSheet(out, why)) << why;

    // A claim of two billion nodes costs no more memory than any other overflow.
    const auto huge = dir.Write("huge.out", structural("2000000000"));
    const auto hugeThermal = dir.Write(
        "huge-thermal.out",
        Lines({"PROGRAM 'VORAX', 1", "NDIM 2", "TEMPERATURE", "DESCRIPTION OF THE STRUCTURE.",
               " - THERE ARE 2000000000 NODES.", "POSITION OF THE NODES", "  TIME = 1",
               "NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.  NODE TEMP.", "    1  20.0"}));
    for (const auto& [listing, message] :
         {std::pair{huge, "6: Overflow"}, std::pair{hugeThermal, "62: Input past end of file"}}) {
        auto run = test::InChild([&] {
            Session s;
            s.Open(listing);
            if (s.Model.NodeCount != 2000000000) return 1;
            s.Export(
                s.Request(s.Model.AnalysisType == AnalysisThermal ? "Temperature" : "Displacements",
                          1, 2, {1}, out));
            return s.Messages() == Texts{message} ? 0 : 2;
        });
        EXPECT_EQ(run.Status, 0) << listing;
        EXPECT_LT(run.GrowthMiB, 64) << listing;
    }
}

// Writes `head`, then `count` bytes made of `piece` repeated, then `tail`.
fs::path WriteLong(const fs::path& file, const std::string& head, const std::string& piece,
                   std::size_t count, const std::string& tail) {
    std::ofstream out(file, std::ios::binary);
    out << head;
    std::string block;
    while (block.size() < (1u << 20)) block += piece;
    block.resize(1u << 20);
    for (std::size_t done = 0; done < count; done += block.size())
        out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), count - done)));
    out << tail;
    return file;
}

TEST(HostileListings, AHundredMegabyteLine) {
    TempDir dir;
    constexpr std::size_t kSize = 100u << 20;
    const std::string head = Lines({"PROGRAM 'VORAX', 1", "NDIM 3", "DYNAMIC",
                                    " - THERE ARE 30000 NODES.", "CONVERGENCE HAS BEEN OBTAINED."});
    const std::string block =
        Lines({"TOTAL DISPLACEMENTS.",
               "NODE    DOF 1     DOF 2     DOF 3     DOF 4     DOF 5     DOF 6     DOF 7"});
    const struct {
        const char* Name;
        std::string Head, Piece, Tail;
        bool Export;
    } cases[] = {
        // No line end at all: a file of another program.
        {"one line", "", "x", "", false},
        // A time line of fifty million words.
        {"long time line", head + "  TIME = 5 ", "7 ", "\r\n", false},
        // The only record line of a block, which every node after the first reads again.
        {"long record line", head + "  TIME = 5\r\n" + block + "  1  ", "2.5 ", "", true},
        // ... with its one value far along the line.
        {"long last line", head + "  TIME = 5\r\n" + block + "  1", " ", " 2.5", true},
        // A crashed analysis leaves blocks of zeros behind its last line.
        {"zero-filled tail", head + "  TIME = 5\r\n" + block + "  1  2.5", std::string(1, '\0'), "",
         true},
    };
    for (const auto& c : cases) {
        const auto file = WriteLong(dir.Path() / "long.out", c.Head, c.Piece, kSize, c.Tail);
        auto run = test::InChild([&] {
            Session s;
            s.Open(file);
            if (!c.Export)
                return s.Model.TimeCount == 0 ? (s.Messages() == Texts{kPastEnd} ? 0 : 3)
                                              : (s.Model.Times[0].Time == 5.0f ? 0 : 4);
            if (!s.Messages().empty() || s.Model.TimeCount != 1) return 5;
            s.Export(s.Request("Displacements", 29998, 30000, {1}, dir.Path() / "out.xls"));
            return s.Messages().empty() && s.Table.At(30000, 1) == 2.5f ? 0 : 6;
        });
        EXPECT_EQ(run.Status, 0) << c.Name;
        // The line is held whole while it is read, nothing more: a buffer that doubles
        // up to it, and under AddressSanitizer the freed smaller ones in quarantine.
        EXPECT_LT(run.GrowthMiB, 600) << c.Name;
        EXPECT_LT(run.Seconds, 60) << c.Name;
        fs::remove(file);
    }
}

}  // namespace
}  // namespace vx
