#include "link/CRadioPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "settings/Trace.h"

namespace orvex {

struct CRadioPort::Session {
    std::atomic<bool> hungUp{false};
    int fd = -1;
    int wakeFd = -1;
    std::atomic<bool> stop{false};
    std::thread::id watcherId;

    ~Session() {
        if (fd >= 0) ::close(fd);
        if (wakeFd >= 0) ::close(wakeFd);
    }
};

namespace {

speed_t SpeedFor(unsigned baud) {
    switch (baud) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
    }
    return B0;
}

Problem DescribeOpenError(const std::string& name, int error) {
    constexpr Problem::Layout kFixAfter = Problem::Layout::FixAfter;
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return {.where = name, .why = "no such device", .fix = "is the cable plugged in?"};
        case EACCES:
        case EPERM:
            return {.where = name, .why = "permission denied",
                    .fix = "add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again",
                    .layout = kFixAfter};
        case EBUSY:
        case EWOULDBLOCK:
            return {.where = name, .why = "device busy", .fix = "another program is using it", .layout = kFixAfter};
        case ENOTTY:
            return {.where = name, .why = "not a serial device"};
    }
    return {.where = name, .why = std::strerror(error)};
}

// A set-up step the device refused, with the system's reason.
Problem StepFailed(const std::string& name, const char* step) {
    return {.what = step, .where = name, .why = std::strerror(errno), .layout = Problem::Layout::ReasonAside};
}

// Modem-line calls that a pseudo-terminal does not support are not errors.
bool ModemLineCallFailed() { return errno != ENOTTY && errno != EINVAL && errno != ENOTSUP; }

bool Configure(int fd, speed_t speed) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    // HUPCL: the driver drops DTR at the last close, also when the process
    // dies, so no cable stays powered on a port that is not in use.
    tio.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNBRK | BRKINT | PARMRK);
    tio.c_iflag |= IGNPAR;  // no error-character replacement
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    // With the descriptor non-blocking, VMIN 1 makes an empty read say
    // EAGAIN, so that a 0-byte read can only mean the line has gone.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return false;
    termios check{};
    if (::tcgetattr(fd, &check) != 0) return false;
    return (check.c_cflag & CSIZE) == CS8 && ::cfgetospeed(&check) == speed;
}

}  // namespace

bool CRadioPort::HasHungUp() const {
    const std::shared_ptr<Session> session = CurrentSession();
    return session && session->hungUp;
}

bool CRadioPort::OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) {
    if (!BeginOpen(name, portId)) return false;
    const speed_t speed = SpeedFor(baudRate);
    if (speed == B0) {
        Fail({.where = name, .why = "unsupported baud rate " + std::to_string(baudRate)});
        return false;
    }
    auto session = std::make_shared<Session>();
    // Non-blocking so that a device waiting for carrier cannot hang the open.
    session->fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (session->fd < 0) {
        Fail(DescribeOpenError(name, errno));
        return false;
    }
    const int fd = session->fd;
    if (!::isatty(fd)) {
        Fail(DescribeOpenError(name, ENOTTY));
        return false;
    }
    // TIOCEXCL keeps other users out, but not root; the advisory lock does.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        Fail(DescribeOpenError(name, errno == EWOULDBLOCK ? EBUSY : errno));
        return false;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && ModemLineCallFailed()) {
        Fail(DescribeOpenError(name, errno));
        return false;
    }
    if (!Configure(fd, speed)) {
        Fail(StepFailed(name, "the device refused the line settings"));
        return false;
    }
    ::tcflush(fd, TCIOFLUSH);
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    if ((::ioctl(fd, TIOCMBIS, &dtr) != 0 && ModemLineCallFailed()) ||
        (::ioctl(fd, TIOCMBIC, &rts) != 0 && ModemLineCallFailed())) {
        Fail(StepFailed(name, "cannot set the modem lines"));
        return false;
    }
    session->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (session->wakeFd < 0) {
        Fail(StepFailed(name, "cannot create the watcher's event"));
        return false;
    }

    return StartWatcher(session);
}

void CRadioPort::StopWatching(Session& session) {
    session.stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(session.wakeFd, &one, sizeof one);
}

void CRadioPort::ReleaseDevice(Session& session) {
    if (session.fd < 0) return;
    // The exclusive mark outlives this descriptor if someone else holds
    // the terminal open; clear it so the next open is not refused.
    ::ioctl(session.fd, TIOCNXCL);
    ::tcflush(session.fd, TCIOFLUSH);
    // HUPCL does nothing while another descriptor on the device is
    // open; a port given up is let go of all the same.
    int dtr = TIOCM_DTR;
    ::ioctl(session.fd, TIOCMBIC, &dtr);
    ::close(session.fd);
    session.fd = -1;
}

int CRadioPort::WriteComm(const std::uint8_t* bytes, int count) {
    const std::shared_ptr<Session> session = CurrentSession();
    if (!session || session->fd < 0 || count <= 0) return 0;
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(session->fd, bytes + done, static_cast<std::size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{session->fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) > 0 && !(p.revents & (POLLERR | POLLHUP | POLLNVAL))) continue;
        }
        break;  // errors are not reported upwards; the missing echo tells
    }
    return done;
}

int CRadioPort::ReadComm(Session& session, std::uint8_t* buffer, int maxCount, bool& hungUp) {
    int waiting = 0;
    if (::ioctl(session.fd, FIONREAD, &waiting) != 0 || waiting <= 0) return 0;
    int got = 0;
    while (got < maxCount && !session.stop) {
        const ssize_t n = ::read(session.fd, buffer + got, static_cast<std::size_t>(maxCount - got));
        if (n > 0) {
            got += static_cast<int>(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            hungUp = true;
            break;
        }
        if (errno == EINTR) continue;
        // Nothing more at the moment: wait for the next byte of the burst.
        pollfd fds[2] = {{session.fd, POLLIN, 0}, {session.wakeFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, kBurstGapMs);
        if (r == 0 || (fds[1].revents & POLLIN)) break;
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || (fds[0].revents & (POLLERR | POLLNVAL)) ||
            ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN))) {
            hungUp = true;
            break;
        }
    }
    return got;
}

void CRadioPort::ThreadWatchComm(std::shared_ptr<Session> session) {
    { std::lock_guard lock(m_watcherMutex); }  // OpenPort has stored m_watcher
    session->watcherId = std::this_thread::get_id();
    std::uint8_t chunk[kDrainChunk];
    bool hungUp = false;
    while (!session->stop && !hungUp) {
        pollfd fds[2] = {{session->fd, POLLIN, 0}, {session->wakeFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            hungUp = true;
            break;
        }
        if (session->stop || (fds[1].revents & POLLIN)) break;
        const short ev = fds[0].revents;
        if (ev & (POLLERR | POLLNVAL)) {
            hungUp = true;
        }
        if (!(ev & POLLIN)) {
            if (ev & POLLHUP) hungUp = true;
            if (hungUp) break;
            continue;
        }
        for (;;) {
            const int n = ReadComm(*session, chunk, kDrainChunk, hungUp);
            if (n <= 0 || session->stop) break;
            if (!StoreChunk(chunk, n) && session->stop) return;
            if (hungUp) break;
        }
        if (session->stop) return;
        Notify();
    }
    if (hungUp) {
        session->hungUp = true;
        ReportHangUp(session->stop);
    }
}

}  // namespace orvex
