#include "sheet/FileReplacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>

#include "common/Failure.h"

namespace vx {

bool IsHeldByAnother(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;  // unreadable: the deletion itself will say what is wrong
    bool held = false;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    // An OFD probe also sees the POSIX locks of this very process; older kernels lack it.
    if (::fcntl(fd, F_OFD_GETLK, &probe) == 0) {
        held = probe.l_type != F_UNLCK;
    } else {
        probe = {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        if (::fcntl(fd, F_GETLK, &probe) == 0) held = probe.l_type != F_UNLCK;
    }
    if (!held && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) held = true;
    ::close(fd);
    return held;
}

namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ReadLink(const std::string& link) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
        if (n < 0) throw FailureFromErrno(errno);
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The file a path ends at once every symbolic link on the way is followed, whether or
// not that file exists yet.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat entry;
        if (::lstat(path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) return path;
        std::string target = ReadLink(path);
        path = target.starts_with('/') ? target : FolderOf(path) + "/" + target;
    }
    throw FailureFromErrno(ELOOP);
}

// A hidden name beside the destination that no one else is likely to pick.
std::string TemporaryName(const std::string& folder, const std::string& target) {
    static std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::string base = target.substr(target.find_last_of('/') + 1);
    if (base.size() > 200) base.resize(200);
    char tag[24];
    std::snprintf(tag, sizeof tag, ".%016llx.part", static_cast<unsigned long long>(random()));
    return (folder == "/" ? "" : folder) + "/." + base + tag;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& destination) {
    if (destination.empty() || destination.find('\0') != std::string::npos)
        Raise(fail::BadFileNameOrNumber);
    m_target = FollowLinks(destination);
    m_folder = FolderOf(m_target);
    struct stat existing;
    if (::stat(m_target.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) throw FailureFromErrno(EISDIR);
        if (!S_ISREG(existing.st_mode)) Raise(fail::PathFileAccessError);
        if (IsHeldByAnother(m_target.c_str())) Raise(fail::PermissionDenied);
    }
    // 0666: the kernel takes the umask (or the folder's default ACL) off, as for any file.
    m_fd = ::open(m_folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (m_fd >= 0) return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) throw FailureFromErrno(errno);
    // A file system without nameless files: a hidden name, removed on every way out but a crash.
    for (int attempt = 0; m_fd < 0; ++attempt) {
        m_temporary = TemporaryName(m_folder, m_target);
        m_fd = ::open(m_temporary.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOCTTY, 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt == 100)) {
            const int error = errno;
            m_temporary.clear();
            throw FailureFromErrno(error);
        }
    }
}

FileReplacement::~FileReplacement() {
    Discard();
}

std::string FileReplacement::Reopenable() const {
    return m_temporary.empty() ? "/proc/self/fd/" + std::to_string(m_fd) : m_temporary;
}

void FileReplacement::Commit() {
    if (m_fd < 0) Raise(fail::BadFileNameOrNumber);
    // A nameless file gets its hidden name only now, complete, just before the rename.
    while (m_temporary.empty()) {
        std::string name = TemporaryName(m_folder, m_target);
        if (::linkat(m_fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ||
            ::linkat(AT_FDCWD, Reopenable().c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) ==
                0) {
            m_temporary = std::move(name);
        } else if (errno != EEXIST) {
            const int error = errno;
            Discard();
            throw FailureFromErrno(error);
        }
    }
    // No fsync: what must survive is a failure or a crash of this program, and waiting
    // for the disk would cost whole seconds for a large sheet.
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        Discard();
        throw FailureFromErrno(error);
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        const int error = errno;
        Discard();
        throw FailureFromErrno(error);
    }
    m_temporary.clear();
}

void FileReplacement::Discard() noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

}  // namespace vx
