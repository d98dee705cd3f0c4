#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "reader/ByteSource.h"
#include "reader/VectorLevel.h"

namespace vx {

// Bytes of one file that several line readers of it share: what one reader reads from the
// file is kept, and another that wants those bytes takes them from here instead of reading
// the file again. It holds one stretch, the bytes read last from a mark its owner moves on
// (Release), at most `most` bytes (past that the oldest go, and a reader that wants them
// reads the file). Readers on several threads may take and offer at once; Release is the
// owner's, who knows which bytes no reader wants any more.
class SharedBytes {
public:
    explicit SharedBytes(std::size_t most = std::size_t{64} << 20) : m_most(most) {}
    // Copies up to `want` of the bytes held from `offset` on into `into`; 0 when it holds
    // none at `offset`.
    std::size_t Take(char* into, std::size_t want, std::int64_t offset) const;
    // Bytes just read from the file at `offset`: kept when they go on from the ones held.
    void Offer(std::int64_t offset, const char* bytes, std::size_t count);
    // The bytes before `offset` are wanted no more.
    void Release(std::int64_t offset);
    std::size_t Held() const;

private:
    // The bytes come in pieces as they were read (a read's worth each), let go of whole
    // once none of their bytes is held; the room of those let go serves again.
    struct Piece {
        std::int64_t Offset = 0;
        std::vector<char> Bytes;
    };
    void DropBefore(std::int64_t offset);

    std::size_t m_most;
    mutable std::mutex m_mutex;
    std::deque<Piece> m_pieces;  // in file order, each going on from the one before
    std::vector<std::vector<char>> m_spare;
    std::int64_t m_start = 0;  // the first byte held (those before it are gone)
    std::int64_t m_end = 0;    // one past the last
};

// Sequential, read-only line access to a listing with byte positions and seek.
//
// The listing is a file's bytes, or those a gzip, zstd or xz file holds (ByteSource.h):
// positions are always the listing's own.
//
// A line ends at CR, at CR LF, or at LF alone; the terminator is not part of the line.
// Reads of kReadSize bytes go through one buffer and lines are found with memchr-class
// and vector searches, so a line costs no allocation and no per-character call; the
// buffer grows only when a single line is longer than it. The file is opened read-only and never
// written.
//
// Failures (opening, reading, reading past the end) are thrown as vx::Failure.
class LineReader {
public:
    // `vectorLevel`: the widest vector instructions the searches may use (VectorLevel.h).
    explicit LineReader(const std::filesystem::path& path, int vectorLevel = kAvx512Vectors);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    int VectorLevel() const { return m_vectorLevel; }

    // Size of the listing in bytes: the file's when it was opened; a compressed one's as
    // far as it is known (ByteSource::Size).
    std::int64_t Size() const;
    // How much of the file the reading has come through (0 to 1) with the next line at
    // `position`.
    double Fraction(std::int64_t position) const;
    // False when a seek may mean decompressing from the start: several readers of one
    // such listing would each decompress it.
    bool CanSeek() const;
    Compression Compressed() const;

    // True when no character remains to be read.
    bool AtEnd();

    // The next line. The view stays valid until the next call that reads or seeks.
    // Reading when AtEnd() is true is a failure (62, input past end of file).
    std::string_view ReadLine();

    // Byte offset of the next character the next ReadLine returns.
    std::int64_t Position() const { return m_bufferOffset + static_cast<std::int64_t>(m_begin); }

    // Sets the read position to an offset obtained from Position().
    void Seek(std::int64_t position);

    // Sets the read position to the first line start at or after `position` (the place
    // reading from the start of the file would put a line's first character) and returns
    // true, or returns false when no line starts from `position` up to `before`: the line
    // that holds the byte before `position` runs on past it. Looks at no byte past
    // `before` but the one that may finish a CR LF, and holds none of that line.
    bool SeekToLineStart(std::int64_t position, std::int64_t before);

    // Offset of the first character of the line the last read returned.
    std::int64_t LineStart() const { return m_lineStart; }

    enum class Search { Found, End, Paused };

    // Reads lines until one contains `marker` (non-empty, without CR or LF): the same as
    // calling ReadLine until Contains(line, marker) or AtEnd(), but it jumps from one
    // occurrence of the marker to the next instead of splitting every line.
    //  - Found: `line` is the line that contains the marker; the position is after it.
    //  - End:   the end was reached without one; `line` then holds no marker (it is the
    //           last line read or is left unchanged) and AtEnd() is true.
    //  - Paused: about `budget` bytes were passed without a match; the position is at a
    //           line start and the search can be resumed by calling again (so that a
    //           caller can report progress on long stretches).
    Search ReadLineContaining(std::string_view marker, std::string_view& line,
                              std::int64_t budget = INT64_MAX);

    // Skips `count` lines exactly as `count` calls of ReadLine would, stopping early at
    // the end of the file, and returns how many lines were skipped. The skipped bytes,
    // terminators included, are handed to `visit` in file order, in one or more pieces,
    // before the reader moves past them. Lines are counted many bytes at a time, so a
    // long stretch of lines costs little more than reading it.
    template <typename Visit>
    std::int64_t SkipLines(std::int64_t count, Visit&& visit) {
        return SkipLines(count, &CallVisit<std::remove_reference_t<Visit>>,
                         const_cast<void*>(static_cast<const void*>(&visit)));
    }

    using Visitor = void (*)(void* context, std::string_view bytes);
    std::int64_t SkipLines(std::int64_t count, Visitor visit, void* context);

    // Takes the bytes it reads from `shared` where it holds them, and offers it those it
    // reads from the file. (Null: none shared.)
    void Share(SharedBytes* shared) { m_shared = shared; }

    // Keeps the bytes from `position` on in memory, so that seeking back to any of them
    // reads nothing from the file again: several readings of one stretch (one time step
    // read for several vector kinds) read its bytes once. Up to kMostKeptBytes are kept;
    // past that the reader goes on as without it and a seek back reads the file again.
    // Keep(-1) ends it.
    void Keep(std::int64_t position) { m_keepFrom = position; }
    static constexpr std::size_t kMostKeptBytes = std::size_t{64} << 20;

    // How many bytes one read asks the file for: small enough that a block is still in
    // the processor's cache when it is searched, large enough that reads are few.
    static constexpr std::size_t kReadSize = std::size_t{256} << 10;

    // The longest line a compressed listing may hold (memory stays bounded whatever a
    // small file expands to); past it, failure 7.
    static constexpr std::size_t kMostCompressedLine = std::size_t{256} << 20;

private:
    template <typename Visit>
    static void CallVisit(void* context, std::string_view bytes) {
        (*static_cast<Visit*>(context))(bytes);
    }

    // Moves the unread bytes to the front, reads more behind them, and grows the buffer
    // when it is full of one unfinished line. Returns false at the end of the file.
    bool Fill();
    std::string_view TakeLine(std::size_t lineEnd);

    int m_vectorLevel;
    std::unique_ptr<ByteSource> m_source;
    // Memory mapped from the system, so that a buffer grown for a very long line is
    // moved by remapping its pages rather than by copying its bytes.
    class Buffer {
    public:
        Buffer() = default;
        ~Buffer();
        Buffer(const Buffer&) = delete;
        Buffer& operator=(const Buffer&) = delete;
        // Grows to `capacity` bytes, keeping those held; false when memory runs out.
        bool Grow(std::size_t capacity);
        char* get() const { return m_data; }
        std::size_t Capacity() const { return m_capacity; }

    private:
        char* m_data = nullptr;
        std::size_t m_capacity = 0;
    };
    Buffer m_buffer;
    std::int64_t m_bufferOffset = 0;  // file offset of m_buffer[0]
    std::size_t m_begin = 0;          // next unread byte
    std::size_t m_end = 0;            // bytes held
    bool m_eof = false;               // the file gave no more bytes at m_bufferOffset + m_end
    std::int64_t m_lineStart = 0;     // offset of the last line returned
    std::int64_t m_keepFrom = -1;     // bytes from this offset on stay held (-1: none)
    SharedBytes* m_shared = nullptr;
};

}  // namespace vx
