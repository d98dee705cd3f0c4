#include "tests/reliability/Reliability.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "export/VariableCatalogue.h"
#include "export/Worksheet.h"
#include "reader/Reader.h"
#include "tests/support/TempDir.h"
#include "tests/support/Tools.h"

namespace vx::test {

FileState StateOf(const std::filesystem::path& file) {
    FileState state;
    state.Bytes = ReadBytes(file);
    if (::stat(file.c_str(), &state.Info) != 0) ADD_FAILURE() << "cannot stat " << file;
    return state;
}

static bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

void ExpectUnchanged(const FileState& before, const std::filesystem::path& file,
                     const std::string& after) {
    struct stat now {};
    ASSERT_EQ(::stat(file.c_str(), &now), 0) << "the listing is gone after " << after;
    EXPECT_EQ(now.st_size, before.Info.st_size) << after;
    EXPECT_TRUE(SameTime(now.st_mtim, before.Info.st_mtim)) << "modified by " << after;
    EXPECT_TRUE(SameTime(now.st_ctim, before.Info.st_ctim)) << "inode changed by " << after;
    EXPECT_EQ(now.st_ino, before.Info.st_ino) << "replaced by " << after;
    EXPECT_EQ(now.st_mode, before.Info.st_mode) << after;
    EXPECT_TRUE(ReadBytes(file) == before.Bytes) << "bytes changed by " << after;
}

void Backdate(const std::filesystem::path& file) {
    const timespec times[2] = {{946684800, 0}, {946684800, 0}};  // 2000-01-01
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

void Session::Open(const std::filesystem::path& listing) {
    Model.FilePath = listing.string();
    Model.Reset();
    Host.Messages.clear();
    auto services = Host.Get();
    ReadOutputFile(Model, services);
}

ExtractionRequest Session::Request(const std::string& variable, int from, int to,
                                   std::vector<std::int16_t> steps,
                                   const std::filesystem::path& output, bool columns) const {
    ExtractionRequest request;
    request.Variable = variable;
    OfferedVariable row;
    if (DescribeVariable(variable, Model, row) && !row.VectorKinds.empty()) {
        request.VectorKind = row.VectorKinds.front();
        request.VectorKindIndex = 0;
    }
    for (int v = from; v <= to; ++v) request.Vectors.push_back(static_cast<std::int16_t>(v));
    request.SelectedTimes = std::move(steps);
    request.TimesInColumns = columns;
    request.OutputPath = output.string();
    return request;
}

void Session::Export(const ExtractionRequest& request) {
    Host.Messages.clear();
    auto services = Host.Get();
    ExtractAndWrite(Model, request, Table, services);
}

bool WellFormedSheet(const std::filesystem::path& xls, std::string& why) {
    std::string bytes;
    try {
        bytes = ReadBytes(xls);
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
    auto get16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
    };
    if (bytes.compare(0, 8, std::string("\x09\x00\x04\x00\x02\x00\x0A\x00", 8)) != 0) {
        why = "no BOF record first";
        return false;
    }
    std::size_t at = 0, last = 0;
    while (at + 4 <= bytes.size()) {
        last = at;
        at += 4 + get16(at + 2);
    }
    if (at != bytes.size()) {
        why = "the last record runs past the end of the file";
        return false;
    }
    if (get16(last) != 0x000A || get16(last + 2) != 0) {
        why = "no EOF record last";
        return false;
    }
    return true;
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

static long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

ChildRun InChild(const std::function<int()>& body) {
    // The child writes its figures here; the parent reads them after it ends.
    auto* shared = static_cast<long*>(::mmap(nullptr, 2 * sizeof(long), PROT_READ | PROT_WRITE,
                                             MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ChildRun run;
    if (shared == MAP_FAILED) return run;
    shared[0] = shared[1] = 0;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        // A hang is a fault like any other: it ends the child rather than the test run.
        ::alarm(300);
        const long before = ResidentKiB();
        int code = 250;
        try {
            code = body();
        } catch (...) {
            code = 251;  // nothing may escape the core: that is a fault too
        }
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        shared[0] = (usage.ru_maxrss - before) / 1024;
        ::_exit(code);
    }
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child) {
        run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.GrowthMiB = shared[0];
    }
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::munmap(shared, 2 * sizeof(long));
    return run;
}

bool CanUsePrivateMounts(std::string& why) {
    auto probe =
        Run("unshare --mount --propagation private sh -c 'mount -t tmpfs -o size=64k none /mnt'");
    if (probe.Status != 0) {
        why = "no private mount namespace here (unshare or mount refused): " + probe.Err;
        return false;
    }
    return true;
}

}  // namespace vx::test
