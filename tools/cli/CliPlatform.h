#pragma once
// What the command-line tool needs from the console, on each platform.
#include <functional>
#include <memory>

namespace orvex::cli {

bool StderrIsTerminal();

// While it lives, Ctrl+C does not end the process; it calls the function
// given to OnInterrupt, if any, on a thread of its own. Make it before any
// other thread: on POSIX the threads started later inherit its signal mask.
class InterruptHandler {
public:
    InterruptHandler();
    void OnInterrupt(std::function<void()> fn);
    ~InterruptHandler();
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace orvex::cli
