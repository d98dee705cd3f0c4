#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>

#include "reader/ByteSource.h"

namespace vx {

// What tells one version of a file from another: its device and inode, size and
// modification time, and a hash of its first and last 4 KiB (a file written over in place
// within the clock's resolution; for gzip and zstd, the last bytes hold the data's check).
struct FileIdentity {
    std::uint64_t Device = 0, Inode = 0;
    std::int64_t Size = 0, Modified = 0;
    std::uint64_t Ends = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// A regular file opened read-only, read at any offset.
class FileHandle {
public:
    explicit FileHandle(const std::filesystem::path& path);  // failures as vx::Failure
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)), m_size(other.m_size), m_identity(other.m_identity) {}
    FileHandle& operator=(FileHandle&&) = delete;

    int Fd() const { return m_fd; }
    std::int64_t Size() const { return m_size; }
    const FileIdentity& Identity() const { return m_identity; }
    // A hash of the file's first and last 4 KiB (FileIdentity::Ends).
    std::uint64_t HashOfEnds() const;
    // Up to `count` bytes at `offset`, 0 at the end (one read call).
    std::size_t ReadAt(char* into, std::size_t count, std::int64_t offset) const;

private:
    int m_fd = -1;
    std::int64_t m_size = 0;
    FileIdentity m_identity;
};

// The listing a gzip, zstd or xz file holds, decompressed ahead of the reader on a thread
// of its own, so that inflating and reading the lines go on side by side.
//
// A stream cut short ends where its last whole piece ends, as a listing cut there would;
// a damaged one (bad header, bad check, bad data) is failure 57 with what is wrong; one
// that expands far beyond what any listing compresses from is failure 57 too, as soon as
// it does. Where decompression can start again is kept for every file read this way
// (for gzip, every few MB: the last 32 KiB of the listing before a block, as zlib's
// `zran` example keeps them; for zstd, the start of each frame; for xz, only the start),
// so that a later reading of a late step starts there rather than at the beginning.
std::unique_ptr<ByteSource> OpenCompressed(FileHandle file, Compression kind);

// The restart points kept for the file at `path` as it is now: how many and the bytes
// they hold (none when the file was not read decompressed).
struct RestartPointsHeld {
    std::size_t Points = 0;
    std::size_t Bytes = 0;
};
RestartPointsHeld RestartPointsOf(const std::filesystem::path& path);

}  // namespace vx
