#include "reader/CompressedSource.h"

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/Failure.h"

namespace vx {

namespace {

// The listing's bytes decompressed ahead of the reader: chunks of kChunkBytes, at most
// kChunksAhead of them waiting (one at first, twice as many each time the reader takes
// one after its first).
constexpr std::size_t kChunkBytes = std::size_t{256} << 10;
constexpr std::size_t kChunksAhead = 8;

// Past kRatioFreeBytes, a file that gives more than kMostRatio listing bytes for each of
// its own is no listing: listings compress five to twenty times, and gzip never gives
// more than about 1032 for one.
constexpr std::int64_t kRatioFreeBytes = std::int64_t{64} << 20;
constexpr std::int64_t kMostRatio = 2000;

// gzip keeps a restart point every kGzipSpan bytes of listing at most (32 KiB each:
// 4 MB for a GB); zstd one at the first frame start past each kZstdSpan.
constexpr std::int64_t kGzipSpan = std::int64_t{8} << 20;
constexpr std::int64_t kZstdSpan = std::int64_t{1} << 20;
constexpr std::size_t kWindow = 32768;

// Forward within this many bytes, the decompression goes on rather than start again.
constexpr std::int64_t kDecodeOnWithin = std::int64_t{8} << 20;

// xz's decoder may take this much memory (xz -9 takes 65 MB).
constexpr std::uint64_t kXzMemory = std::uint64_t{512} << 20;
// A stream's index, read whole, may take this much: a GB of listing in blocks of 1 MB
// takes some 30 KB; an index of many millions of blocks is no listing's.
constexpr std::uint64_t kXzIndexMemory = std::uint64_t{64} << 20;

[[noreturn]] void Damaged(std::string_view format, std::string_view what) {
    throw Failure(fail::DeviceIoError, "The compressed listing is damaged (" + std::string(format) +
                                           ": " + std::string(what) + ")");
}

// A place where decompression can start again.
struct RestartPoint {
    std::int64_t Out = 0;  // the listing's offset
    std::int64_t In = 0;   // the file's offset of the first compressed byte after it
    int Bits = 0;          // gzip: bits of the byte before In that belong after the point
    std::string Window;    // gzip: the listing's bytes just before Out (up to 32 KiB)
};

// The restart points of one version of one file, shared by every reading of it.
class RestartIndex {
public:
    explicit RestartIndex(std::int64_t span) : m_span(span) {}

    // True when a point at `out` would be kept (the last one is a span or more before it).
    bool Wants(std::int64_t out) const {
        std::lock_guard lock(m_mutex);
        return out >= m_wantedFrom;
    }
    void Add(RestartPoint point) {
        std::lock_guard lock(m_mutex);
        if (point.Out < m_wantedFrom) return;
        m_wantedFrom = point.Out + m_span;
        m_bytes += point.Window.size();
        m_points.push_back(std::move(point));
    }
    // The last point at or before `out`.
    std::optional<RestartPoint> Before(std::int64_t out) const {
        std::lock_guard lock(m_mutex);
        auto it = std::upper_bound(m_points.begin(), m_points.end(), out,
                                   [](std::int64_t o, const RestartPoint& p) { return o < p.Out; });
        if (it == m_points.begin()) return std::nullopt;
        return *std::prev(it);
    }
    void Ended(std::int64_t size) {
        std::lock_guard lock(m_mutex);
        m_size = size;
    }
    std::int64_t KnownSize() const {
        std::lock_guard lock(m_mutex);
        return m_size;
    }
    RestartPointsHeld Held() const {
        std::lock_guard lock(m_mutex);
        return {m_points.size(), m_bytes};
    }

private:
    mutable std::mutex m_mutex;
    std::int64_t m_span;
    std::int64_t m_wantedFrom = 1;  // the start needs no point
    std::vector<RestartPoint> m_points;
    std::size_t m_bytes = 0;
    std::int64_t m_size = -1;  // the listing's size once read to its end
};

// The indexes of the files read lately, by version (a file changed is another): a window
// opens a listing, then extracts from it with new readers.
class Indexes {
public:
    std::shared_ptr<RestartIndex> For(const FileIdentity& identity, std::int64_t span) {
        std::lock_guard lock(m_mutex);
        for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
            if (it->Identity == identity) {
                m_recent.splice(m_recent.begin(), m_recent, it);
                return it->Index;
            }
        }
        m_recent.push_front({identity, std::make_shared<RestartIndex>(span)});
        if (m_recent.size() > kKept) m_recent.pop_back();
        return m_recent.front().Index;
    }
    std::shared_ptr<RestartIndex> Find(const FileIdentity& identity) {
        std::lock_guard lock(m_mutex);
        for (const auto& entry : m_recent)
            if (entry.Identity == identity) return entry.Index;
        return nullptr;
    }

private:
    static constexpr std::size_t kKept = 16;
    struct Entry {
        FileIdentity Identity;
        std::shared_ptr<RestartIndex> Index;
    };
    std::mutex m_mutex;
    std::list<Entry> m_recent;
};

FileIdentity IdentityOf(const FileHandle& file) {
    FileIdentity identity = file.Identity();
    identity.Ends = file.HashOfEnds();
    return identity;
}

Indexes& KnownIndexes() {
    static Indexes indexes;
    return indexes;
}

// The compressed bytes, taken in order from any offset.
class CompressedInput {
public:
    explicit CompressedInput(const FileHandle& file) : m_file(file), m_buffer(kReadBytes) {}

    void SeekTo(std::int64_t offset) {
        m_offset = offset;
        m_begin = m_end = 0;
        m_readBytes = kFirstReadBytes;
    }
    // The bytes held from the offset on, read when none are (empty at the end of the file).
    std::pair<const unsigned char*, std::size_t> Held() {
        if (m_begin == m_end) Fill();
        return {m_buffer.data() + m_begin, m_end - m_begin};
    }
    // At least `count` bytes held when the file has them.
    std::size_t Peek(std::size_t count) {
        while (m_end - m_begin < count && Fill()) {
        }
        return m_end - m_begin;
    }
    const unsigned char* Data() const { return m_buffer.data() + m_begin; }
    void Consume(std::size_t count) {
        m_begin += count;
        m_offset += static_cast<std::int64_t>(count);
    }
    std::int64_t Offset() const { return m_offset; }

private:
    static constexpr std::size_t kReadBytes = std::size_t{256} << 10;
    bool Fill() {
        if (m_begin > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_buffer.size()) return false;
        // Small reads first: a reader that wants the header only reads little of the file.
        const std::size_t want = std::min(m_buffer.size() - m_end, m_readBytes);
        m_readBytes = std::min(2 * m_readBytes, kReadBytes);
        const std::size_t got = m_file.ReadAt(reinterpret_cast<char*>(m_buffer.data()) + m_end,
                                              want, m_offset + static_cast<std::int64_t>(m_end));
        m_end += got;
        return got > 0;
    }
    static constexpr std::size_t kFirstReadBytes = std::size_t{32} << 10;
    std::size_t m_readBytes = kFirstReadBytes;

    const FileHandle& m_file;
    std::vector<unsigned char> m_buffer;
    std::size_t m_begin = 0, m_end = 0;
    std::int64_t m_offset = 0;  // of m_buffer[m_begin]
};

// One format's decompression, on the read-ahead thread.
class Decoder {
public:
    Decoder(const FileHandle& file, RestartIndex& index) : m_in(file), m_index(index) {}
    virtual ~Decoder() = default;
    // Fills [out, out + room) with the listing's next bytes; fewer only at its end.
    virtual std::size_t Decode(char* out, std::size_t room) = 0;
    // Starts again at `point`, or at the start of the file.
    virtual void StartAt(const RestartPoint* point) = 0;
    // Where decompression can start again at a point of the index, or none.
    virtual bool Restarts() const { return false; }

    std::int64_t Out() const { return m_out; }
    std::int64_t In() const { return m_in.Offset(); }

protected:
    CompressedInput m_in;
    RestartIndex& m_index;
    std::int64_t m_out = 0;
    bool m_done = false;
};

class GzipDecoder final : public Decoder {
public:
    GzipDecoder(const FileHandle& file, RestartIndex& index) : Decoder(file, index) {
        if (inflateInit2(&m_z, kGzip) != Z_OK) Raise(fail::OutOfMemory);
    }
    ~GzipDecoder() override { inflateEnd(&m_z); }
    bool Restarts() const override { return true; }

    void StartAt(const RestartPoint* point) override {
        m_done = false;
        if (!point) {
            m_in.SeekTo(0);
            m_out = 0;
            m_raw = false;
            inflateReset2(&m_z, kGzip);
            return;
        }
        m_in.SeekTo(point->In - (point->Bits ? 1 : 0));
        m_out = point->Out;
        m_raw = true;
        inflateReset2(&m_z, -15);
        if (point->Bits) {
            if (m_in.Peek(1) < 1) Damaged("gzip", "unexpected end of file");
            const int byte = *m_in.Data();
            m_in.Consume(1);
            inflatePrime(&m_z, point->Bits, byte >> (8 - point->Bits));
        }
        inflateSetDictionary(&m_z, reinterpret_cast<const Bytef*>(point->Window.data()),
                             static_cast<uInt>(point->Window.size()));
    }

    std::size_t Decode(char* out, std::size_t room) override {
        std::size_t produced = 0;
        while (produced < room && !m_done) {
            const auto [data, held] = m_in.Held();
            m_z.next_in = const_cast<Bytef*>(data);
            m_z.avail_in = static_cast<uInt>(std::min<std::size_t>(held, UINT32_MAX));
            m_z.next_out = reinterpret_cast<Bytef*>(out + produced);
            m_z.avail_out = static_cast<uInt>(room - produced);
            const int r = inflate(&m_z, Z_BLOCK);
            const std::size_t got = room - produced - m_z.avail_out;
            m_in.Consume(held - m_z.avail_in);
            produced += got;
            m_out += static_cast<std::int64_t>(got);
            if (r == Z_STREAM_END) {
                MemberEnded();
                continue;
            }
            if (r == Z_MEM_ERROR) Raise(fail::OutOfMemory);
            if (r == Z_DATA_ERROR || r == Z_NEED_DICT || r == Z_STREAM_ERROR)
                Damaged("gzip", m_z.msg ? m_z.msg : "invalid data");
            if (held == 0 && got == 0) {
                m_done = true;  // cut short: the listing ends where its bytes do
                break;
            }
            // The end of a block that is not the member's last: a place to start again.
            if ((m_z.data_type & 128) && !(m_z.data_type & 64) && m_index.Wants(m_out)) {
                const auto window = static_cast<std::size_t>(
                    std::min<std::int64_t>(m_out, static_cast<std::int64_t>(kWindow)));
                if (produced >= window)
                    m_index.Add({m_out, m_in.Offset(), m_z.data_type & 7,
                                 std::string(out + produced - window, window)});
            }
        }
        return produced;
    }

private:
    static constexpr int kGzip = 15 + 16;

    // After a member: its trailer (read by zlib in gzip mode, passed over after a restart),
    // then another member, or the end (what follows that is no member is not looked at,
    // as gzip ignores it).
    void MemberEnded() {
        if (m_raw) {
            if (m_in.Peek(8) < 8) {
                m_done = true;
                return;
            }
            m_in.Consume(8);
            m_raw = false;
        }
        if (m_in.Peek(2) < 2 || m_in.Data()[0] != 0x1f || m_in.Data()[1] != 0x8b) {
            m_done = true;
            return;
        }
        inflateReset2(&m_z, kGzip);
    }

    z_stream m_z{};
    bool m_raw = false;  // started at a point: raw deflate up to the member's end
};

class ZstdDecoder final : public Decoder {
public:
    ZstdDecoder(const FileHandle& file, RestartIndex& index)
        : Decoder(file, index), m_z(ZSTD_createDStream()) {
        if (!m_z) Raise(fail::OutOfMemory);
    }
    ~ZstdDecoder() override { ZSTD_freeDStream(m_z); }
    bool Restarts() const override { return true; }

    void StartAt(const RestartPoint* point) override {
        m_done = false;
        ZSTD_DCtx_reset(m_z, ZSTD_reset_session_only);
        m_in.SeekTo(point ? point->In : 0);
        m_out = point ? point->Out : 0;
    }

    std::size_t Decode(char* out, std::size_t room) override {
        std::size_t produced = 0;
        while (produced < room && !m_done) {
            const auto [data, held] = m_in.Held();
            ZSTD_inBuffer in{data, held, 0};
            ZSTD_outBuffer o{out + produced, room - produced, 0};
            const std::size_t r = ZSTD_decompressStream(m_z, &o, &in);
            m_in.Consume(in.pos);
            produced += o.pos;
            m_out += static_cast<std::int64_t>(o.pos);
            if (ZSTD_isError(r)) {
                if (ZSTD_getErrorCode(r) == ZSTD_error_memory_allocation) Raise(fail::OutOfMemory);
                Damaged("zstd", ZSTD_getErrorName(r));
            }
            // A frame ends: the next starts afresh.
            if (r == 0 && m_index.Wants(m_out)) m_index.Add({m_out, m_in.Offset(), 0, {}});
            if (held == 0 && o.pos == 0) m_done = true;  // the end, or cut short
        }
        return produced;
    }

private:
    ZSTD_DStream* m_z;
};

// xz, block after block, so that decompression can start again at any block (`xz -T0`
// and other multi-threaded writers cut a stream into blocks of a few MB; `xz` alone
// writes one). Each block is checked by liblzma as it is decoded (its header's CRC32, its
// data, its check); each stream's index against the blocks decoded (their count and
// size, the index's own CRC32) and its footer against its header; streams may follow one
// another with padding between them, as `xz` allows.
class XzDecoder final : public Decoder {
public:
    XzDecoder(const FileHandle& file, RestartIndex& index) : Decoder(file, index) {
        m_filters[0].id = LZMA_VLI_UNKNOWN;
    }
    ~XzDecoder() override {
        lzma_end(&m_z);
        lzma_filters_free(m_filters, nullptr);
        if (m_indexRead) lzma_index_end(m_indexRead, nullptr);
    }
    bool Restarts() const override { return true; }

    void StartAt(const RestartPoint* point) override {
        m_done = false;
        lzma_end(&m_z);
        m_z = LZMA_STREAM_INIT;
        m_streams = 0;
        if (!point) {
            m_in.SeekTo(0);
            m_out = 0;
            m_phase = Phase::StreamHeader;
            return;
        }
        // A block's start: the stream's check is the point's; the blocks before it are not
        // counted, so the index is read but not held against them.
        m_in.SeekTo(point->In);
        m_out = point->Out;
        m_flags = lzma_stream_flags{};
        m_flags.backward_size = LZMA_VLI_UNKNOWN;  // as a header leaves it
        m_flags.check = static_cast<lzma_check>(point->Bits);
        m_whole = false;
        m_streams = 1;
        m_phase = Phase::BlockHeader;
    }

    std::size_t Decode(char* out, std::size_t room) override {
        std::size_t produced = 0;
        while (produced < room && !m_done) {
            switch (m_phase) {
                case Phase::StreamHeader:
                    StreamHeader();
                    break;
                case Phase::BlockHeader:
                    BlockHeader();
                    break;
                case Phase::Block:
                    produced += Block(out + produced, room - produced);
                    break;
                case Phase::Index:
                    Index();
                    break;
                case Phase::StreamFooter:
                    StreamFooter();
                    break;
            }
        }
        return produced;
    }

private:
    enum class Phase { StreamHeader, BlockHeader, Block, Index, StreamFooter };

    // A stream's header, after the padding that may stand before a stream that follows
    // another; the end of the file after a whole stream is the listing's end.
    void StreamHeader() {
        if (m_streams > 0) {
            while (m_in.Peek(4) >= 4 && std::memcmp(m_in.Data(), "\0\0\0\0", 4) == 0)
                m_in.Consume(4);
            if (m_in.Peek(1) == 0) {
                m_done = true;
                return;
            }
        }
        if (m_in.Peek(LZMA_STREAM_HEADER_SIZE) < LZMA_STREAM_HEADER_SIZE) {
            if (m_streams > 0) Damaged("xz", "corrupt data");
            m_done = true;  // cut short in the header: nothing of the listing
            return;
        }
        const lzma_ret r = lzma_stream_header_decode(&m_flags, m_in.Data());
        if (r == LZMA_FORMAT_ERROR)
            Damaged("xz", m_streams == 0 ? "not in the xz format" : "corrupt data");
        if (r == LZMA_OPTIONS_ERROR) Damaged("xz", "unsupported options");
        if (r != LZMA_OK) Damaged("xz", "corrupt data");
        m_in.Consume(LZMA_STREAM_HEADER_SIZE);
        ++m_streams;
        m_whole = true;
        m_blocks = 0;
        m_streamOut = 0;
        m_phase = Phase::BlockHeader;
    }

    // A block's header (a place to start again), or the index that follows the last block.
    void BlockHeader() {
        if (m_in.Peek(1) < 1) {
            m_done = true;  // cut short
            return;
        }
        if (*m_in.Data() == 0) {
            lzma_end(&m_z);
            m_z = LZMA_STREAM_INIT;
            if (lzma_index_decoder(&m_z, &m_indexRead, kXzIndexMemory) != LZMA_OK)
                Raise(fail::OutOfMemory);
            m_phase = Phase::Index;
            return;
        }
        const std::uint32_t size = lzma_block_header_size_decode(*m_in.Data());
        if (m_in.Peek(size) < size) {
            m_done = true;
            return;
        }
        lzma_filters_free(m_filters, nullptr);
        m_block = lzma_block{};
        m_block.version = 1;
        m_block.check = m_flags.check;
        m_block.filters = m_filters;
        m_block.header_size = size;
        const lzma_ret r = lzma_block_header_decode(&m_block, nullptr, m_in.Data());
        if (r == LZMA_OPTIONS_ERROR) Damaged("xz", "unsupported options");
        if (r == LZMA_MEM_ERROR) Raise(fail::OutOfMemory);
        if (r != LZMA_OK) Damaged("xz", "corrupt data");
        if (lzma_raw_decoder_memusage(m_filters) > kXzMemory)
            Damaged("xz", "it needs more memory than any listing's compression");
        if (m_index.Wants(m_out))
            m_index.Add({m_out, m_in.Offset(), static_cast<int>(m_flags.check), {}});
        m_in.Consume(size);
        const lzma_ret init = lzma_block_decoder(&m_z, &m_block);
        if (init == LZMA_MEM_ERROR) Raise(fail::OutOfMemory);
        if (init != LZMA_OK && init != LZMA_UNSUPPORTED_CHECK) Damaged("xz", "unsupported options");
        m_phase = Phase::Block;
    }

    std::size_t Block(char* out, std::size_t room) {
        const auto [data, held] = m_in.Held();
        m_z.next_in = data;
        m_z.avail_in = held;
        m_z.next_out = reinterpret_cast<std::uint8_t*>(out);
        m_z.avail_out = room;
        const lzma_ret r = lzma_code(&m_z, held == 0 ? LZMA_FINISH : LZMA_RUN);
        const std::size_t got = room - m_z.avail_out;
        m_in.Consume(held - m_z.avail_in);
        m_out += static_cast<std::int64_t>(got);
        m_streamOut += got;
        switch (r) {
            case LZMA_OK:
                if (held == 0 && got == 0) m_done = true;  // cut short
                break;
            case LZMA_STREAM_END:
                ++m_blocks;
                m_phase = Phase::BlockHeader;
                break;
            case LZMA_BUF_ERROR:  // no more bytes: cut short
                m_done = true;
                break;
            case LZMA_MEM_ERROR:
                Raise(fail::OutOfMemory);
            case LZMA_OPTIONS_ERROR:
                Damaged("xz", "unsupported options");
            default:
                Damaged("xz", "corrupt data");
        }
        return got;
    }

    // The stream's index: read whole (its own CRC32 checked), then held against the
    // blocks decoded when they were all of the stream's.
    void Index() {
        const auto [data, held] = m_in.Held();
        m_z.next_in = data;
        m_z.avail_in = held;
        const lzma_ret r = lzma_code(&m_z, held == 0 ? LZMA_FINISH : LZMA_RUN);
        m_in.Consume(held - m_z.avail_in);
        if (r == LZMA_OK) {
            if (held == 0) m_done = true;  // cut short
            return;
        }
        if (r == LZMA_BUF_ERROR) {
            m_done = true;
            return;
        }
        if (r == LZMA_MEM_ERROR) Raise(fail::OutOfMemory);
        if (r == LZMA_MEMLIMIT_ERROR)
            Damaged("xz", "its index lists more blocks than any listing's compression");
        if (r != LZMA_STREAM_END) Damaged("xz", "corrupt data");
        m_indexSize = lzma_index_size(m_indexRead);
        const bool matches = !m_whole || (lzma_index_block_count(m_indexRead) == m_blocks &&
                                          lzma_index_uncompressed_size(m_indexRead) == m_streamOut);
        lzma_index_end(m_indexRead, nullptr);
        m_indexRead = nullptr;
        lzma_end(&m_z);
        m_z = LZMA_STREAM_INIT;
        if (!matches) Damaged("xz", "corrupt data");
        m_phase = Phase::StreamFooter;
    }

    void StreamFooter() {
        if (m_in.Peek(LZMA_STREAM_HEADER_SIZE) < LZMA_STREAM_HEADER_SIZE) {
            m_done = true;  // cut short
            return;
        }
        lzma_stream_flags footer;
        if (lzma_stream_footer_decode(&footer, m_in.Data()) != LZMA_OK ||
            lzma_stream_flags_compare(&m_flags, &footer) != LZMA_OK ||
            footer.backward_size != m_indexSize)
            Damaged("xz", "corrupt data");
        m_in.Consume(LZMA_STREAM_HEADER_SIZE);
        m_phase = Phase::StreamHeader;
    }

    lzma_stream m_z = LZMA_STREAM_INIT;
    Phase m_phase = Phase::StreamHeader;
    lzma_stream_flags m_flags{};
    lzma_block m_block{};
    lzma_filter m_filters[LZMA_FILTERS_MAX + 1];
    lzma_index* m_indexRead = nullptr;
    lzma_vli m_indexSize = 0;
    int m_streams = 0;    // begun so far
    bool m_whole = true;  // every block of the stream was decoded (no start at a block)
    std::uint64_t m_blocks = 0, m_streamOut = 0;  // of the stream, as decoded
};

// What the read-ahead thread hands over.
struct Chunk {
    std::unique_ptr<char[]> Bytes;
    std::size_t Size = 0;
    std::int64_t Out = 0;      // the listing's offset of Bytes[0]
    std::int64_t InAfter = 0;  // compressed bytes taken once it was decoded
    bool End = false;          // nothing follows (the listing's end, or Failure)
    std::exception_ptr Failure;
};

class CompressedSource final : public ByteSource {
public:
    CompressedSource(FileHandle file, Compression kind) : m_file(std::move(file)), m_kind(kind) {
        m_index = KnownIndexes().For(IdentityOf(m_file),
                                     kind == Compression::Gzip ? kGzipSpan : kZstdSpan);
        switch (kind) {
            case Compression::Gzip:
                m_decoder = std::make_unique<GzipDecoder>(m_file, *m_index);
                break;
            case Compression::Zstd:
                m_decoder = std::make_unique<ZstdDecoder>(m_file, *m_index);
                break;
            default:
                m_decoder = std::make_unique<XzDecoder>(m_file, *m_index);
                break;
        }
    }
    ~CompressedSource() override { StopAhead(); }

    std::size_t Read(char* into, std::size_t count, std::int64_t offset) override {
        if (offset != m_next) MoveTo(offset);
        for (;;) {
            if (m_taken < m_current.Size) {
                const std::size_t n = std::min(count, m_current.Size - m_taken);
                std::memcpy(into, m_current.Bytes.get() + m_taken, n);
                m_taken += n;
                m_next += static_cast<std::int64_t>(n);
                return n;
            }
            if (m_current.End) {
                if (m_current.Failure) std::rethrow_exception(m_current.Failure);
                return 0;
            }
            NextChunk();
        }
    }

    std::int64_t Size() const override {
        const std::int64_t known = m_index->KnownSize();
        if (known >= 0) return known;
        const std::int64_t in = m_current.InAfter,
                           out = m_current.Out + static_cast<std::int64_t>(m_current.Size);
        if (in <= 0 || out <= 0) return m_file.Size() * 8;
        return std::max(
            out, static_cast<std::int64_t>(static_cast<double>(out) / static_cast<double>(in) *
                                           static_cast<double>(m_file.Size())));
    }
    double Fraction(std::int64_t) const override {
        return m_file.Size() > 0 ? std::min(1.0, static_cast<double>(m_current.InAfter) /
                                                     static_cast<double>(m_file.Size()))
                                 : 0.0;
    }
    bool CanSeek() const override {
        return m_decoder->Restarts() && (m_kind == Compression::Gzip || m_index->Held().Points > 0);
    }
    Compression Kind() const override { return m_kind; }

private:
    // The listing's next byte to hand over is to be the one at `offset`.
    void MoveTo(std::int64_t offset) {
        // Within the chunk in hand.
        if (offset >= m_current.Out &&
            offset <= m_current.Out + static_cast<std::int64_t>(m_current.Size) &&
            m_current.Bytes) {
            m_taken = static_cast<std::size_t>(offset - m_current.Out);
            m_next = offset;
            return;
        }
        const std::optional<RestartPoint> point = m_index->Before(offset);
        const bool onward = offset > m_next &&
                            (offset - m_next <= kDecodeOnWithin || !point || point->Out <= m_next);
        if (!onward) {
            StopAhead();
            m_decoder->StartAt(point ? &*point : nullptr);
            m_next = m_decoder->Out();
            m_current = Chunk{};
            m_current.Out = m_next;
            m_taken = 0;
        }
        // Decompressed on to the offset, the bytes before it passed over.
        while (m_next < offset) {
            if (m_taken == m_current.Size) {
                if (m_current.End) return;  // past the end: the next read finds it
                NextChunk();
                continue;
            }
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(
                offset - m_next, static_cast<std::int64_t>(m_current.Size - m_taken)));
            m_taken += n;
            m_next += static_cast<std::int64_t>(n);
        }
    }

    // The next chunk from the read-ahead thread, started when it is not running.
    void NextChunk() {
        if (!m_ahead.joinable()) StartAhead();
        std::unique_lock lock(m_mutex);
        if (m_current.Bytes) m_free.push_back(std::move(m_current.Bytes));
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_ready.empty(); });
        m_current = std::move(m_ready.front());
        m_ready.pop_front();
        m_taken = 0;
        // A reader that goes on past its first chunks is given more ahead, up to
        // kChunksAhead; one that wants a few lines (the header) is given one.
        if (++m_chunksTaken > 1) m_aheadMost = std::min(2 * m_aheadMost, kChunksAhead);
        m_changed.notify_all();
    }

    void StartAhead() {
        m_stop = false;
        m_aheadMost = 1;
        m_chunksTaken = 0;
        m_ahead = std::thread([this] { Ahead(); });
    }

    void StopAhead() {
        if (!m_ahead.joinable()) return;
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_ahead.join();
        std::lock_guard lock(m_mutex);
        for (auto& chunk : m_ready)
            if (chunk.Bytes) m_free.push_back(std::move(chunk.Bytes));
        m_ready.clear();
    }

    void Ahead() {
        for (;;) {
            std::unique_ptr<char[]> bytes;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stop || m_ready.size() < m_aheadMost; });
                if (m_stop) return;
                if (!m_free.empty()) {
                    bytes = std::move(m_free.back());
                    m_free.pop_back();
                }
            }
            Chunk chunk;
            chunk.Out = m_decoder->Out();
            try {
                if (!bytes) bytes.reset(new char[kChunkBytes]);
                chunk.Size = m_decoder->Decode(bytes.get(), kChunkBytes);
                chunk.End = chunk.Size < kChunkBytes;
                const std::int64_t out = m_decoder->Out(), in = m_decoder->In();
                if (out > kRatioFreeBytes && out / kMostRatio > in)
                    throw Failure(fail::DeviceIoError,
                                  "The compressed file expands to more than " +
                                      std::to_string(kMostRatio) +
                                      " times its size, far beyond any listing");
                if (chunk.End) m_index->Ended(out);
            } catch (...) {
                chunk.Failure = std::current_exception();
                chunk.End = true;
            }
            chunk.InAfter = m_decoder->In();
            chunk.Bytes = std::move(bytes);
            const bool end = chunk.End;
            {
                std::lock_guard lock(m_mutex);
                m_ready.push_back(std::move(chunk));
            }
            m_changed.notify_all();
            if (end) return;
        }
    }

    FileHandle m_file;
    Compression m_kind;
    std::shared_ptr<RestartIndex> m_index;
    std::unique_ptr<Decoder> m_decoder;  // the read-ahead thread's while it runs

    Chunk m_current;          // the chunk being handed over
    std::size_t m_taken = 0;  // its bytes handed over
    std::int64_t m_next = 0;  // the listing's offset of the next byte handed over

    std::thread m_ahead;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Chunk> m_ready;
    std::vector<std::unique_ptr<char[]>> m_free;
    bool m_stop = false;
    std::size_t m_aheadMost = 1;  // chunks decoded ahead: one at first, more as they are taken
    std::size_t m_chunksTaken = 0;
};

}  // namespace

std::unique_ptr<ByteSource> OpenCompressed(FileHandle file, Compression kind) {
    return std::make_unique<CompressedSource>(std::move(file), kind);
}

RestartPointsHeld RestartPointsOf(const std::filesystem::path& path) {
    try {
        FileHandle file(path);
        if (auto index = KnownIndexes().Find(IdentityOf(file))) return index->Held();
    } catch (...) {
    }
    return {};
}

}  // namespace vx
