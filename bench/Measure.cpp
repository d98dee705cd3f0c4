// vorax-bench-measure: runs one command once and prints its wall-clock time in seconds,
// its peak resident memory in kilobytes and its processor time (user and system, every
// thread) in seconds, for scripts/bench.
//
//   vorax-bench-measure OUT -- COMMAND [ARGUMENTS...]
//
// The command's standard output goes to OUT (/dev/null to drop it). Prints
// "SECONDS PEAK_KB STATUS PROCESSOR_SECONDS BYTES_READ" on one line (BYTES_READ: what the
// command read through read calls, rchar of /proc/PID/io, taken as it ended; -1 where the
// system does not tell); exits with 1 when the command could not run.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: vorax-bench-measure OUT -- COMMAND [ARGUMENTS...]\n");
        return 2;
    }
    const int out = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) {
        std::perror("fork");
        return 1;
    }
    if (child == 0) {
        ::dup2(out, STDOUT_FILENO);
        ::execvp(argv[3], argv + 3);
        std::perror(argv[3]);
        ::_exit(127);
    }
    // The child's bytes read, while it is a zombie: its /proc entry goes when it is reaped.
    long long bytesRead = -1;
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) == 0) {
        std::ifstream io("/proc/" + std::to_string(child) + "/io");
        std::string key;
        long long value = 0;
        while (io >> key >> value)
            if (key == "rchar:") bytesRead = value;
    }
    int status = 0;
    struct rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child) {
        std::perror("wait4");
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    auto secondsOf = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    std::printf("%.4f %ld %d %.4f %lld\n", seconds, usage.ru_maxrss, code,
                secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime), bytesRead);
    return code == 127 ? 1 : 0;
}
