#include "reader/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Failure.h"
#include "reader/CompressedSource.h"

namespace vx {

namespace {

// A file's bytes as they are.
class FileBytes final : public ByteSource {
public:
    FileBytes(FileHandle file, std::int64_t size) : m_file(std::move(file)), m_size(size) {
        ::posix_fadvise(m_file.Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    std::size_t Read(char* into, std::size_t count, std::int64_t offset) override {
        return m_file.ReadAt(into, count, offset);
    }
    std::int64_t Size() const override { return m_size; }
    double Fraction(std::int64_t position) const override {
        return m_size > 0 ? static_cast<double>(position) / static_cast<double>(m_size) : 0.0;
    }
    bool CanSeek() const override { return true; }
    Compression Kind() const override { return Compression::None; }

private:
    FileHandle m_file;
    std::int64_t m_size;
};

}  // namespace

FileHandle::FileHandle(const std::filesystem::path& path) {
    // O_NONBLOCK keeps a FIFO from hanging the open; only regular files are accepted.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (m_fd < 0) throw FailureFromErrno(errno);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        const int e = errno;
        ::close(m_fd);
        throw FailureFromErrno(e);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(m_fd);
        Raise(fail::PathFileAccessError);
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_size = st.st_size;
    m_identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                  static_cast<std::int64_t>(st.st_size),
                  static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                  0};
}

std::uint64_t FileHandle::HashOfEnds() const {
    constexpr std::int64_t kEnd = 4096;
    std::uint64_t h = HashBytes({});
    char bytes[kEnd];
    for (const std::int64_t at : {std::int64_t{0}, std::max<std::int64_t>(0, m_size - kEnd)}) {
        const std::size_t n = ReadAt(bytes, static_cast<std::size_t>(std::min(kEnd, m_size)), at);
        h = HashBytes(std::string_view(bytes, n), h);
    }
    return h;
}

FileHandle::~FileHandle() {
    if (m_fd >= 0) ::close(m_fd);
}

std::size_t FileHandle::ReadAt(char* into, std::size_t count, std::int64_t offset) const {
    for (;;) {
        const ssize_t got = ::pread(m_fd, into, count, offset);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) throw FailureFromErrno(errno);
    }
}

Compression CompressionOf(std::string_view b) {
    auto starts = [&b](std::string_view magic) { return b.substr(0, magic.size()) == magic; };
    if (starts("\x1f\x8b")) return Compression::Gzip;
    if (starts("\x28\xb5\x2f\xfd")) return Compression::Zstd;
    // A skippable frame, 0x184D2A50 to 0x184D2A5F: pzstd puts one before each of its frames.
    if (b.size() >= 4 && (static_cast<unsigned char>(b[0]) & 0xf0) == 0x50 &&
        b.substr(1, 3) == "\x2a\x4d\x18")
        return Compression::Zstd;
    if (starts(std::string_view("\xfd"
                                "7zXZ\0",
                                6)))
        return Compression::Xz;
    return Compression::None;
}

std::unique_ptr<ByteSource> OpenByteSource(const std::filesystem::path& path) {
    FileHandle file(path);
    char head[6] = {};
    std::size_t got = 0;
    while (got < sizeof head) {
        const std::size_t n =
            file.ReadAt(head + got, sizeof head - got, static_cast<std::int64_t>(got));
        if (n == 0) break;
        got += n;
    }
    const Compression kind = CompressionOf(std::string_view(head, got));
    if (kind == Compression::None) {
        const std::int64_t size = file.Size();
        return std::make_unique<FileBytes>(std::move(file), size);
    }
    return OpenCompressed(std::move(file), kind);
}

}  // namespace vx
