#pragma once
// The simulator and the command-line tool as child processes, each with a
// deadline, so that a hang shows as a failure and never as a stuck suite.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace orvex::test {

inline std::string BinDir() {
    const char* dir = std::getenv("ORVEX_BIN_DIR");
    return dir ? dir : "";
}

// The parent's environment, with extra NAME=VALUE entries in front.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& extra) {
    std::vector<std::string> env = extra;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    return env;
}

inline pid_t Spawn(std::vector<std::string> args, const std::vector<std::string>& env,
                   posix_spawn_file_actions_t* actions) {
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy = env;
    for (std::string& e : envCopy) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0) return -1;
    return pid;
}

struct Exit {
    bool exited = false;  // ended by itself with an exit status
    int status = -1;      // its exit status
    int signal = 0;       // the signal that ended it, if one did
    bool timedOut = false;
};

// Waits for pid until the deadline; a process still running then is killed.
inline Exit WaitFor(pid_t pid, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    Exit e;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0) return e;
        if (std::chrono::steady_clock::now() >= deadline) {
            e.timedOut = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) {
        e.exited = !e.timedOut;
        e.status = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        e.signal = WTERMSIG(status);
    }
    return e;
}

// orvex-radio-sim on a pseudo-terminal, reached through a link in dir.
class SimProcess {
public:
    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0) ::close(m_out);
    }

    // Starts it; returns the device it printed first, or "".
    std::string Start(const std::string& link, const std::vector<std::string>& extra) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return {};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        std::vector<std::string> args = {BinDir() + "/sim/orvex-radio-sim", "--link", link};
        args.insert(args.end(), extra.begin(), extra.end());
        m_pid = Spawn(args, EnvironmentWith({}), &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
        if (m_pid < 0) return {};
        std::string line;
        char c = 0;
        pollfd p{m_out, POLLIN, 0};
        while (::poll(&p, 1, 10000) > 0 && ::read(m_out, &c, 1) == 1 && c != '\n') line += c;
        return c == '\n' ? line : std::string{};
    }

    // SIGTERM (the simulator saves, then exits); its way of ending.
    Exit Stop() {
        if (m_pid <= 0) return {};
        ::kill(m_pid, SIGTERM);
        const Exit e = WaitFor(m_pid, std::chrono::seconds(5));
        m_pid = -1;
        return e;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
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
    const std::string out = dir.File(tag + ".out"), err = dir.File(tag + ".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> argv = {BinDir() + "/cli/orvex-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    // Keep the tool away from the user's remembered port.
    const std::vector<std::string> env = EnvironmentWith({"ORVEX_PORT_FILE=" + dir.File("ORVEX.CFG")});
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(argv, env, &actions);
    posix_spawn_file_actions_destroy(&actions);
    CliResult r;
    if (pid < 0) return r;
    r.exit = WaitFor(pid, limit);
    r.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const Bytes o = ReadBytes(out), e = ReadBytes(err);
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
