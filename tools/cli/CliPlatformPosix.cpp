#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "tools/cli/CliPlatform.h"

namespace orvex::cli {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

// Terminals take the bytes as they come.
struct Utf8Console::Impl {};
Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

// A thread takes SIGINT with sigwait, so the handler may do anything.
struct InterruptHandler::Impl {
    sigset_t interrupt{};
    std::atomic<bool> ending{false};
    std::mutex mutex;
    std::function<void()> fn;
    std::thread waiter;
};

InterruptHandler::InterruptHandler() : m_impl(std::make_unique<Impl>()) {
    sigemptyset(&m_impl->interrupt);
    sigaddset(&m_impl->interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &m_impl->interrupt, nullptr);
    m_impl->waiter = std::thread([impl = m_impl.get()] {
        int sig = 0;
        if (sigwait(&impl->interrupt, &sig) != 0 || sig != SIGINT || impl->ending) return;
        std::lock_guard lock(impl->mutex);
        if (impl->fn) impl->fn();
    });
}

void InterruptHandler::OnInterrupt(std::function<void()> fn) {
    std::lock_guard lock(m_impl->mutex);
    m_impl->fn = std::move(fn);
}

InterruptHandler::~InterruptHandler() {
    m_impl->ending = true;
    pthread_kill(m_impl->waiter.native_handle(), SIGINT);
    m_impl->waiter.join();
}

}  // namespace orvex::cli
