#pragma once
// The one way the tests start a child process: a program of ours with its
// own environment, or a piece of the test itself in a forked child (to be
// killed at a random moment, or to run as an unprivileged user). Output is
// collected while the child runs; every wait has a deadline, after which the
// child is killed, so a hang shows as a failure and never as a stuck suite; a
// child still running when its owner goes away is killed, so a failing test
// leaves nothing behind.
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace orvex::test {

// The directory the tools were built in (set by the test registration).
inline std::string BinDir() {
    const char* dir = std::getenv("ORVEX_BIN_DIR");
    return dir ? dir : "";
}
inline std::string ToolPath(const std::string& relative) {
    const std::string dir = BinDir();
    return dir.empty() ? std::string{} : dir + "/" + relative;
}

// How a child ended.
struct Exit {
    bool exited = false;  // ended by itself with an exit status
    int status = -1;      // its exit status
    int signal = 0;       // the signal that ended it, if one did
    bool timedOut = false;
};

// The user a child drops to for the cases root would get through: file modes
// mean nothing to root, and CI runs as root.
struct Unprivileged {
    uid_t uid = 65534;
    gid_t gid = 65534;
    Unprivileged() {
        if (const passwd* pw = ::getpwnam("nobody")) {
            uid = pw->pw_uid;
            gid = pw->pw_gid;
        }
    }
    static bool Needed() { return ::geteuid() == 0; }

    // Hands path and everything under it to that user, so the child reaches
    // them as their owner. Nothing to do when the tests do not run as root.
    void Own(const std::filesystem::path& path) const {
        if (!Needed()) return;
        namespace fs = std::filesystem;
        std::error_code ec;
        [[maybe_unused]] const int rc = ::lchown(path.c_str(), uid, gid);
        if (fs::is_directory(fs::symlink_status(path, ec)))
            for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
                [[maybe_unused]] const int r = ::lchown(it->path().c_str(), uid, gid);
    }
};

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;
    using Env = std::map<std::string, std::string>;

    struct Options {
        // Variables of the parent left out, by name prefix ("ORVEX_PORT_").
        std::vector<std::string> without;
        // Output into these files instead of being collected through a pipe
        // (for a child whose output may outgrow one nobody reads).
        std::string stdoutFile, stderrFile;
    };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        Kill();
        for (int fd : {m_out, m_err})
            if (fd >= 0) ::close(fd);
    }

    // Starts argv[0] with the parent's environment less opts.without, then
    // env on top; stdin is /dev/null.
    bool Start(std::vector<std::string> argv, const Env& env = {}, const Options& opts = {}) {
        std::vector<std::string> vars;
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            const std::string name = var.substr(0, var.find('='));
            const bool dropped = std::any_of(opts.without.begin(), opts.without.end(),
                                             [&](const std::string& p) { return name.rfind(p, 0) == 0; });
            if (dropped || env.count(name)) continue;
            vars.push_back(var);
        }
        for (const auto& [name, value] : env) vars.push_back(name + "=" + value);

        int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
        if (!OpenPipes(outPipe, errPipe)) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (opts.stdoutFile.empty())
            posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, opts.stdoutFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (opts.stderrFile.empty())
            posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, opts.stderrFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
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
        AdoptPipes(outPipe, errPipe);
        if (rc != 0) m_pid = -1;
        return rc == 0;
    }

    // Runs body in a forked copy of this process, its exit status what body
    // returns; what it prints is collected like a program's output. With
    // unprivileged set and the tests running as root, the child first drops
    // to that user, so file modes hold for it as for any user.
    bool Fork(const std::function<int()>& body, const Unprivileged* unprivileged = nullptr) {
        int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
        if (!OpenPipes(outPipe, errPipe)) return false;
        std::fflush(nullptr);  // nothing buffered is printed twice
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(outPipe[1], STDOUT_FILENO);
            ::dup2(errPipe[1], STDERR_FILENO);
            if (unprivileged && Unprivileged::Needed()) {
                if (::setgroups(0, nullptr) != 0 || ::setgid(unprivileged->gid) != 0 ||
                    ::setuid(unprivileged->uid) != 0 || ::geteuid() == 0) {
                    std::perror("dropping privileges");
                    ::_exit(126);
                }
            }
            const int status = body();
            std::fflush(nullptr);
            ::_exit(status);  // no exit handlers or leak checks of the parent's state
        }
        AdoptPipes(outPipe, errPipe);
        return m_pid > 0;
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
    void Kill() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

    // Waits for the end (reading output meanwhile); a child still running
    // after timeoutMs is killed and reported as timed out.
    Exit Finish(int timeoutMs) {
        Exit e;
        const auto limit = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_pid > 0) {
            int status = 0;
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_pid = -1;
                while (Pump(0)) {
                }
                if (WIFEXITED(status)) {
                    e.exited = true;
                    e.status = WEXITSTATUS(status);
                } else if (WIFSIGNALED(status)) {
                    e.signal = WTERMSIG(status);
                }
                return e;
            }
            if (r < 0) return e;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
            if (left <= 0) break;
            if (!Pump(static_cast<int>(std::min<long long>(left, 20))))
                ::usleep(2000);  // both streams closed; the exit is near
        }
        if (m_pid > 0) {
            e.timedOut = true;
            e.signal = SIGKILL;
            Kill();
        }
        return e;
    }
    // The exit status, or -1 when it was killed by a signal or did not end
    // in time.
    int Wait(int timeoutMs) {
        const Exit e = Finish(timeoutMs);
        return e.exited ? e.status : -1;
    }

    bool Running() const { return m_pid > 0; }
    const std::string& Stdout() const { return m_stdout; }
    const std::string& Stderr() const { return m_stderr; }

private:
    static bool OpenPipes(int (&out)[2], int (&err)[2]) {
        if (::pipe2(out, O_CLOEXEC) != 0) return false;
        if (::pipe2(err, O_CLOEXEC) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return false;
        }
        return true;
    }
    void AdoptPipes(int (&out)[2], int (&err)[2]) {
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }

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

// Runs body as the unprivileged user (as this user when the tests do not
// run as root) and returns what it printed, its exit status appended as
// "exit N": a test compares that whole text, so a child that failed or could
// not drop its privileges shows in the comparison.
inline std::string RunUnprivileged(const std::function<int()>& body, int timeoutMs = 20'000) {
    const Unprivileged user;
    ChildProcess child;
    if (!child.Fork(body, &user)) return "fork failed";
    const Exit e = child.Finish(timeoutMs);
    return child.Stdout() + child.Stderr() +
           (e.exited ? "exit " + std::to_string(e.status) : "signal " + std::to_string(e.signal));
}

}  // namespace orvex::test
#endif
