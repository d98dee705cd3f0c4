#pragma once

#include <span>
#include <string>
#include <string_view>

// A listing's bytes compressed as archives hold them, through the libraries themselves.
namespace vx::test {

enum class Packing {
    Gzip,         // one gzip member
    GzipMembers,  // three members, cut at uneven places (as pigz or `cat a.gz b.gz` make)
    Zstd,         // one frame, with its checksum (as `zstd` writes)
    ZstdFrames,   // a frame every 64 KiB of listing
    Pzstd,        // the same, each frame after a skippable frame holding its size (as pzstd)
    Xz,           // one stream, CRC64 (as `xz` writes)
    XzBlocks,     // two streams of blocks of 64 KiB of listing (as `xz -T0` cuts them)
};

std::span<const Packing> EveryPacking();
std::string_view NameOf(Packing packing);
// `level`: the format's own compression level (gzip 1-9, zstd 1-19, xz 0-9).
std::string Pack(std::string_view bytes, Packing packing, int level = 1);

}  // namespace vx::test
