#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace vx {

// How a listing is stored: as it is, or compressed whole (the formats finished runs are
// archived in). Told by a file's first bytes, never by its name.
enum class Compression { None, Gzip, Zstd, Xz };

Compression CompressionOf(std::string_view firstBytes);

// FNV-1a of `bytes`, going on from `hash` (the hash of the bytes before them): what tells
// a file's first or last bytes from those it had.
inline std::uint64_t HashBytes(std::string_view bytes,
                               std::uint64_t hash = 1469598103934665603ull) {
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

// Where a line reader's bytes come from: a file's bytes as they are, or the listing a
// compressed file holds. Offsets and sizes are those of the listing's own bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Up to `count` bytes of the listing from `offset` on; 0 at its end. Failures are
    // thrown as vx::Failure.
    virtual std::size_t Read(char* into, std::size_t count, std::int64_t offset) = 0;

    // The listing's size: a file's own; for a compressed one, a guess until it is read
    // to the end, from the part read so far.
    virtual std::int64_t Size() const = 0;

    // How much of the file the reading has come through, 0 to 1, when the listing's next
    // byte is at `position`: for a compressed file, by the compressed bytes taken.
    virtual double Fraction(std::int64_t position) const = 0;

    // Whether reading from any offset costs about as little as reading on (not so when
    // it may mean decompressing the listing from its start).
    virtual bool CanSeek() const = 0;

    virtual Compression Kind() const = 0;
};

// Opens `path` read-only (a regular file, or failure 75): its bytes, or the listing its
// compressed bytes hold. Opening reads no more than the first few bytes.
std::unique_ptr<ByteSource> OpenByteSource(const std::filesystem::path& path);

}  // namespace vx
