// The file system refusing the sheet: a read-only place, a file another program holds,
// a full disk, a device, unusual names. Each ends in its message, with the listing as it
// was and no file but the ones allowed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/reliability/Reliability.h"
#include "tests/support/Listings.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::Session;
using test::TempDir;
using Texts = std::vector<std::string>;

constexpr const char* kLocked = "The file is locked. Please close the file in Excel and try again.";

// A listing big enough that its sheet takes several blocks of the writer.
fs::path BigListing(const fs::path& folder) {
    auto spec = test::EveryBlockSpec(3);
    spec.nodes = 250;
    spec.steps = 40;
    return test::Generate(spec, folder / "run.out");
}

std::string Cli() {
    return Quote(test::CliPath().string());
}

TEST(OutputFaults, ReadOnlyPlaces) {
    TempDir dir;
    const auto listing = BigListing(dir.Path());
    const auto sheets = dir.Path() / "sheets";
    fs::create_directory(sheets);
    const auto kept = dir.Write("sheets/kept.xls", "an older sheet");

    // A folder whose permissions refuse the writing user. Root writes everywhere, so the
    // attempt runs as nobody; the refusal is an access error, not a file held elsewhere.
    fs::permissions(dir.Path(), fs::perms::all);
    fs::permissions(listing, fs::perms::all);
    const auto before = test::StateOf(listing);
    fs::permissions(sheets, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec | fs::perms::group_read |
                                fs::perms::group_exec);
    for (const auto& target : {sheets / "new.xls", kept}) {
        auto run = test::InChild([&] {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 9;
            Session s;
            s.Open(listing);
            s.Export(s.Request("Displacements", 1, 250, {1, 2, 3}, target));
            return s.Messages() == Texts{"Path/File access error"} ? 0 : 1;
        });
        EXPECT_EQ(run.Status, 0) << target;
    }
    EXPECT_EQ(test::FilesIn(sheets), Texts{"kept.xls"});
    EXPECT_EQ(test::ReadBytes(kept), "an older sheet");
    test::ExpectUnchanged(before, listing, "exports into a read-only folder");

    // A read-only file system refuses root as well: "Path/File access error".
    std::string why;
    if (!test::CanUsePrivateMounts(why)) GTEST_SKIP() << why;
    auto run = test::Run("unshare --mount --propagation private sh -c " +
                         Quote("mount --bind -o ro " + Quote(sheets.string()) + " " +
                               Quote(sheets.string()) + " && mount -o remount,bind,ro " +
                               Quote(sheets.string()) + " && " + Cli() + " export " +
                               Quote(listing.string()) + " -o " +
                               Quote((sheets / "new.xls").string()) + " --all-steps --quiet"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "Path/File access error\n");
    EXPECT_EQ(test::FilesIn(sheets), Texts{"kept.xls"});
    test::ExpectUnchanged(before, listing, "an export onto a read-only file system");
}

TEST(OutputFaults, ASheetHeldByAnotherProgram) {
    TempDir dir;
    const auto listing = BigListing(dir.Path());
    const auto before = test::StateOf(listing);
    const auto held = dir.Write("held.xls", "open in a spreadsheet program");

    // Another process holds a record lock, as office programs on this system do.
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(held.c_str(), O_RDWR);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char wait;
        (void)!::read(release[0], &wait, 1);
        ::_exit(0);
    }
    char ok = 'n';
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    Session s;
    s.Open(listing);
    const auto request = s.Request("Beam Axial Force", 1, 4, {1, 40}, held);
    s.Export(request);
    EXPECT_EQ(s.Messages(), Texts{kLocked});
    auto run =
        test::RunCli({"export", listing.string(), "-o", held.string(), "--all-steps", "--quiet"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, std::string(kLocked) + "\n");
    EXPECT_EQ(test::ReadBytes(held), "open in a spreadsheet program");

    // Closed by the other program: the same Save now replaces the file.
    (void)!::write(release[1], "x", 1);
    ::waitpid(holder, nullptr, 0);
    s.Export(request);
    EXPECT_TRUE(s.Messages().empty());
    std::string why;
    EXPECT_TRUE(test::WellFormedSheet(held, why)) << why;
    EXPECT_EQ(test::FilesIn(dir.Path()), (Texts{"held.xls", "run.out"}));
    test::ExpectUnchanged(before, listing, "exports onto a held sheet");
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST(OutputFaults, AFullDiskOrADevice) {
    TempDir dir;
    const auto listing = BigListing(dir.Path());
    const auto before = test::StateOf(listing);
    const auto out = dir.Path() / "out.xls";

    // The file-size limit makes writes fail as on a full disk (EFBIG), in a child.
    auto run = test::InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {20000, 20000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 9;
        Session s;
        s.Open(listing);
        s.Export(s.Request("Displacements", 1, 250, {1, 2, 3, 4, 5, 6, 7, 8}, out));
        return s.Messages() == Texts{"Disk full"} ? 0 : 1;
    });
    EXPECT_EQ(run.Status, 0);
    EXPECT_TRUE(fs::exists(out)) << "the part written stays, as the layout leaves it";
    EXPECT_LE(fs::file_size(out), 20000u);

    // A device is never deleted nor written, even by root.
    auto device =
        test::RunCli({"export", listing.string(), "-o", "/dev/full", "--all-steps", "--quiet"});
    EXPECT_EQ(device.Status, 1);
    EXPECT_EQ(device.Err, "Path/File access error\n");
    struct stat full {};
    ASSERT_EQ(::stat("/dev/full", &full), 0);
    EXPECT_TRUE(S_ISCHR(full.st_mode));
    test::ExpectUnchanged(before, listing, "exports onto a full disk");

    // A real full disk: a tiny file system of its own.
    std::string why;
    if (!test::CanUsePrivateMounts(why)) GTEST_SKIP() << why;
    const auto small = dir.Path() / "small";
    fs::create_directory(small);
    auto disk = test::Run("unshare --mount --propagation private sh -c " +
                          Quote("mount -t tmpfs -o size=16k none " + Quote(small.string()) +
                                " && " + Cli() + " export " + Quote(listing.string()) + " -o " +
                                Quote((small / "out.xls").string()) +
                                " --all-steps --to 250 --quiet; status=$?; ls " +
                                Quote(small.string()) + "; exit $status"));
    EXPECT_EQ(disk.Status, 1);
    EXPECT_EQ(disk.Err, "Disk full\n");
    EXPECT_EQ(disk.Out, "out.xls\n") << "the part written stays";
    test::ExpectUnchanged(before, listing, "an export onto a full file system");
}

TEST(OutputFaults, UnusualNamesAndPlaces) {
    TempDir dir;
    // Spaces, accents (UTF-8) and a byte that is no UTF-8 at all (Latin-1 é).
    const auto folder = dir.Path() / "run folder \xC3\xA9t\xC3\xA9 \xE9";
    fs::create_directory(folder);
    auto spec = test::EveryBlockSpec(3);
    const fs::path listing = test::Generate(spec, folder / "ana lysis \xC3\xBC \xE2\x82\xAC.out");
    const auto before = test::StateOf(listing);
    const auto sheets = dir.Path() / "r\xC3\xA9sultats 1";
    fs::create_directory(sheets);
    const auto out = sheets / "sheet \xC3\xA9 \xFC.xls";

    auto info = test::RunCli({"info", listing.string(), "--json"});
    EXPECT_EQ(info.Status, 0) << info.Err;
    auto run = test::RunCli(
        {"export", listing.string(), "-o", out.string(), "--all-steps", "--to", "13", "--quiet"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    std::string why;
    EXPECT_TRUE(test::WellFormedSheet(out, why)) << why;
    Session s;
    s.Open(listing);
    EXPECT_TRUE(s.Messages().empty());
    s.Export(s.Request("Displacements", 1, 13, {5}, out, true));
    EXPECT_TRUE(s.Messages().empty());

    // Places that cannot hold a sheet, each with its message and nothing created.
    const struct {
        fs::path Output;
        std::string Message;
    } refused[] = {
        {sheets, "Path/File access error"},                           // a folder
        {dir.Path() / "no such folder" / "x.xls", "File not found"},  // a folder that is missing
        {listing / "x.xls", "Path not found"},                        // below a file
        {dir.Path() / std::string(300, 'n'), "Bad file name or number"},  // a name too long
    };
    for (const auto& r : refused) {
        s.Export(s.Request("Displacements", 1, 13, {5}, r.Output));
        EXPECT_EQ(s.Messages(), Texts{r.Message}) << r.Output;
    }
    EXPECT_EQ(test::FilesIn(sheets).size(), 1u);

    // The listing itself, by its name, a symbolic link or a hard link, is refused by the
    // command-line tool before anything is read or written.
    fs::create_symlink(listing, dir.Path() / "link.xls");
    fs::create_hard_link(listing, dir.Path() / "hard.xls");
    for (const auto& target : {listing, dir.Path() / "link.xls", dir.Path() / "hard.xls"}) {
        auto same =
            test::RunCli({"export", listing.string(), "-o", target.string(), "--all-steps"});
        EXPECT_EQ(same.Status, 2) << target;
        EXPECT_NE(same.Err.find("is the listing itself"), std::string::npos) << same.Err;
    }
    fs::remove(dir.Path() / "hard.xls");  // the hard link shares the listing's change time
    const auto after = test::StateOf(listing);
    EXPECT_EQ(after.Bytes, before.Bytes);
    EXPECT_EQ(after.Info.st_mtim.tv_sec, before.Info.st_mtim.tv_sec);
    EXPECT_EQ(after.Info.st_mtim.tv_nsec, before.Info.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace vx
