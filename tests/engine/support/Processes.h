#pragma once
// The simulator and the command-line tool as child processes, each with a
// deadline, so that a hang shows as a failure and never as a stuck suite.
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace orvex::test {

// orvex-radio-sim on a pseudo-terminal, reached through a link in dir.
class SimProcess {
public:
    // Starts it; returns the device it printed first, or "".
    std::string Start(const std::string& link, const std::vector<std::string>& extra) {
        std::vector<std::string> args = {BinDir() + "/sim/orvex-radio-sim", "--link", link};
        args.insert(args.end(), extra.begin(), extra.end());
        if (!m_child.Start(args)) return {};
        return m_child.FirstLine(10'000);
    }

    // SIGTERM (the simulator saves, then exits); its way of ending.
    Exit Stop() {
        if (!m_child.Running()) return {};
        m_child.Signal(SIGTERM);
        return m_child.Finish(5000);
    }

private:
    ChildProcess m_child;
};

struct CliResult {
    Exit exit;
    std::string out;
    std::string err;
    std::chrono::milliseconds took{0};
};

// One orvex-cli run with its output collected in dir.
inline CliResult RunCli(const TempDir& dir, const std::string& tag, const std::vector<std::string>& args,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    ChildProcess::Options files;
    files.stdoutFile = dir.File(tag + ".out");
    files.stderrFile = dir.File(tag + ".err");
    std::vector<std::string> argv = {BinDir() + "/cli/orvex-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess cli;
    const auto start = std::chrono::steady_clock::now();
    // Keep the tool away from the user's remembered port and backups.
    CliResult r;
    if (!cli.Start(argv, {{"ORVEX_PORT_FILE", dir.File("ORVEX.CFG")}, {"XDG_DATA_HOME", dir.File("data")}}, files))
        return r;
    r.exit = cli.Finish(static_cast<int>(limit.count()));
    r.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const Bytes o = ReadBytes(files.stdoutFile), e = ReadBytes(files.stderrFile);
    r.out.assign(o.begin(), o.end());
    r.err.assign(e.begin(), e.end());
    return r;
}

inline int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

}  // namespace orvex::test
