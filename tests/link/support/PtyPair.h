#pragma once
// A pseudo-terminal standing in for the cable: the test plays the radio on
// the master side, the port under test opens the slave by its path.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvex::test {

using Bytes = std::vector<std::uint8_t>;

class PtyPair {
public:
    PtyPair() {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        m_path = name;
        ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // Without this, bytes sent before the port is open would be echoed
        // back by the slave's line discipline.
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ~PtyPair() {
        CloseMaster();
        if (m_slave >= 0) ::close(m_slave);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return m_path; }
    // Kept open here, the way a driver keeps its device; the port's line
    // settings can be read through it.
    int Slave() const { return m_slave; }
    int Master() const { return m_master; }

    // The far end goes away: the slave side is hung up.
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

    // Everything written, or false after a second of no room.
    bool Send(const Bytes& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            pollfd p{m_master, POLLOUT, 0};
            if (n < 0 && errno == EAGAIN && ::poll(&p, 1, 1000) > 0) continue;
            return false;
        }
        return true;
    }

    // What the port wrote, up to count bytes or until timeout passes.
    Bytes Receive(std::size_t count, std::chrono::milliseconds timeout) const {
        Bytes got;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            std::uint8_t buffer[512];
            const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0) got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

}  // namespace orvex::test
