#include "tests/support/Compress.h"

#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace vx::test {

namespace {

std::string GzipMember(std::string_view bytes, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string ZstdFrame(std::string_view bytes, int level) {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    std::string out(ZSTD_compressBound(bytes.size()), '\0');
    const std::size_t n = ZSTD_compress2(c, out.data(), out.size(), bytes.data(), bytes.size());
    ZSTD_freeCCtx(c);
    if (ZSTD_isError(n)) throw std::runtime_error("ZSTD_compress2");
    out.resize(n);
    return out;
}

std::string XzStream(std::string_view bytes, int level) {
    std::string out(lzma_stream_buffer_bound(bytes.size()), '\0');
    std::size_t n = 0;
    if (lzma_easy_buffer_encode(static_cast<std::uint32_t>(level), LZMA_CHECK_CRC64, nullptr,
                                reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                reinterpret_cast<std::uint8_t*>(out.data()), &n,
                                out.size()) != LZMA_OK)
        throw std::runtime_error("lzma_easy_buffer_encode");
    out.resize(n);
    return out;
}

// Blocks of `block` bytes of listing each, as multi-threaded writers (`xz -T0`) cut them.
std::string XzBlocks(std::string_view bytes, int level, std::size_t block) {
    lzma_mt options{};
    options.threads = 1;
    options.block_size = block;
    options.preset = static_cast<std::uint32_t>(level);
    options.check = LZMA_CHECK_CRC32;
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_stream_encoder_mt(&z, &options) != LZMA_OK)
        throw std::runtime_error("lzma_stream_encoder_mt");
    std::string out(lzma_stream_buffer_bound(bytes.size()) + 4096, '\0');
    z.next_in = reinterpret_cast<const std::uint8_t*>(bytes.data());
    z.avail_in = bytes.size();
    z.next_out = reinterpret_cast<std::uint8_t*>(out.data());
    z.avail_out = out.size();
    const lzma_ret r = lzma_code(&z, LZMA_FINISH);
    out.resize(out.size() - z.avail_out);
    lzma_end(&z);
    if (r != LZMA_STREAM_END) throw std::runtime_error("lzma_code");
    return out;
}

}  // namespace

std::span<const Packing> EveryPacking() {
    static constexpr std::array kAll{Packing::Gzip,       Packing::GzipMembers, Packing::Zstd,
                                     Packing::ZstdFrames, Packing::Pzstd,       Packing::Xz,
                                     Packing::XzBlocks};
    return kAll;
}

std::string_view NameOf(Packing packing) {
    switch (packing) {
        case Packing::Gzip:
            return "gzip";
        case Packing::GzipMembers:
            return "gzip, three members";
        case Packing::Zstd:
            return "zstd";
        case Packing::ZstdFrames:
            return "zstd, many frames";
        case Packing::Pzstd:
            return "zstd, frames after skippable frames (as pzstd writes)";
        case Packing::Xz:
            return "xz";
        case Packing::XzBlocks:
            return "xz, blocks and two streams";
    }
    return "?";
}

std::string Pack(std::string_view bytes, Packing packing, int level) {
    switch (packing) {
        case Packing::Gzip:
            return GzipMember(bytes, level);
        case Packing::GzipMembers: {
            const std::size_t a = bytes.size() / 3 + 7, b = std::max(a, bytes.size() * 3 / 4 + 1);
            const std::size_t cutA = std::min(a, bytes.size()), cutB = std::min(b, bytes.size());
            return GzipMember(bytes.substr(0, cutA), level) +
                   GzipMember(bytes.substr(cutA, cutB - cutA), level) +
                   GzipMember(bytes.substr(cutB), level);
        }
        case Packing::Zstd:
            return ZstdFrame(bytes, level);
        case Packing::ZstdFrames: {
            std::string out;
            constexpr std::size_t kFrame = 65536;
            for (std::size_t at = 0; at < bytes.size() || at == 0; at += kFrame)
                out += ZstdFrame(bytes.substr(at, kFrame), level);
            return out;
        }
        case Packing::Pzstd: {
            // Before each frame, a skippable frame holding the frame's size.
            auto le32 = [](std::size_t v) {
                std::string four(4, '\0');
                for (int i = 0; i < 4; ++i)
                    four[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xff);
                return four;
            };
            std::string out;
            constexpr std::size_t kFrame = 65536;
            for (std::size_t at = 0; at < bytes.size() || at == 0; at += kFrame) {
                const std::string frame = ZstdFrame(bytes.substr(at, kFrame), level);
                out += std::string("\x50\x2a\x4d\x18", 4) + le32(4) + le32(frame.size()) + frame;
            }
            return out;
        }
        case Packing::Xz:
            return XzStream(bytes, level);
        case Packing::XzBlocks: {
            // Two streams, four bytes of padding between them, as xz allows.
            const std::size_t cut = bytes.size() / 2;
            return XzBlocks(bytes.substr(0, cut), level, 65536) + std::string(4, '\0') +
                   XzBlocks(bytes.substr(cut), level, 65536);
        }
    }
    return {};
}

}  // namespace vx::test
