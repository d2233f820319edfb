// orvex-radio-sim: a radio and its echoing programming cable on a
// pseudo-terminal, for trying the application without hardware.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "tools/sim/SimControl.h"
#include "tools/sim/SimMemoryFile.h"
#include "tools/sim/SimRadio.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace orvex::sim;
using orvex::Outcome;

constexpr const char* kUsage =
    "usage: orvex-radio-sim [OPTIONS]\n"
    "A simulated radio with its echoing cable on a pseudo-terminal. Prints the\n"
    "device to point the application at, then serves until SIGINT/SIGTERM.\n"
    "\n"
    "  --memory FILE.kvx   start from this settings file (default: a built-in sample)\n"
    "  --save FILE.kvx     save the memory after every completed write, on SIGUSR1 and on exit\n"
    "  --save-json FILE    the same as JSON, with slots and codes of the last write\n"
    "  --link PATH         also place a symlink to the device at PATH\n"
    "  --delay MS          the radio's answer delay (default 2)\n"
    "  --instant           no 9600-baud wire time (bytes go out at once)\n"
    "  --no-echo           a cable without echo\n"
    "  --cable KIND        ok (default) | echo-only: the cable echoes, the radio never answers\n"
    "                      | none: nothing answers at all, as with no cable or an unpowered one\n"
    "  --log FILE          log every byte with a timestamp\n"
    "  --fault KIND[=ARG]  silent | mute-after=N | hangup-after=N | nak=STEP | flood=STEP\n"
    "                      | reply=BLOCK:BYTE | closing=SIZE | noise=N | seed=N\n"
    "                      | store-wrong=N: a write keeps channel N (1..10) 10 kHz off\n"
    "                      | lose-row=N: a write keeps channel N under no row number\n"
    "                      STEP: chk, dir, ready, record:N, block:N, closing\n"
    "  --control FIFO      take lines from FIFO (made if missing), one change each:\n"
    "                      away              the radio leaves the cable (the cable still echoes)\n"
    "                      connect [FILE]    a radio is plugged in, with FILE's memory or\n"
    "                                        another built-in sample; a new radio each time\n"
    "                      unplug            the cable is pulled: the device and link go\n"
    "                      plug              the cable is back (a new device, the link again)\n"
    "                      Each change is printed on stdout as it happens.\n";

struct Options {
    std::string memory, save, saveJson, link, log, control;
    int delayMs = 2;
    bool wire = true;
    bool echo = true;
    Faults faults;
};

// One byte at 9600 baud, 8N1: ten bits.
constexpr auto kByteTime = std::chrono::microseconds(1042);

struct Pending {
    Clock::time_point due;
    std::uint8_t byte;
    bool echo;
};

class Simulator {
public:
    Simulator(const Options& o, RadioMemory memory)
        : m_opt(o), m_radio(std::make_unique<SimRadio>(memory, o.faults)) {}

    int Run();

private:
    bool Open();
    bool OpenDevice();
    void CloseDevice();
    bool OpenControl();
    void ReadControl();
    void Apply(const ControlCommand& command);
    void Receive();
    void SendDue();
    void Save();
    void Log(const char* what, std::uint8_t byte);
    static void Say(const std::string& text) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }

    Options m_opt;
    std::unique_ptr<SimRadio> m_radio;  // null: no radio on the cable
    int m_radiosConnected = 0;          // picks the next built-in sample
    int m_control = -1;
    std::string m_controlLine;
    std::string m_device;  // the pseudo-terminal the application opens
    int m_master = -1;
    int m_slave = -1;
    FILE* m_log = nullptr;
    Clock::time_point m_start = Clock::now();
    std::deque<Pending> m_out;  // kept in due order
    Clock::time_point m_lineFree = Clock::now();
    bool m_hungUp = false;
};

bool Simulator::Open() {
    if (!OpenDevice()) return false;
    if (!m_opt.log.empty() && !(m_log = std::fopen(m_opt.log.c_str(), "w"))) {
        std::fprintf(stderr, "orvex-radio-sim: %s: %s\n", m_opt.log.c_str(), std::strerror(errno));
        return false;
    }
    if (!OpenControl()) return false;
    // Once the device is named, everything it needs is in place.
    Say(m_device);
    return true;
}

bool Simulator::OpenDevice() {
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "orvex-radio-sim: openpty: %s\n", std::strerror(errno));
        return false;
    }
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    const char* name = ::ptsname(m_master);
    if (!m_opt.link.empty()) {
        ::unlink(m_opt.link.c_str());
        if (::symlink(name, m_opt.link.c_str()) != 0) {
            std::fprintf(stderr, "orvex-radio-sim: %s: %s\n", m_opt.link.c_str(), std::strerror(errno));
            return false;
        }
    }
    m_device = name;
    return true;
}

void Simulator::CloseDevice() {
    // Both ends go, so the application's open descriptor sees the hang-up
    // and the device node disappears, as when a USB cable is pulled.
    if (m_master >= 0) ::close(m_master);
    if (m_slave >= 0) ::close(m_slave);
    m_master = m_slave = -1;
    m_out.clear();
    if (!m_opt.link.empty()) ::unlink(m_opt.link.c_str());
}

bool Simulator::OpenControl() {
    if (m_opt.control.empty()) return true;
    if (::mkfifo(m_opt.control.c_str(), 0600) != 0 && errno != EEXIST) {
        std::fprintf(stderr, "orvex-radio-sim: %s: %s\n", m_opt.control.c_str(), std::strerror(errno));
        return false;
    }
    // Opened for writing too, so that a writer closing it is no end of file.
    m_control = ::open(m_opt.control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (m_control < 0) {
        std::fprintf(stderr, "orvex-radio-sim: %s: %s\n", m_opt.control.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void Simulator::ReadControl() {
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_control, buffer, sizeof buffer);
        if (n <= 0) break;
        m_controlLine.append(buffer, static_cast<std::size_t>(n));
    }
    for (auto end = m_controlLine.find('\n'); end != std::string::npos; end = m_controlLine.find('\n')) {
        const std::string line = m_controlLine.substr(0, end);
        m_controlLine.erase(0, end + 1);
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        if (const Outcome<ControlCommand> command = ParseControl(line))
            Apply(command.value());
        else
            std::fprintf(stderr, "orvex-radio-sim: %s\n", command.problem().Text().c_str());
    }
}

void Simulator::Apply(const ControlCommand& command) {
    switch (command.kind) {
        case ControlCommand::Kind::Away:
            m_radio.reset();
            Say("radio away");
            return;
        case ControlCommand::Kind::Connect: {
            const Outcome<RadioMemory> memory =
                command.file.empty() ? SampleMemory(++m_radiosConnected) : LoadMemory(command.file);
            if (!memory) {
                std::fprintf(stderr, "orvex-radio-sim: %s\n", memory.problem().Text().c_str());
                return;
            }
            m_radio = std::make_unique<SimRadio>(memory.value(), m_opt.faults);
            Say("radio connected: " + (command.file.empty() ? "sample " + std::to_string(m_radiosConnected)
                                                              : command.file));
            return;
        }
        case ControlCommand::Kind::Unplug:
            if (m_master < 0) return;
            CloseDevice();
            if (m_radio && m_radio->LineDropped()) Save();
            Say("cable unplugged");
            return;
        case ControlCommand::Kind::Plug:
            if (m_master >= 0) return;
            if (OpenDevice()) Say("cable plugged: " + m_device);
            return;
    }
}

void Simulator::Log(const char* what, std::uint8_t byte) {
    if (!m_log) return;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - m_start).count();
    std::fprintf(m_log, "%10.3f %-4s %02X\n", ms, what, byte);
    std::fflush(m_log);
}

void Simulator::Save() {
    if (!m_radio) return;
    const auto tell = [](const Outcome<void>& saved) {
        if (!saved) std::fprintf(stderr, "orvex-radio-sim: %s\n", saved.problem().Text().c_str());
    };
    if (!m_opt.save.empty()) tell(SaveMemoryKvx(m_opt.save, m_radio->Memory()));
    if (!m_opt.saveJson.empty())
        tell(SaveMemoryJson(m_opt.saveJson, m_radio->Memory(), m_radio->ReadsCompleted(), m_radio->WritesCompleted()));
}

void Simulator::Receive() {
    std::uint8_t buffer[256];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t i = 0; i < n; ++i) {
            const auto now = Clock::now();
            const auto wire = m_opt.wire ? kByteTime : Clock::duration::zero();
            Log("RX", buffer[i]);
            if (m_opt.echo) m_out.push_back({now + wire, buffer[i], true});
            auto at = now + wire;
            if (!m_radio) continue;
            for (const Emission& e : m_radio->Feed(buffer[i])) {
                at += std::chrono::milliseconds(e.delayMs == 0 ? m_opt.delayMs : e.delayMs);
                for (std::uint8_t b : e.bytes) {
                    m_out.push_back({at, b, false});
                    at += wire;
                }
            }
            std::stable_sort(m_out.begin(), m_out.end(), [](const Pending& a, const Pending& b) { return a.due < b.due; });
            if (m_radio->TakeWriteCompleted()) Save();
            if (m_radio->HangUpDue()) {
                m_hungUp = true;
                return;
            }
        }
    }
}

void Simulator::SendDue() {
    const auto now = Clock::now();
    while (!m_out.empty() && m_out.front().due <= now) {
        const Pending p = m_out.front();
        if (::write(m_master, &p.byte, 1) != 1 && errno == EAGAIN) return;
        Log(p.echo ? "ECHO" : "TX", p.byte);
        m_out.pop_front();
    }
}

int Simulator::Run() {
    if (!Open()) return 1;
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sigfd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    ::signal(SIGPIPE, SIG_IGN);
    for (;;) {
        int timeout = -1;
        if (!m_out.empty()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_out.front().due - Clock::now());
            timeout = static_cast<int>(std::max<long>(0, wait.count()));
        }
        // A negative descriptor is passed over: no device while unplugged,
        // no control channel unless asked for.
        pollfd fds[3] = {{m_master, POLLIN, 0}, {sigfd, POLLIN, 0}, {m_control, POLLIN, 0}};
        const int r = ::poll(fds, 3, timeout);
        if (r < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(sigfd, &info, sizeof info) == sizeof info) {
                Save();
                if (info.ssi_signo != SIGUSR1) break;
            }
        }
        if (fds[2].revents & POLLIN) ReadControl();
        if (m_master >= 0 && (fds[0].revents & POLLIN)) Receive();
        if (m_hungUp) {
            // The line drops: the application's side sees a hang-up.
            ::close(m_master);
            ::close(m_slave);
            m_master = m_slave = -1;
            if (m_radio) m_radio->LineDropped();
            Save();
            std::fprintf(stderr, "orvex-radio-sim: hang-up\n");
            return 0;
        }
        SendDue();
    }
    if (!m_opt.link.empty()) ::unlink(m_opt.link.c_str());
    return 0;
}

bool ParseArgs(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "orvex-radio-sim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--memory") o.memory = value();
        else if (a == "--save") o.save = value();
        else if (a == "--save-json") o.saveJson = value();
        else if (a == "--link") o.link = value();
        else if (a == "--log") o.log = value();
        else if (a == "--control") o.control = value();
        else if (a == "--delay") o.delayMs = std::atoi(value().c_str());
        else if (a == "--instant") o.wire = false;
        else if (a == "--no-echo") o.echo = false;
        else if (a == "--cable") {
            const std::string kind = value();
            if (kind == "echo-only") o.faults.silent = true;
            else if (kind == "none") {
                o.faults.silent = true;
                o.echo = false;
            } else if (kind != "ok") {
                std::fprintf(stderr, "orvex-radio-sim: --cable takes ok, echo-only or none, not '%s'\n", kind.c_str());
                return false;
            }
        } else if (a == "--fault") {
            if (const Outcome<void> parsed = ParseFault(value(), o.faults); !parsed) {
                std::fprintf(stderr, "orvex-radio-sim: %s\n", parsed.problem().Text().c_str());
                return false;
            }
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else {
            std::fprintf(stderr, "orvex-radio-sim: unknown option '%s'\n%s", a.c_str(), kUsage);
            return false;
        }
    }
    return o.delayMs >= 0 && o.delayMs < 80;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArgs(argc, argv, options)) return 2;
    const Outcome<RadioMemory> memory = options.memory.empty() ? SampleMemory() : LoadMemory(options.memory);
    if (!memory) {
        std::fprintf(stderr, "orvex-radio-sim: %s\n", memory.problem().Text().c_str());
        return 1;
    }
    Simulator sim(options, memory.value());
    return sim.Run();
}
