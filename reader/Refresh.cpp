#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <new>
#include <string>

#include "common/Failure.h"
#include "reader/ByteSource.h"
#include "reader/LineReader.h"
#include "reader/Reader.h"
#include "reader/ScanProgress.h"
#include "reader/TimeIndex.h"

namespace vx {

namespace {

// The farthest back the start of the last line is looked for; a longer last line makes the
// listing read again from the start when it grows.
constexpr std::int64_t kMostLastLine = std::int64_t{1} << 20;

// Reads [offset, offset + count) of the file, short at its end; false when it cannot.
bool ReadAt(int fd, std::int64_t offset, std::size_t count, std::string& bytes) {
    bytes.resize(count);
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n =
            ::pread(fd, bytes.data() + got, count - got, offset + static_cast<std::int64_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return true;
}

// What the file is now: its identity, size and first bytes (those of its first `head`).
struct FileNow {
    bool Readable = false;
    std::uint64_t Device = 0, Inode = 0;
    std::int64_t Size = 0;
    std::uint64_t Head = 0;
    bool Compressed = false;  // by its first bytes (when they were read)
};

// `unless`: the size at which the first bytes are not read (nothing changed).
FileNow Look(const std::string& path, std::int64_t head, std::int64_t unless = -1) {
    FileNow now;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return now;
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        (st.st_size == unless ||
         ReadAt(fd, 0, static_cast<std::size_t>(std::max<std::int64_t>(head, 0)), bytes))) {
        now.Readable = true;
        now.Device = st.st_dev;
        now.Inode = st.st_ino;
        now.Size = st.st_size;
        now.Head = st.st_size == unless ? 0 : HashBytes(bytes);
        now.Compressed = CompressionOf(bytes) != Compression::None;
    }
    ::close(fd);
    return now;
}

// Where the last line of the file's first `size` bytes starts (its terminator, CR, LF or
// CR LF, at the very end is part of it); -1 when it starts farther back than kMostLastLine.
// The bytes before the end are looked at 8 KiB first, twice as many each time after.
std::int64_t LastLineStart(const std::string& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    std::int64_t found = -1;
    std::string bytes;
    for (std::int64_t span = 8192;; span *= 2) {
        const std::int64_t from = std::max<std::int64_t>(0, size - span);
        if (!ReadAt(fd, from, static_cast<std::size_t>(size - from), bytes) ||
            static_cast<std::int64_t>(bytes.size()) != size - from)
            break;
        std::size_t end = bytes.size();
        if (end > 0 && bytes[end - 1] == '\n') --end;
        if (end > 0 && bytes[end - 1] == '\r') --end;
        const std::size_t at = end == 0 ? std::string::npos : bytes.find_last_of("\r\n", end - 1);
        if (at != std::string::npos) {
            found = from + static_cast<std::int64_t>(at) + 1;
            break;
        }
        if (from == 0) {
            found = 0;
            break;
        }
        if (span > kMostLastLine) break;
    }
    ::close(fd);
    return found;
}

}  // namespace

void MarkReading(OutputFileModel& model, const Outcome& outcome) {
    ScanMark& mark = model.Mark;
    const FileNow now = Look(model.FilePath, std::min(mark.Size, ScanMark::kHeadBytes));
    mark.Device = now.Device;
    mark.Inode = now.Inode;
    mark.Head = now.Head;
    mark.Compressed = now.Compressed;
    mark.FileSize = now.Size;
    if (mark.Compressed) {
        // Its end cannot be read on from: any change means reading it again.
        mark.LastLineStart = 0;
        mark.Resumable = false;
        return;
    }
    const bool structural =
        model.AnalysisType == AnalysisStatic || model.AnalysisType == AnalysisDynamic;
    const bool thermal = model.AnalysisType == AnalysisThermal;
    mark.LastLineStart = now.Readable ? LastLineStart(model.FilePath, mark.Size) : -1;
    mark.Resumable = now.Readable && !outcome.Failed() && !outcome.Stopped &&
                     mark.LastLineStart >= 0 && model.TimeCount >= 1 &&
                     (thermal || (structural && mark.FirstStepSettled));
    if (mark.LastLineStart < 0) mark.LastLineStart = 0;
}

Refreshed RefreshOutputFile(OutputFileModel& model, Services& services) {
    Refreshed result;
    const ScanMark before = model.Mark;
    const std::int64_t size = before.Compressed ? before.FileSize : before.Size;
    const FileNow now = Look(model.FilePath, std::min(before.Size, ScanMark::kHeadBytes), size);
    if (!now.Readable) {
        result.Gone = true;
        return result;
    }
    // The same size and file: nothing was added (its first bytes are not even read).
    if (now.Device == before.Device && now.Inode == before.Inode && now.Size == size) return result;
    const bool same = now.Device == before.Device && now.Inode == before.Inode &&
                      (now.Size > size || before.Compressed) && now.Head == before.Head;
    const std::int16_t steps = model.TimeCount;
    result.Replaced = !same;
    if (same && before.Resumable) {
        try {
            LineReader in(model.FilePath, services.Reading.VectorLevel);
            ScanProgress progress(services.Progress, in, services.StopScan);
            in.Seek(before.LastLineStart);
            ResumeTimeIndex(in, model, progress);
            if (model.AnalysisType == AnalysisThermal) model.HasTemperatures = model.TimeCount != 0;
            MarkReading(model, result.Read);
            result.NewSteps = model.TimeCount - steps;
            return result;
        } catch (const ScanStopped&) {
            result.Read.Stopped = true;
            return result;
        } catch (...) {
            // A failure on the way: the reading from the start says it as it says it.
        }
    }
    // Read again from the start: replaced, shrunk, or grown where a scan cannot go on.
    result.FromStart = true;
    model.Reset();
    result.Read = ReadOutputFile(model, services);
    result.NewSteps = model.TimeCount - steps;
    return result;
}

}  // namespace vx
