// orvex-bench-port: how long ClosePort takes while the watcher is inside a
// burst (it must not wait out the 80 ms burst gap), over many reopenings
// under traffic. The targets are a median below 10 ms and a 99th percentile
// below 40 ms; the exit status says whether they were met.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/CRadioPort.h"
#include "settings/ProtocolBytes.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Quiet : orvex::IPortListener {
    void OnPortData(std::uint16_t) override {}
    void OnPortQueueFull() override {}
    void OnPortHangUp() override {}
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// --cycles N; nothing when the arguments are wrong (the usage is shown).
std::optional<int> ParseCycles(int argc, char** argv) {
    int cycles = 1000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc) {
            cycles = std::max(100, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: orvex-bench-port [--cycles N]\n");
            return std::nullopt;
        }
    }
    return cycles;
}

bool OpenTerminal(int& master, std::string& slave) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return false;
    }
    slave = ::ptsname(master);
    return true;
}

std::thread StartRadio(int master, const std::atomic<bool>& stop) {
    return std::thread([master, &stop] {
        for (std::uint8_t b = 0; !stop; ++b) {
            [[maybe_unused]] const auto n = ::write(master, &b, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
}

std::thread StartDrain(int master, const std::atomic<bool>& stop) {
    return std::thread([master, &stop] {
        char buffer[256];
        while (!stop) {
            if (::read(master, buffer, sizeof buffer) <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

// How long each ClosePort took; openings that failed are counted in failed.
std::vector<Clock::duration> TimeClosings(orvex::CRadioPort& port, const std::string& slave, int cycles, int& failed) {
    std::vector<Clock::duration> closing;
    closing.reserve(static_cast<std::size_t>(cycles));
    for (int i = 0; i < cycles; ++i) {
        if (!port.OpenPort(slave, orvex::kBaudRate, 0)) {
            ++failed;
            continue;
        }
        if (i % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // into a burst
        const auto start = Clock::now();
        port.ClosePort();
        closing.push_back(Clock::now() - start);
    }
    return closing;
}

// Prints the figures; the exit status says whether the targets were met.
int Report(std::vector<Clock::duration>& closing, int failed, int cycles) {
    if (closing.empty()) {
        std::fprintf(stderr, "no opening succeeded\n");
        return 1;
    }
    std::sort(closing.begin(), closing.end());
    const double median = Ms(closing[closing.size() / 2]);
    const double p99 = Ms(closing[closing.size() * 99 / 100]);
    std::printf("%-34s %10s %10s\n", "ClosePort under traffic", "ms", "target ms");
    std::printf("%-34s %10.2f %10.1f\n", "median", median, 10.0);
    std::printf("%-34s %10.2f %10.1f\n", "99th percentile", p99, 40.0);
    std::printf("%-34s %10.2f\n", "slowest", Ms(closing.back()));
    if (failed) std::printf("%d of %d openings failed\n", failed, cycles);
    return median < 10.0 && p99 < 40.0 && failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<int> cycles = ParseCycles(argc, argv);
    if (!cycles) return 2;
    int master = -1;
    std::string slave;
    if (!OpenTerminal(master, slave)) return 1;
    // Held open so the terminal does not hang up between reopenings.
    const int keep = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);

    std::atomic<bool> stop{false};
    std::thread radio = StartRadio(master, stop);
    // The far end also drains what the port writes, so nothing blocks.
    std::thread drain = StartDrain(master, stop);

    Quiet listener;
    orvex::CRadioPort port;
    port.SetListener(&listener);
    int failed = 0;
    std::vector<Clock::duration> closing = TimeClosings(port, slave, *cycles, failed);
    stop = true;
    radio.join();
    ::close(keep);
    ::close(master);
    drain.join();
    return Report(closing, failed, *cycles);
}
