#pragma once
// What the command-line tool needs from the console, on each platform.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvex::cli {

// The arguments after the program's name, as UTF-8 (on Windows argv holds
// them in the ANSI code page, which cannot hold every file name).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

bool StderrIsTerminal();

// While it lives, a console shows what the tool prints as the UTF-8 it is
// (every text and file name here is UTF-8). Output that goes to a file or
// pipe is not touched.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

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
