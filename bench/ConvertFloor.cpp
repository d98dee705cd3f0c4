// vorax-bench-convert: reads each file given on a thread of its own, in 256 KiB reads, and
// converts every word of it that reads as a number (std::from_chars, to a single), doing
// nothing else. scripts/bench times it as the floor of a command that must read listings
// whole and convert the numbers in them (compare).
//
//   vorax-bench-convert FILE...
//
// Prints the count of numbers converted and their sum, so that no work can be left out.

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Converted {
    std::int64_t Count = 0;
    double Sum = 0;
    bool Failed = false;
};

bool Blank(char c) {
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Converts the words of [at, end); a word cut by the end of the buffer is left for the next
// read: returns where it starts.
const char* ConvertWords(const char* at, const char* end, bool last, Converted& out) {
    while (at < end) {
        while (at < end && Blank(*at)) ++at;
        const char* word = at;
        while (at < end && !Blank(*at)) ++at;
        if (at == end && !last) return word;
        if (word == at) break;
        float value = 0;
        const auto [ptr, ec] = std::from_chars(word, at, value);
        if (ec == std::errc() && ptr != word) {
            ++out.Count;
            out.Sum += value;
        }
    }
    return end;
}

void ConvertFile(const char* path, Converted& out) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path);
        out.Failed = true;
        return;
    }
    constexpr std::size_t kRead = std::size_t{256} << 10;
    std::vector<char> buffer(2 * kRead);
    std::size_t held = 0;
    for (;;) {
        if (buffer.size() - held < kRead) buffer.resize(held + kRead);
        const ssize_t got = ::read(fd, buffer.data() + held, kRead);
        if (got < 0) {
            std::perror(path);
            out.Failed = true;
            break;
        }
        held += static_cast<std::size_t>(got);
        const bool last = got == 0;
        const char* rest = ConvertWords(buffer.data(), buffer.data() + held, last, out);
        const auto left = static_cast<std::size_t>(buffer.data() + held - rest);
        std::memmove(buffer.data(), rest, left);
        held = left;
        if (last) break;
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vorax-bench-convert FILE...\n");
        return 2;
    }
    std::vector<Converted> results(static_cast<std::size_t>(argc - 1));
    std::vector<std::thread> crew;
    for (int i = 1; i < argc; ++i)
        crew.emplace_back(ConvertFile, argv[i], std::ref(results[static_cast<std::size_t>(i - 1)]));
    for (auto& thread : crew) thread.join();
    Converted total;
    for (const auto& r : results) {
        total.Count += r.Count;
        total.Sum += r.Sum;
        total.Failed = total.Failed || r.Failed;
    }
    std::printf("%lld numbers, sum %g\n", static_cast<long long>(total.Count), total.Sum);
    return total.Failed ? 1 : 0;
}
