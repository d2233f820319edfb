// flock() rather than fcntl() locks: those belong to a whole process, so a
// second window of the same process would never see the first one's lock,
// and closing any descriptor of the file would drop it.
#include "files/SessionLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace orvex::filestore {

struct SessionLock::Native {
    int fd = -1;
};

namespace {

int Open(const std::string& path, int flags) {
    int fd;
    do fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool Lock(int fd, int how) {
    int r;
    do r = ::flock(fd, how | LOCK_NB);
    while (r < 0 && errno == EINTR);
    return r == 0;
}

}  // namespace

SessionLock::SessionLock(std::string path, std::unique_ptr<Native> native)
    : m_path(std::move(path)), m_native(std::move(native)) {}

std::unique_ptr<SessionLock> SessionLock::Take(const std::string& path) {
    const int fd = Open(path, O_RDWR | O_CREAT);
    if (fd < 0) return nullptr;
    if (!Lock(fd, LOCK_EX)) {
        ::close(fd);
        return nullptr;
    }
    auto native = std::make_unique<Native>();
    native->fd = fd;
    return std::unique_ptr<SessionLock>(new SessionLock(path, std::move(native)));
}

SessionLock::~SessionLock() {
    // Removed while still held, so no prober ever finds the name unlocked
    // while this session runs.
    ::unlink(m_path.c_str());
    ::close(m_native->fd);
}

bool IsSessionLockHeld(const std::string& path) {
    const int fd = Open(path, O_RDONLY);
    if (fd < 0) return false;
    const bool free = Lock(fd, LOCK_SH);
    ::close(fd);
    return !free;
}

}  // namespace orvex::filestore
