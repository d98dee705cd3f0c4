// Reliability: hostile listings, file-system faults and the proof that listings are never
// changed, through the core with a stand-in window and through voraxextract-cli.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "export/Worksheet.h"
#include "extraction/Peaks.h"
#include "extraction/Variables.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::ReadBytes;
using test::TempDir;
using Texts = std::vector<std::string>;

// The bytes of a file and what the file system records of it (size, modification and
// change times, inode, mode): a write, a replacement or a change of mode shows in one.
using FileState = std::tuple<std::string, off_t, time_t, long, time_t, long, ino_t, mode_t>;

FileState StateOf(const fs::path& file) {
    struct stat i {};
    EXPECT_EQ(::stat(file.c_str(), &i), 0) << file;
    return {ReadBytes(file),  i.st_size,         i.st_mtim.tv_sec, i.st_mtim.tv_nsec,
            i.st_ctim.tv_sec, i.st_ctim.tv_nsec, i.st_ino,         i.st_mode};
}

// One listing opened as the window opens it, and exports run as Save runs them.
struct Session : test::Scanned {
    ValueTable Table;

    // `variable` (its vector kind number `kind`), vectors from..to, the steps (none: all).
    ExportPlan Request(const std::string& variable, int from, int to,
                       const std::vector<std::int16_t>& steps, const fs::path& output,
                       bool columns = false, int kind = 0) const {
        ExtractionRequest request;
        request.Variable = variable;
        request.SelectedTimes = steps;
        OfferedVariable row;
        if (DescribeVariable(variable, Model, row) &&
            kind < static_cast<int>(row.VectorKinds.size())) {
            request.VectorKind = row.VectorKinds[static_cast<std::size_t>(kind)];
            request.VectorKindIndex = static_cast<std::int16_t>(kind);
        }
        for (int v = from; v <= to; ++v) request.Vectors.push_back(static_cast<std::int16_t>(v));
        for (int i = 1; steps.empty() && i <= Model.TimeCount; ++i)
            request.SelectedTimes.push_back(static_cast<std::int16_t>(i));
        return {{request}, {output.string(), SheetFormat::Xls, columns}};
    }
    // Clears the recorded messages, reads and writes; returns the messages shown.
    Texts Export(ExportPlan plan, SheetFormat format = SheetFormat::Xls) {
        Host.Messages.clear();
        auto services = Host.Get();
        plan.Sheet.Format = format;
        Ran = RunExport(Model, plan, Table, services);
        EXPECT_EQ(Ran.Notices, Host.Messages) << "returned as shown";
        return Messages();
    }
    Outcome Ran;
    Texts Messages() const { return Host.MessageTexts(); }
};

// Empty when `xls` is BOF, whole records and EOF with nothing after it; else why not.
std::string SheetFault(const fs::path& xls) {
    std::string bytes;
    try {
        bytes = ReadBytes(xls);
    } catch (const std::exception& e) {
        return e.what();
    }
    auto get16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    if (bytes.compare(0, 8, std::string("\x09\x00\x04\x00\x02\x00\x0A\x00", 8)) != 0)
        return "no BOF record first";
    std::size_t at = 0, last = 0;
    for (; at + 4 <= bytes.size(); at += 4 + get16(at + 2)) last = at;
    if (at != bytes.size()) return "the last record runs past the end of the file";
    if (get16(last) != 0x000A || get16(last + 2) != 0) return "no EOF record last";
    return "";
}

// The names in a folder, sorted.
Texts FilesIn(const fs::path& folder) {
    Texts names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a forked child and reports its exit code (128 + the signal when one
// ended it; a child still running after five minutes gets SIGALRM) and how far its
// resident memory grew.
struct ChildRun {
    int Status = -1;
    long GrowthMiB = 0;
};

ChildRun InChild(const std::function<int()>& body) {
    // The child writes its growth here; the parent reads it after the child ends.
    auto* shared = static_cast<long*>(
        ::mmap(nullptr, sizeof(long), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ChildRun run;
    if (shared == MAP_FAILED) return run;
    *shared = 0;
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(300);  // a hang ends the child rather than the test run
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        const long before = resident * (::sysconf(_SC_PAGESIZE) / 1024);
        int code = 251;  // nothing may escape the core: that is a fault too
        try {
            code = body();
        } catch (...) {
        }
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        *shared = (usage.ru_maxrss - before) / 1024;
        ::_exit(code);
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child) {
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.GrowthMiB = *shared;
    }
    ::munmap(shared, sizeof(long));
    return run;
}

// Listings as run folders hold them: empty, cut short, still being written, damaged,
// files of other programs, pipes, absurd claims. Each ends in its message (or none),
// never in a crash, a hang or memory that grows with a claim.

constexpr const char* kPastEnd = "Read File Error 62: Input past end of file";

TEST(HostileListings, ThingsThatAreNoListingEndInOneReadFileError) {
    TempDir dir;
    std::mt19937 random(2024);
    std::string garbage(256 * 1024, '\0');
    for (auto& c : garbage) c = static_cast<char>(random());
    const auto fifo = dir.Path() / "pipe.out";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("loop.out", dir.Path() / "loop.out");
    const std::pair<fs::path, std::string> cases[] = {
        {dir.Write("garbage.out", garbage), kPastEnd},
        {dir.Path() / "missing.out", "Read File Error 53: File not found"},
        {dir.Write("plain.out", "x") / "below.out", "Read File Error 76: Path not found"},
        // Neither waited for nor read: no writer comes, and a device may never end.
        {fifo, "Read File Error 75: Path/File access error"},
        {dir.Path() / "loop.out", "Read File Error 52: Bad file name or number"},
    };
    for (const auto& [listing, message] : cases) {
        Session s;
        s.Open(listing);
        EXPECT_EQ(s.Messages(), Texts{message}) << listing;
        EXPECT_TRUE(OfferedVariables(s.Model).empty()) << listing;
    }
}

TEST(HostileListings, CutShortAnywhere) {
    // Wherever a crashed analysis stopped writing, the scan and every export end in a
    // message or none, a whole sheet, and the time steps before the cut where they were.
    TempDir dir;
    const auto example = test::Example("dynamic3d.out");
    const std::string full = test::ReadBytes(example);
    Session whole;
    whole.Open(example);
    const std::regex extractionMessage(R"(\d+: [A-Za-z/ ]+)");
    const auto out = dir.Path() / "out.xls";
    for (std::size_t cut = 0; cut < full.size(); cut += 613) {
        SCOPED_TRACE("cut at byte " + std::to_string(cut));
        Session s;
        s.Open(dir.Write("cut.out", full.substr(0, cut)));
        ASSERT_LE(s.Host.Messages.size(), 1u);
        ASSERT_LE(s.Model.TimeCount, whole.Model.TimeCount);
        for (std::size_t i = 0; i + 1 < s.Model.Times.size(); ++i)
            EXPECT_EQ(s.Model.Times[i].Position, whole.Model.Times[i].Position);
        for (const auto& v : OfferedVariables(s.Model)) {
            fs::remove(out);
            const auto messages =
                s.Export(s.Request(v.Name, 1, std::max<int>(1, v.Bound), {}, out));
            ASSERT_LE(messages.size(), 1u) << v.Name;
            EXPECT_TRUE(messages.empty() || std::regex_match(messages[0], extractionMessage));
            EXPECT_EQ(SheetFault(out), "") << v.Name;
            // The peaks of the same request read the same steps: the same message or none.
            const auto plan = s.Request(v.Name, 1, std::max<int>(1, v.Bound), {}, out);
            std::vector<KindPeaks> peaks;
            s.Host.Messages.clear();
            auto services = s.Host.Get();
            const auto ran = ReducePeaks(s.Model, plan.Readings, PeaksOver::Steps, peaks, services);
            EXPECT_EQ(s.Messages(), messages) << v.Name;
            EXPECT_EQ(ran.Failed(), !messages.empty()) << v.Name;
        }
    }
}

// Vector kinds read together fail each in its turn, as if each were read alone after the
// one before: an export shows every kind's message in the order of its sheets; peaks show
// the message of the first kind in order that fails, wherever the others fail.
TEST(HostileListings, SeveralKindsFailEachInItsTurn) {
    TempDir dir;
    std::string bytes =
        test::ReadBytes(test::Generate(test::EveryBlockSpec(3), dir.Path() / "gen.out"));
    // The last step without its block: every kind reads past the end there.
    const std::string header = gen::marker::kDisplacementHeader;
    bytes.replace(bytes.rfind(header), header.size(), header.size(), ' ');
    // DOF2 of the first node of step 1 too large for a single: DOF2 fails at once.
    const std::size_t first = bytes.find(header);
    const std::size_t node = bytes.find('\n', first) + 1;
    const std::size_t dof2 = bytes.find_first_not_of(' ', bytes.find('E', node) + 4);
    bytes.replace(dof2, bytes.find(' ', dof2) - dof2, "0.1E+40");
    Session s;
    s.Open(dir.Write("run.out", bytes));
    ASSERT_TRUE(s.Messages().empty());
    const auto out = dir.Path() / "book.xlsx";
    auto kinds = [&](std::initializer_list<int> order) {
        const std::vector<std::int16_t> steps = {1, s.Model.TimeCount};
        ExportPlan plan = s.Request("Displacements", 1, 5, steps, out);
        plan.Readings.clear();
        for (int k : order)
            plan.Readings.push_back(
                s.Request("Displacements", 1, 5, steps, out, false, k).Readings.front());
        return plan;
    };
    const Texts pastEnd = {"62: Input past end of file"}, overflow = {"6: Overflow"};
    Texts both = pastEnd;
    both.push_back(overflow.front());
    EXPECT_EQ(s.Export(kinds({0, 1}), SheetFormat::Xlsx), both);
    for (const auto& [order, shown] :
         {std::pair{kinds({0, 1}), pastEnd}, {kinds({1, 0}), overflow}}) {
        std::vector<KindPeaks> peaks;
        s.Host.Messages.clear();
        auto services = s.Host.Get();
        services.Reading.ReductionBatchSteps = 1;  // DOF2 fails in the first batch, DOF1 later
        ReducePeaks(s.Model, order.Readings, PeaksOver::Steps, peaks, services);
        EXPECT_EQ(s.Messages(), shown);
    }
}

TEST(HostileListings, AListingThatGrewOrShrankSinceItsScan) {
    TempDir dir;
    auto spec = test::EveryBlockSpec(3);
    const auto listing = test::Generate(spec, dir.Path() / "run.out");
    const std::string original = test::ReadBytes(listing);
    const auto out = dir.Path() / "out.xls";
    Session s;
    s.Open(listing);
    const auto request = s.Request("Displacements", 1, 13, {5, 1}, out);
    auto exportNow = [&] {
        fs::remove(out);
        const auto messages = s.Export(request);
        EXPECT_EQ(SheetFault(out), "") << "the sheet is still written";
        return messages;
    };
    fs::resize_file(listing, original.size() / 2);  // step 5 now lies beyond the end
    EXPECT_EQ(exportNow(), Texts{"62: Input past end of file"});
    dir.Write("run.out", original + original.substr(original.find("CONVERGENCE")));
    EXPECT_TRUE(exportNow().empty()) << "the analysis wrote on: the steps indexed read as before";
    EXPECT_EQ(s.Table.At(13, 1), gen::ExpectedValue(spec, gen::Block::Displacements, 5, 13, 1));
    EXPECT_EQ(s.Table.At(2, 2), gen::ExpectedValue(spec, gen::Block::Displacements, 1, 2, 1));
    fs::remove(listing);
    EXPECT_EQ(exportNow(), Texts{"53: File not found"});
}

// Lines of a hundred megabytes and counts of billions: the scan and an export of
// Displacements From..From+2 at step 1 end in their messages (or none) and a whole sheet.
// A line is held whole once while it is read, nothing more (the buffer grows by
// remapping, not by copying into a new one beside the old), and a claim costs nothing.
TEST(HostileListings, HugeLinesAndClaimsCostNoMoreThanTheLineHeldOnce) {
    TempDir dir;
    auto head = [](const std::string& count) {
        return Lines({"PROGRAM 'VORAX', 1", "NDIM 3", "DYNAMIC",
                      " - THERE ARE " + count + " NODES.", "CONVERGENCE HAS BEEN OBTAINED.",
                      "  TIME = 5", "TOTAL DISPLACEMENTS.", gen::marker::kDisplacementHeader});
    };
    const std::string nodes = head("30000"), billions = head("2000000000") + "  1  1.0\n  2  2.0\n";
    const struct {
        const char* Name;
        std::string Head, Piece, Tail;  // the piece fills 100 MiB between head and tail
        int Steps;                      // -1: the scan ends past the end of the file
        int From;                       // 0: no export
        Texts Shown;
        long MaxMiB;  // the line held whole once; by each reading thread for the export
    } cases[] = {
        {"one line without an end", "", "x", "", -1, 0, {}, 160},
        // The only record line of a block, which every node after the first reads again.
        {"long record line", nodes + "  1  ", "2.5 ", "", 1, 29998, {}, 600},
        // What a crash can leave in a listing: a run of zero bytes, here between two steps.
        {"zero bytes between steps", nodes + "  1  2.5\n", {'\0'}, "\n  TIME = 6\n", 2, 0, {}, 160},
        // From and To stop at 32767; the record counter overflows at the first step.
        {"two billion nodes", billions, "", "", 1, 1, {"6: Overflow"}, 64},
    };
    const auto out = dir.Path() / "out.xls";
    for (const auto& c : cases) {
        const auto file = dir.Path() / "long.out";
        {
            std::ofstream bytes(file, std::ios::binary);
            std::string block;
            while (!c.Piece.empty() && block.size() < (1u << 20)) block += c.Piece;
            block.resize(c.Piece.empty() ? 0 : 1u << 20);
            bytes << c.Head;
            for (int i = 0; i < 100; ++i) bytes << block;
            bytes << c.Tail;
        }
        auto run = InChild([&] {
            Session s;
            s.Open(file);
            if (c.Steps < 0) return s.Messages() == Texts{kPastEnd} ? 0 : 3;
            if (!s.Messages().empty() || s.Model.TimeCount != c.Steps) return 4;
            if (UpperBound("Displacements", s.Model) != std::min(s.Model.NodeCount, 32767))
                return 5;
            if (c.From == 0) return 0;
            if (s.Export(s.Request("Displacements", c.From, c.From + 2, {1}, out)) != c.Shown)
                return 6;
            if (!SheetFault(out).empty()) return 7;
            return c.Shown.empty() && s.Table.At(c.From + 2, 1) != 2.5f ? 8 : 0;
        });
        EXPECT_EQ(run.Status, 0) << c.Name;
        EXPECT_LT(run.GrowthMiB, c.MaxMiB) << c.Name;
    }
}

// The file system refusing the sheet: a read-only place, a pipe or a device, a file
// another process holds, a disk that fills, unusual names. Each ends in its message, with
// the listing as it was and no file but the ones allowed.

// A listing big enough that its sheet takes several blocks of the writer.
fs::path BigListing(const fs::path& folder) {
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 250;
    spec.steps = 40;
    return test::Generate(spec, folder / "run.out");
}

// A disk that fills after any number of bytes is made by a file-size limit: the .xls
// keeps what it wrote, as it always has; the formats that replace a file whole leave the
// earlier one as it was and nothing else, wherever the writing stops (the workbook's
// temporary files included, which are larger than it).
TEST(OutputFaults, PlacesThatRefuseTheSheetAndADiskFullAnywhere) {
    TempDir dir;
    const auto listing = BigListing(dir.Path());
    const auto sheets = dir.Path() / "sheets";
    fs::create_directory(sheets);
    for (const auto& format : SheetFormats())
        dir.Write("sheets/kept" + std::string(format.Extension), "an older sheet");
    const auto fifo = dir.Path() / "pipe.xls";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
    ASSERT_TRUE(fs::is_character_file("/dev/full")) << "exported to below: it must be the device";
    // Root writes everywhere, so the read-only folder is tried as nobody.
    fs::permissions(dir.Path(), fs::perms::all);
    fs::permissions(listing, fs::perms::all);
    fs::permissions(sheets,
                    fs::perms::others_write | fs::perms::owner_write | fs::perms::group_write,
                    fs::perm_options::remove);
    const auto before = StateOf(listing);
    const auto keptFiles = FilesIn(sheets);
    // 0 when the export to `target` writes, 1 when it shows `shown` as a failure of that
    // kind; past `limit` bytes (0: none) writes fail as on a full disk (EFBIG).
    auto exportTo = [&](const fs::path& target, SheetFormat format, rlim_t limit, const char* shown,
                        FailureKind kind = FailureKind::WriteFailed) {
        return InChild([&] {
                   if (target.parent_path() == sheets && ::geteuid() == 0 &&
                       (::setgid(65534) != 0 || ::setuid(65534) != 0))
                       return 9;
                   const rlimit bytes = {limit, limit};
                   ::signal(SIGXFSZ, SIG_IGN);
                   if (limit && ::setrlimit(RLIMIT_FSIZE, &bytes) != 0) return 9;
                   Session s;
                   s.Open(listing);
                   const auto messages =
                       s.Export(s.Request("Displacements", 1, 250, {}, target, false, 2), format);
                   if (messages.empty()) return 0;
                   return messages != Texts{shown} ? 2 : s.Ran.Notices[0].Kind != kind ? 3 : 1;
               })
            .Status;
    };
    for (const auto& format : SheetFormats()) {
        SCOPED_TRACE(format.Name);
        const std::string ext(format.Extension);
        // A pipe or a device is never deleted, opened nor waited for, even by root.
        // The read-only folder refuses its user: access denied, as the system tells it.
        for (const fs::path& target : {sheets / ("new" + ext), sheets / ("kept" + ext)})
            EXPECT_EQ(exportTo(target, format.Format, 0, "Path/File access error",
                               FailureKind::AccessDenied),
                      1)
                << target;
        for (const fs::path& target : {fifo, fs::path("/dev/full")})
            EXPECT_EQ(exportTo(target, format.Format, 0, "Path/File access error"), 1) << target;

        const auto sheet = dir.Path() / ("sheet" + ext);
        ASSERT_EQ(exportTo(sheet, format.Format, 0, ""), 0);
        const auto size = static_cast<rlim_t>(fs::file_size(sheet));
        ASSERT_GT(size, 40000u) << "the sheet takes several of the writers' blocks";
        for (rlim_t limit : {rlim_t{1}, rlim_t{4096}, size / 2, size - 1}) {
            dir.Write(sheet.filename().string(), "the earlier sheet");
            EXPECT_EQ(exportTo(sheet, format.Format, limit, "Disk full"), 1) << limit;
            EXPECT_EQ(FilesIn(dir.Path()),
                      (Texts{"pipe.xls", "run.out", sheet.filename().string(), "sheets"}))
                << limit;
            if (format.Format != SheetFormat::Xls) {
                EXPECT_EQ(test::ReadBytes(sheet), "the earlier sheet") << limit;
            }
        }
        fs::remove(sheet);
    }
    EXPECT_EQ(FilesIn(sheets), keptFiles);
    for (const auto& name : keptFiles) EXPECT_EQ(test::ReadBytes(sheets / name), "an older sheet");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(StateOf(listing) == before) << "the listing changed";
}

TEST(OutputFaults, ASheetHeldByAnotherProgram) {
    constexpr const char* kLocked =
        "The file is locked. Please close the file in Excel and try again.";
    TempDir dir;
    const auto listing = BigListing(dir.Path());
    const auto before = StateOf(listing);
    Session s;
    s.Open(listing);
    for (const auto& format : SheetFormats()) {
        SCOPED_TRACE(format.Name);
        const auto held =
            dir.Write("held" + std::string(format.Extension), "open in a spreadsheet program");
        const auto request = s.Request("Beam Axial Force", 1, 4, {1, 40}, held);
        // A record lock, as office programs on this system take, and a shared whole-file
        // lock, held by another process for the tool and by this very one for the core. The
        // tool goes first: the core's probe closes a descriptor, which drops this process's
        // record lock.
        for (bool record : {true, false}) {
            const int fd = ::open(held.c_str(), O_RDWR);
            struct flock lock = {};
            lock.l_type = F_WRLCK;
            ASSERT_EQ(record ? ::fcntl(fd, F_SETLK, &lock) : ::flock(fd, LOCK_SH), 0);
            auto run = test::RunCli(
                {"export", listing.string(), "-o", held.string(), "--all-steps", "--quiet"});
            EXPECT_EQ(run.Status, 1);
            EXPECT_EQ(run.Err, std::string(kLocked) + "\n");
            EXPECT_EQ(s.Export(request, format.Format), Texts{kLocked}) << record;
            EXPECT_EQ(s.Ran.Notices.at(0).Kind, FailureKind::FileLocked);
            EXPECT_EQ(test::ReadBytes(held), "open in a spreadsheet program");
            ::close(fd);
        }
        // Closed by the other program: the same Save now replaces the file.
        EXPECT_TRUE(s.Export(request, format.Format).empty());
        EXPECT_NE(test::ReadBytes(held), "open in a spreadsheet program");
        fs::remove(held);
    }
    EXPECT_EQ(FilesIn(dir.Path()), (Texts{"run.out"}));
    EXPECT_TRUE(StateOf(listing) == before) << "the listing changed";
}

TEST(OutputFaults, UnusualNamesAndPlaces) {
    TempDir dir;
    // Spaces, accents (UTF-8) and a byte that is no UTF-8 at all (Latin-1 e acute).
    const auto folder = dir.Path() / "run folder \xC3\xA9t\xC3\xA9 \xE9";
    const auto sheets = dir.Path() / "r\xC3\xA9sultats 1";
    fs::create_directory(folder);
    fs::create_directory(sheets);
    const fs::path listing =
        test::Generate(test::EveryBlockSpec(3), folder / "ana lysis \xC3\xBC \xE2\x82\xAC.out");
    const auto out = sheets / "sheet \xC3\xA9 \xFC.xls";
    auto run =
        test::RunCli({"export", listing.string(), "-o", out.string(), "--all-steps", "--quiet"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(SheetFault(out), "");

    // The listing itself, by its name, a symbolic link or a hard link, is refused by the
    // command-line tool before anything is read or written.
    fs::create_symlink(listing, dir.Path() / "link.xls");
    fs::create_hard_link(listing, dir.Path() / "hard.xls");  // changes the change time
    const auto before = StateOf(listing);
    for (const auto& target : {listing, dir.Path() / "link.xls", dir.Path() / "hard.xls"}) {
        auto same =
            test::RunCli({"export", listing.string(), "-o", target.string(), "--all-steps"});
        EXPECT_EQ(same.Status, 2) << target;
        EXPECT_NE(same.Err.find("is the listing itself"), std::string::npos) << same.Err;
    }
    EXPECT_TRUE(StateOf(listing) == before) << "the listing changed";
}

// A listing is only ever read: every reader opens it read-only, closes it before the
// operation returns, and leaves its bytes, size and times exactly as they were, whatever
// is exported from it and whatever goes wrong meanwhile.

// The access mode of every descriptor of this process that refers to `file`.
std::vector<int> AccessModesOf(const fs::path& file) {
    std::vector<int> modes;
    const auto target = fs::canonical(file);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec) != target) continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        for (std::string key, value; info >> key >> value;)
            if (key == "flags:")
                modes.push_back(static_cast<int>(std::stol(value, nullptr, 8)) & O_ACCMODE);
    }
    return modes;
}

TEST(ListingUntouched, EveryOperationReadsOnlyClosesAndLeavesTheListingAsItWas) {
    TempDir dir;
    for (const char* name : {"thermal.out", "static2d.out", "dynamic3d.out"}) {
        const auto folder = dir.Path() / name;
        fs::create_directory(folder);
        const auto listing = folder / name;
        fs::copy_file(test::Example(name), listing);
        // Far in the past, so that any write shows; read-only for everybody, so that an
        // open for writing fails where permissions count.
        const timespec past[2] = {{946684800, 0}, {946684800, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, listing.c_str(), past, 0), 0);
        fs::permissions(listing,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const auto before = StateOf(listing);
        const auto out = folder / "out.xls";
        auto expectUntouched = [&](const std::string& after) {
            EXPECT_TRUE(StateOf(listing) == before) << "the listing changed by " << after;
            EXPECT_TRUE(AccessModesOf(listing).empty()) << "still open after " << after;
        };

        // Inside every progress report, where the window runs its events, the listing is
        // open for reading only.
        Session s;
        int seen = 0;
        s.Host.OnProgress = [&](std::size_t) {
            for (int mode : AccessModesOf(listing)) {
                EXPECT_EQ(mode, O_RDONLY);
                ++seen;
            }
        };
        s.Open(listing);
        EXPECT_TRUE(s.Messages().empty()) << listing;
        expectUntouched("opening " + listing.string());
        bool columns = false;
        for (const auto& offered : OfferedVariables(s.Model)) {
            for (int k = 0; k < std::max<int>(1, static_cast<int>(offered.VectorKinds.size()));
                 ++k) {
                const std::string what = offered.Name + " #" + std::to_string(k) + " of " + name;
                auto request = s.Request(offered.Name, 1, std::max<int>(1, offered.Bound), {}, out,
                                         columns = !columns, k);
                auto& steps = request.Readings.front().SelectedTimes;
                std::reverse(steps.begin(), steps.end());
                EXPECT_EQ(s.Export(request), Texts{}) << what;
                expectUntouched("export of " + what);
            }
        }
        EXPECT_GT(seen, 3) << listing;
        // A request that fails half-way: the extraction stops at the step that does not
        // exist, the layout at its time.
        EXPECT_EQ(s.Export(s.Request(OfferedVariables(s.Model).front().Name, 1, 1, {1, 99}, out)),
                  (Texts{"9: Subscript out of range", "Subscript out of range"}));
        expectUntouched("a failed export");
        Texts allowed = {name, "out.xls"};
        std::sort(allowed.begin(), allowed.end());
        EXPECT_EQ(FilesIn(folder), allowed);
    }
}

}  // namespace
}  // namespace vx
