#pragma once

// What the reliability tests share: a listing's identity on disk, one opened listing as
// the window holds it, a check that a sheet is a whole record stream, and a child
// process in which an operation can run under limits and be measured.

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "reader/ExtractionRequest.h"
#include "reader/OutputFileModel.h"
#include "reader/ValueTable.h"
#include "tests/support/FakeServices.h"

namespace vx::test {

// The bytes of a file and what the file system records when a file is written: size,
// modification and change times, inode and mode.
struct FileState {
    std::string Bytes;
    struct stat Info {};
};
FileState StateOf(const std::filesystem::path& file);
// Checks that nothing of the above has changed; `after` names the operation.
void ExpectUnchanged(const FileState& before, const std::filesystem::path& file,
                     const std::string& after);

// Sets a file's modification time well into the past, so that any write shows.
void Backdate(const std::filesystem::path& file);

// One listing opened as the window opens it, and exports run as Save runs them.
struct Session {
    OutputFileModel Model;
    FakeServices Host;
    ValueTable Table;

    void Open(const std::filesystem::path& listing);
    // A request for `variable` (its first vector kind), vectors From..To, the given steps.
    ExtractionRequest Request(const std::string& variable, int from, int to,
                              std::vector<std::int16_t> steps, const std::filesystem::path& output,
                              bool columns = false) const;
    // Clears the recorded messages, then reads and writes.
    void Export(const ExtractionRequest& request);
    std::vector<std::string> Messages() const { return Host.MessageTexts(); }
};

// True when `xls` is BOF, whole records and EOF, with nothing after it; else why not.
bool WellFormedSheet(const std::filesystem::path& xls, std::string& why);

// The names in a folder, sorted.
std::vector<std::string> FilesIn(const std::filesystem::path& folder);

// Runs `body` in a forked child. The child reports its exit code, how far its resident
// memory grew above what it started with, and how long it ran; a child that dies by a
// signal gives 128 + the signal, and one still running after five minutes is ended by
// SIGALRM (142).
struct ChildRun {
    int Status = -1;
    long GrowthMiB = 0;
    double Seconds = 0;
};
ChildRun InChild(const std::function<int()>& body);

// Runs a shell command line inside a private mount namespace, after `mount` (shell
// commands run there first, as root); the mounts vanish with the namespace. Returns
// false when this machine cannot make one (no unshare, not root, a container without
// the right), with the reason.
bool CanUsePrivateMounts(std::string& why);

}  // namespace vx::test
