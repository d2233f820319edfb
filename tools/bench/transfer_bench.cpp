// orvex-bench-transfer: how close a read and a write come to the protocol's
// own floor, against orvex-radio-sim on a pseudo-terminal.
//
// floor = wire time at 9600 baud of every byte both ways
//       + every mandated pause (between bytes, before the first byte, before
//         the completion message)
//       + one 80 ms burst gap and one radio answer delay per exchange.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;  // 8N1: ten bits a byte
constexpr double kBurstGapMs = 80.0;

struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child Spawn(const std::vector<std::string>& argv, bool captureStdout) {
    int fds[2] = {-1, -1};
    if (captureStdout && ::pipe(fds) != 0) std::exit(1);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (captureStdout) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
        } else {
            // The transfers' own messages and verdicts would drown the table.
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    if (captureStdout) ::close(fds[1]);
    return {pid, captureStdout ? fds[0] : -1};
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

struct Counts {
    int appBytes = 0;
    int radioBytes = 0;
    int exchanges = 0;  // answers of the radio: runs of radio bytes
};

Counts ParseLog(const std::string& path) {
    Counts c;
    std::ifstream in(path);
    std::string line;
    bool lastWasRadio = false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        double t;
        std::string kind;
        fields >> t >> kind;
        if (kind == "RX") {
            ++c.appBytes;
            lastWasRadio = false;
        } else if (kind == "TX") {
            ++c.radioBytes;
            if (!lastWasRadio) ++c.exchanges;
            lastWasRadio = true;
        }
    }
    return c;
}

struct Result {
    double wallMs;
    double floorMs;
    int status;
};

Result RunOnce(const std::string& bin, const std::string& dir, const std::vector<std::string>& cliArgs,
               const std::string& memory, double pausesMs, int delayMs) {
    const std::string link = dir + "/radio", log = dir + "/sim.log";
    std::vector<std::string> simArgs = {bin + "/sim/orvex-radio-sim", "--link", link, "--log", log, "--delay",
                                        std::to_string(delayMs)};
    if (!memory.empty()) simArgs.insert(simArgs.end(), {"--memory", memory});
    Child sim = Spawn(simArgs, true);
    char buf[256];
    const ssize_t n = ::read(sim.out, buf, sizeof buf - 1);  // the device line: the simulator is ready
    (void)n;
    std::vector<std::string> argv = {bin + "/cli/orvex-cli"};
    for (const auto& a : cliArgs) argv.push_back(a == "@PORT" ? link : a);
    const auto start = std::chrono::steady_clock::now();
    const Child cli = Spawn(argv, false);
    const int status = Wait(cli.pid);
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ::kill(sim.pid, SIGTERM);
    Wait(sim.pid);
    ::close(sim.out);
    const Counts c = ParseLog(log);
    const double floor = (c.appBytes + c.radioBytes) * kByteMs + pausesMs + c.exchanges * (kBurstGapMs + delayMs);
    return {wall, floor, status};
}

struct Args {
    std::string bin = ".";
    int runs = 3;
    int delayMs = 2;
};

// False when the arguments are wrong (the usage is shown).
bool ParseArgs(int argc, char** argv, Args& args) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--bin" && i + 1 < argc) args.bin = argv[++i];
        else if (a == "--runs" && i + 1 < argc) args.runs = std::atoi(argv[++i]);
        else if (a == "--delay" && i + 1 < argc) args.delayMs = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: orvex-bench-transfer [--bin BUILD/tools] [--runs N] [--delay MS]\n");
            return false;
        }
    }
    return true;
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    double pausesMs;   // every mandated pause of the exchange
    double limit = 0;  // the ratio it must stay within, if it has one
};

std::vector<Case> Cases(const std::string& dir, const std::string& plan0, const std::string& plan3) {
    // Read: 200 + 100 ms before the first byte, 24 bytes with 1 ms after each.
    // Write: 100 ms before the first byte; 0x11, 0x22, band plan and the final
    // 0xAA with 3 ms; 120 block bytes with 10 ms; flags and closing byte with
    // 50 ms; 300 ms before the completion message.
    constexpr double kReadPauses = 300 + 24 * 1;
    constexpr double kWritePauses0 = 100 + 4 * 3 + 120 * 10 + 1 * 50 + 300;
    constexpr double kWritePauses3 = 100 + 4 * 3 + 120 * 10 + 24 * 50 + 300;
    // Write and Verify is a read, a write and a read: its floor is the sum
    // of theirs, and it may take at most 5 % more.
    return {
        {"read", {"read", "--port", "@PORT", "-o", dir + "/out.kvx"}, kReadPauses},
        {"write (band plan 0)", {"write", "--port", "@PORT", plan0}, kWritePauses0},
        {"write (band plan 3)", {"write", "--port", "@PORT", plan3}, kWritePauses3},
        {"write+verify (plan 0)",
         {"write", "--verify", "--port", "@PORT", plan0},
         2 * kReadPauses + kWritePauses0,
         1.05},
        {"write+verify (plan 3)",
         {"write", "--verify", "--port", "@PORT", plan3},
         2 * kReadPauses + kWritePauses3,
         1.05},
        // One radio of a batch: its first probe, then Write and Verify.
        {"clone, per radio", {"clone", "--count", "1", "--port", "@PORT", plan0}, 2 * kReadPauses + kWritePauses0},
    };
}

// Prints each case's best run against its floor; the number of failures.
int RunCases(const std::vector<Case>& cases, const Args& args, const std::string& dir) {
    std::printf("%-22s %10s %10s %7s\n", "exchange", "wall ms", "floor ms", "ratio");
    int failures = 0;
    for (const Case& c : cases) {
        double best = 1e18, floor = 0;
        for (int r = 0; r < args.runs; ++r) {
            const Result res = RunOnce(args.bin, dir, c.args, "", c.pausesMs, args.delayMs);
            if (res.status != 0) ++failures;
            if (res.wallMs < best) best = res.wallMs, floor = res.floorMs;
        }
        const bool over = c.limit > 0 && best / floor > c.limit;
        if (over) ++failures;
        std::printf("%-22s %10.1f %10.1f %7.3f%s\n", c.name, best, floor, best / floor, over ? "  over its limit" : "");
    }
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    Args args;
    if (!ParseArgs(argc, argv, args)) return 2;
    char tmpl[] = "/tmp/orvex-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    // Every read keeps a backup: in the scratch folder, not the user's.
    ::setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    const std::string plan0 = dir + "/plan0.kvx", plan3 = dir + "/plan3.kvx";
    Wait(Spawn({args.bin + "/cli/orvex-cli", "new", plan0}, false).pid);
    // The simulator's built-in sample is South Africa with flags: read it once
    // to get a band plan 3 file to write.
    RunOnce(args.bin, dir, {"read", "--port", "@PORT", "-o", plan3}, "", 0, args.delayMs);

    const int failures = RunCases(Cases(dir, plan0, plan3), args, dir);
    std::string cleanup = "rm -rf '" + dir + "'";
    if (std::system(cleanup.c_str()) != 0) return 1;
    return failures ? 1 : 0;
}
