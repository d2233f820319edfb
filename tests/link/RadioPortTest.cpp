#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <map>
#include <mutex>
#include <thread>

#include "link/CRadioPort.h"
#include "link/support/ProcessCounters.h"
#include "link/support/PtyPair.h"
#include "link/support/RecordingListener.h"
#include "settings/ProtocolBytes.h"
#include "support/TempDir.h"

// A pseudo-terminal has no modem lines. For the devices a test hands to
// ModemLines, the calls that set, clear and read them act on a stand-in
// here instead of failing as unsupported; every other call goes through.
namespace orvex::test {
class ModemLines {
public:
    explicit ModemLines(int fd, int initial) : m_device(DeviceOf(fd)) {
        std::lock_guard lock(s_mutex);
        s_lines[m_device] = initial;
    }
    ~ModemLines() {
        std::lock_guard lock(s_mutex);
        s_lines.erase(m_device);
    }
    ModemLines(const ModemLines&) = delete;
    ModemLines& operator=(const ModemLines&) = delete;

    int Lines() const {
        std::lock_guard lock(s_mutex);
        return s_lines.at(m_device);
    }

    // True when the call was on a stood-in device and has been answered.
    static bool Answer(int fd, unsigned long request, int* arg) {
        std::lock_guard lock(s_mutex);
        const auto it = s_lines.find(DeviceOf(fd));
        if (it == s_lines.end() || !arg) return false;
        switch (request) {
            case TIOCMGET: *arg = it->second; break;
            case TIOCMSET: it->second = *arg; break;
            case TIOCMBIS: it->second |= *arg; break;
            case TIOCMBIC: it->second &= ~*arg; break;
            default: return false;
        }
        return true;
    }

private:
    static dev_t DeviceOf(int fd) {
        struct stat st{};
        return ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) ? st.st_rdev : dev_t(-1);
    }
    static inline std::mutex s_mutex;
    static inline std::map<dev_t, int> s_lines;
    dev_t m_device;
};
}  // namespace orvex::test

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    using Ioctl = int (*)(int, unsigned long, ...);
    static const Ioctl real = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    const bool modemCall = request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (modemCall && orvex::test::ModemLines::Answer(fd, request, static_cast<int*>(arg))) return 0;
    return real(fd, request, arg);
}

namespace orvex {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::PtyPair;
using test::RecordingListener;
using Batches = std::vector<Bytes>;

// A port on a fresh pseudo-terminal. The port is declared last so that it is
// closed before the listener it calls goes away.
struct Link {
    explicit Link(bool drain = true) : listener(port, drain) { port.SetListener(&listener); }
    bool Open() { return port.OpenPort(pty.SlavePath(), kBaudRate, 0); }

    PtyPair pty;
    RecordingListener listener;
    CRadioPort port;
};

Bytes QueueContents(IRadioPort& port) {
    return port.WithQueue([](CByteQueue& q) {
        CByteQueue copy = q;
        Bytes out;
        std::uint8_t b = 0;
        while (copy.GetByte(b)) out.push_back(b);
        return out;
    });
}

Bytes Pattern(std::size_t n, int mul, int add) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(i * mul + add);
    return out;
}

// The first notification after seen ones, and any that follow before the
// line has been quiet for longer than a burst gap; the new total.
std::size_t WaitUntilQuiet(RecordingListener& listener, std::size_t seen) {
    if (!listener.WaitForBatches(seen + 1)) return seen;
    for (;;) {
        const std::size_t n = listener.Batches().size();
        if (!listener.WaitForBatches(n + 1, 150ms)) return n;
    }
}

// Stops and joins a helper thread however the test ends.
struct Joiner {
    std::atomic<bool>& stop;
    std::thread& thread;
    ~Joiner() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
};

TEST(RadioPortOpen, FailuresSayWhyAndLeaveNothingOpen) {
    test::TempDir dir;
    const std::string plain = dir.File("ttyPLAIN");
    test::WriteBytes(plain, {1, 2, 3});
    const int fds = test::OpenFdCount();

    CRadioPort port;
    EXPECT_FALSE(port.OpenPort(dir.File("ttyMISSING"), kBaudRate, 0));
    EXPECT_NE(port.LastError().Text().find("no such device"), std::string::npos) << port.LastError();
    EXPECT_FALSE(port.IsConnected());

    EXPECT_FALSE(port.OpenPort(plain, kBaudRate, 0));
    EXPECT_NE(port.LastError().Text().find("not a serial device"), std::string::npos) << port.LastError();
    EXPECT_FALSE(port.IsConnected());
    const std::uint8_t b = QM_PROTO_CHK_DEV;
    EXPECT_EQ(port.WriteComm(&b, 1), 0);
    EXPECT_EQ(test::ReadBytes(plain), (Bytes{1, 2, 3}));
    EXPECT_EQ(test::OpenFdCount(), fds);
}

// Root passes the terminal's exclusive mark, so this also proves the lock.
TEST(RadioPortOpen, SecondPortOnTheSameDeviceIsRefusedAsBusy) {
    Link link;
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    CRadioPort second;
    EXPECT_FALSE(second.OpenPort(link.pty.SlavePath(), kBaudRate, 0));
    EXPECT_NE(second.LastError().Text().find("busy"), std::string::npos) << second.LastError();
    EXPECT_FALSE(second.IsConnected());

    // The refused attempt must not have disturbed the owner.
    ASSERT_TRUE(link.pty.Send({QM_PROTO_CHK_DEV_ACK}));
    ASSERT_TRUE(link.listener.WaitForBatches(1));
    EXPECT_EQ(link.listener.Batches(), (Batches{{QM_PROTO_CHK_DEV_ACK}}));

    link.port.ClosePort();
    EXPECT_TRUE(second.OpenPort(link.pty.SlavePath(), kBaudRate, 0)) << second.LastError();
}

TEST(RadioPortLine, SetsRaw9600EightNoneOneWhateverItFinds) {
    Link link;
    termios bad{};
    ASSERT_EQ(::tcgetattr(link.pty.Slave(), &bad), 0);
    bad.c_cflag = (bad.c_cflag & ~(CSIZE | HUPCL)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    bad.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP;
    bad.c_oflag |= OPOST | ONLCR;
    bad.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    ::cfsetispeed(&bad, B1200);
    ::cfsetospeed(&bad, B1200);
    ASSERT_EQ(::tcsetattr(link.pty.Slave(), TCSANOW, &bad), 0);

    ASSERT_TRUE(link.Open()) << link.port.LastError();
    termios t{};
    ASSERT_EQ(::tcgetattr(link.pty.Slave(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(::cfgetispeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD | HUPCL), static_cast<tcflag_t>(CLOCAL | CREAD | HUPCL));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);

    // Every value passes untouched both ways: none is taken for a line
    // edit, a signal or flow control (0x11 and 0x13 are protocol bytes too).
    const Bytes all = Pattern(256, 1, 0);
    ASSERT_TRUE(link.pty.Send(all));
    ASSERT_TRUE(link.listener.WaitForBatches(1));
    EXPECT_EQ(link.listener.Batches(), Batches{all});
    EXPECT_EQ(link.port.WriteComm(all.data(), static_cast<int>(all.size())), 256);
    EXPECT_EQ(link.pty.Receive(257, 500ms), all);
}

// The cable may draw its power from DTR: up while the port is open, down
// once it is closed by any path, and untouched by an opener that is refused.
TEST(RadioPortLine, DtrUpAndRtsDownWhileOpenAndDtrDownAfterClose) {
    Link link;
    // The driver raises both lines when a serial device is opened.
    test::ModemLines lines(link.pty.Slave(), TIOCM_DTR | TIOCM_RTS);
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    EXPECT_EQ(lines.Lines(), TIOCM_DTR);

    CRadioPort second;
    EXPECT_FALSE(second.OpenPort(link.pty.SlavePath(), kBaudRate, 0));
    second.ClosePort();
    EXPECT_EQ(lines.Lines(), TIOCM_DTR);

    link.port.ClosePort();
    EXPECT_EQ(lines.Lines(), 0);

    {
        CRadioPort scoped;
        ASSERT_TRUE(scoped.OpenPort(link.pty.SlavePath(), kBaudRate, 0)) << scoped.LastError();
        EXPECT_EQ(lines.Lines(), TIOCM_DTR);
    }
    EXPECT_EQ(lines.Lines(), 0);
}

TEST(RadioPortBurst, ShortGapsJoinABurstAndALongerPauseEndsIt) {
    Link link;
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    const Bytes first = {0x11, 0x7F, 0x44, 0x6F, 0x15, 0x5F};
    for (std::uint8_t b : first) {
        ASSERT_TRUE(link.pty.Send({b}));
        std::this_thread::sleep_for(25ms);
    }
    std::this_thread::sleep_for(125ms);
    ASSERT_TRUE(link.pty.Send({4, 5}));
    ASSERT_TRUE(link.listener.WaitForBatches(2));
    std::this_thread::sleep_for(120ms);  // nothing more may follow
    EXPECT_EQ(link.listener.Batches(), (Batches{first, {4, 5}}));
    EXPECT_EQ(link.listener.HangUpCount(), 0);
}

// How long the close takes is a figure of orvex-bench-port (scripts/bench.sh);
// here it must end the watcher that is waiting for the rest of the burst.
TEST(RadioPortBurst, ClosePortInTheMiddleOfABurstEndsTheWatcher) {
    const int threads = test::ThreadBaseline();
    Link link;
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    for (std::uint8_t b = 0; b < 5; ++b) {
        ASSERT_TRUE(link.pty.Send({b}));
        std::this_thread::sleep_for(10ms);
    }
    link.port.ClosePort();
    EXPECT_FALSE(link.port.IsConnected());
    EXPECT_EQ(test::SettledCount(test::ThreadCount, threads), threads) << "the watcher did not end";
    EXPECT_EQ(link.listener.HangUpCount(), 0);
}

// Chunks are 2048 bytes; one is stored only when 8192 - size exceeds it.
TEST(RadioPortQueueFull, ChunksThatDoNotFitAreDroppedWholeAndTheWatcherGoesOn) {
    struct Case {
        int prefill;
        std::size_t sent;
        int drops;
        std::size_t keptFrom, keptTo;  // the part of what was sent that is stored
    };
    const Case cases[] = {
        {8182, 10, 1, 0, 0},        // 10 free by the rule: not enough
        {8182, 9, 0, 0, 9},         // fills the queue to 8191
        {4000, 5000, 1, 0, 4096},   // two chunks fit, the last 904 bytes do not
        {7000, 5000, 2, 4096, 5000} // two full chunks dropped, the rest fits
    };
    Link link(/*drain=*/false);
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    int drops = 0;
    std::size_t notices = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.prefill << " queued, " << c.sent << " sent");
        const Bytes prefill = Pattern(static_cast<std::size_t>(c.prefill), 1, 0);
        link.port.WithQueue([&](CByteQueue& q) {
            q.Clear();
            for (std::uint8_t b : prefill) q.PutByte(b);
            return 0;
        });
        const Bytes sent = Pattern(c.sent, 7, 3);
        ASSERT_TRUE(link.pty.Send(sent));
        // A drain can end at a chunk boundary before the rest is in, so
        // the burst may come as more than one notification.
        const std::size_t now = WaitUntilQuiet(link.listener, notices);
        ASSERT_GT(now, notices);
        notices = now;
        drops += c.drops;
        EXPECT_EQ(link.listener.QueueFullCount(), drops);

        Bytes expected = prefill;
        expected.insert(expected.end(), sent.begin() + c.keptFrom, sent.begin() + c.keptTo);
        EXPECT_EQ(QueueContents(link.port), expected);
    }
    EXPECT_TRUE(link.port.IsConnected());
    EXPECT_EQ(link.listener.HangUpCount(), 0);
}

TEST(RadioPortHangUp, VanishedFarEndEndsTheWatcherOnceWithoutSpinning) {
    const int fds = test::OpenFdCount();
    const int threads = test::ThreadBaseline();
    {
        Link link;
        ASSERT_TRUE(link.Open()) << link.port.LastError();
        for (std::uint8_t b = 0; b < 5; ++b) {
            ASSERT_TRUE(link.pty.Send({b}));
            std::this_thread::sleep_for(10ms);
        }
        link.pty.CloseMaster();  // in the middle of a burst
        ASSERT_TRUE(link.listener.WaitForHangUp());
        EXPECT_EQ(test::SettledCount(test::ThreadCount, threads), threads) << "the watcher did not end";

        const auto cpu = test::ProcessCpuTime();
        std::this_thread::sleep_for(300ms);
        EXPECT_LT(test::ProcessCpuTime() - cpu, 50ms);
        EXPECT_EQ(link.listener.HangUpCount(), 1);

        link.port.ClosePort();
        EXPECT_FALSE(link.port.IsConnected());
        EXPECT_EQ(link.listener.HangUpCount(), 1);
    }
    EXPECT_EQ(test::OpenFdCount(), fds);
}

// A hang-up handler that closes the port runs on the watcher itself.
TEST(RadioPortHangUp, ClosingFromTheHangUpNoticeNeitherDeadlocksNorBlocksReopening) {
    Link link;
    link.listener.SetHangUpAction([&] { link.port.ClosePort(); });
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    link.pty.CloseMaster();
    ASSERT_TRUE(link.listener.WaitForHangUp());
    EXPECT_FALSE(link.port.IsConnected());

    PtyPair other;
    RecordingListener listener(link.port);
    link.port.SetListener(&listener);
    struct Closer {
        CRadioPort& port;
        ~Closer() { port.ClosePort(); }
    } closer{link.port};
    ASSERT_TRUE(link.port.OpenPort(other.SlavePath(), kBaudRate, 0)) << link.port.LastError();
    ASSERT_TRUE(other.Send({QM_PROTO_READY}));
    ASSERT_TRUE(listener.WaitForBatches(1));
    EXPECT_EQ(listener.Batches(), Batches{{QM_PROTO_READY}});
}

TEST(RadioPortCycles, ThousandReopensUnderTrafficNeitherHangNorLeak) {
    Link link;
    const int fds = test::OpenFdCount();
    const int threads = test::ThreadBaseline();
    {
        std::atomic<bool> stop{false};
        std::thread radio([&] {
            for (std::uint8_t b = 0; !stop; ++b) {
                [[maybe_unused]] const auto n = ::write(link.pty.Master(), &b, 1);
                std::this_thread::sleep_for(200us);
            }
        });
        Joiner joiner{stop, radio};

        // The time each close takes is a figure of orvex-bench-port.
        for (int i = 0; i < 1000; ++i) {
            ASSERT_TRUE(link.Open()) << "cycle " << i << ": " << link.port.LastError();
            if (i % 10 == 0) std::this_thread::sleep_for(1ms);  // let the watcher get into a burst
            link.port.ClosePort();
            ASSERT_FALSE(link.port.IsConnected()) << "cycle " << i;
        }
    }
    EXPECT_EQ(test::SettledCount(test::ThreadCount, threads), threads);
    EXPECT_EQ(test::SettledCount(test::OpenFdCount, fds), fds);

    // No watcher of an earlier opening is left to take bytes away.
    ASSERT_TRUE(link.Open()) << link.port.LastError();
    const std::size_t before = link.listener.Batches().size();
    ASSERT_TRUE(link.pty.Send({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK}));
    ASSERT_TRUE(link.listener.WaitForBatches(before + 1));
    std::this_thread::sleep_for(120ms);
    const Batches batches = link.listener.Batches();
    ASSERT_EQ(batches.size(), before + 1);
    EXPECT_EQ(batches.back(), (Bytes{QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK}));
}

}  // namespace
}  // namespace orvex
