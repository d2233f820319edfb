#pragma once
// A tool of ours as a child process with its own environment, its stdout and
// stderr collected while it runs. A child still running when the object goes
// away is killed, so a failing test leaves nothing behind.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace orvex::test {

// The directory the tools were built in (set by the test registration).
inline std::string ToolPath(const std::string& relative) {
    const char* dir = std::getenv("ORVEX_BIN_DIR");
    return dir ? std::string(dir) + "/" + relative : std::string{};
}

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;
    using Env = std::map<std::string, std::string>;

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        for (int fd : {m_out, m_err})
            if (fd >= 0) ::close(fd);
    }

    // The parent's environment without anything that says where ports and
    // the port settings file are, then env on top.
    bool Start(std::vector<std::string> argv, const Env& env) {
        std::vector<std::string> vars;
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            const std::string name = var.substr(0, var.find('='));
            if (name.rfind("ORVEX_PORT_", 0) == 0 || name == "ORVEX_TRACE" || env.count(name)) continue;
            vars.push_back(var);
        }
        for (const auto& [name, value] : env) vars.push_back(name + "=" + value);

        int outPipe[2], errPipe[2];
        if (::pipe2(outPipe, O_CLOEXEC) != 0) return false;
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            ::close(outPipe[0]);
            ::close(outPipe[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
        // The child starts with the default mask and handlers whatever the
        // test runner has blocked.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::vector<char*> args, envp;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        for (std::string& v : vars) envp.push_back(v.data());
        envp.push_back(nullptr);
        const int rc = ::posix_spawn(&m_pid, args[0], &actions, &attr, args.data(), envp.data());
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        m_out = outPipe[0];
        m_err = errPipe[0];
        if (rc != 0) m_pid = -1;
        return rc == 0;
    }

    // Collects output until done() holds or timeoutMs pass; false on timeout
    // or when both streams have ended without done() holding.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
        const auto limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
            if (left <= 0 || !Pump(static_cast<int>(left))) return done();
        }
        return true;
    }
    bool WaitForStdout(const std::string& text, int timeoutMs) {
        return WaitFor([&] { return m_stdout.find(text) != std::string::npos; }, timeoutMs);
    }
    bool WaitForStderr(const std::string& text, int timeoutMs) {
        return WaitFor([&] { return m_stderr.find(text) != std::string::npos; }, timeoutMs);
    }
    // The first line of stdout, without its line feed ("" on timeout).
    std::string FirstLine(int timeoutMs) {
        if (!WaitForStdout("\n", timeoutMs)) return {};
        return m_stdout.substr(0, m_stdout.find('\n'));
    }

    void Signal(int sig) {
        if (m_pid > 0) ::kill(m_pid, sig);
    }

    // Waits for the exit (reading output meanwhile): the exit status, or -1
    // when it was killed by a signal or did not end in time (then killed).
    int Wait(int timeoutMs) {
        const auto limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_pid > 0) {
            int status = 0;
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = -1;
                while (Pump(0)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
            if (left <= 0) break;
            if (!Pump(static_cast<int>(std::min<long long>(left, 20))))
                ::usleep(2000);  // both streams closed; the exit is near
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        return -1;
    }

    const std::string& Stdout() const { return m_stdout; }
    const std::string& Stderr() const { return m_stderr; }

private:
    // Reads what is there within timeoutMs; false once both streams ended.
    bool Pump(int timeoutMs) {
        pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
        if (m_out < 0 && m_err < 0) return false;
        if (::poll(fds, 2, timeoutMs) < 0) return false;
        Drain(fds[0], m_out, m_stdout);
        Drain(fds[1], m_err, m_stderr);
        return m_out >= 0 || m_err >= 0;
    }
    static void Drain(const pollfd& p, int& fd, std::string& into) {
        if (fd < 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR))) return;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else {
            ::close(fd);
            fd = -1;
        }
    }

    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_stdout;
    std::string m_stderr;
};

}  // namespace orvex::test
