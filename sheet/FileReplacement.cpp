#include "sheet/FileReplacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace vx
