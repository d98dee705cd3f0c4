// vorax-bench-read: reads a file the way the scan does (4 MiB pieces taken in turn by one
// thread per processor, at most four, each piece read in 256 KiB preads) and does nothing
// else with the bytes, or only counts its lines. scripts/bench times it as the floor
// below which no reader of a listing on this machine can go.
//
//   vorax-bench-read FILE [--lines]
//
// Prints the number of bytes read, or of lines with --lines.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::int64_t CountLines(const char* at, const char* end) {
    std::int64_t count = 0;
    while ((
        at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at))))) {
        ++count;
        ++at;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const bool lines = argc == 3 && std::strcmp(argv[2], "--lines") == 0;
    if (argc < 2 || argc > 3 || (argc == 3 && !lines)) {
        std::fprintf(stderr, "usage: vorax-bench-read FILE [--lines]\n");
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    constexpr std::int64_t kPiece = std::int64_t{4} << 20;
    constexpr std::size_t kRead = std::size_t{256} << 10;
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::atomic<std::int64_t> nextPiece{0}, total{0};
    std::atomic<int> failed{0};  // the errno of a failed read
    std::vector<std::thread> crew;
    for (unsigned i = 0; i < threads; ++i) {
        crew.emplace_back([&] {
            std::vector<char> buffer(kRead);
            std::int64_t counted = 0;
            for (;;) {
                const std::int64_t start = nextPiece.fetch_add(1) * kPiece;
                bool end = false;
                for (std::int64_t at = start; at < start + kPiece;) {
                    const auto want = static_cast<std::size_t>(
                        std::min<std::int64_t>(kRead, start + kPiece - at));
                    const ssize_t got = ::pread(fd, buffer.data(), want, at);
                    if (got < 0) failed = errno;
                    if (got <= 0) {
                        end = true;
                        break;
                    }
                    counted += lines ? CountLines(buffer.data(), buffer.data() + got) : got;
                    at += got;
                }
                if (end || failed) break;
            }
            total += counted;
        });
    }
    for (auto& thread : crew) thread.join();
    if (failed) {
        std::fprintf(stderr, "%s: %s\n", argv[1], std::strerror(failed));
        return 1;
    }
    std::printf("%lld\n", static_cast<long long>(total.load()));
    return 0;
}
