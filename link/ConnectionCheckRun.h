#pragma once
// Connection Check off the owner's thread: the look at the system and the
// line test (which listens for up to 600 ms) run on a thread of their own,
// so a window keeps drawing and answering meanwhile. The findings come back
// on the owner's loop.
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/ConnectionCheck.h"

namespace orvex {

class ConnectionCheckRun {
public:
    // The port the line test opens, made on the test's own loop.
    using PortFactory = std::function<std::unique_ptr<IRadioPort>(IEventLoop&)>;
    // The findings in order, the line test's last; answers: the radio answered.
    using Done = std::function<void(std::vector<Finding> findings, bool answers)>;

    // Starts at once. done runs on owner's loop, unless this goes first.
    ConnectionCheckRun(IEventLoop& owner, std::string device, CheckSources sources, PortFactory makePort, Done done);
    // Waits for the thread (the line test's listening at the most); done is
    // not called after this.
    ~ConnectionCheckRun();
    ConnectionCheckRun(const ConnectionCheckRun&) = delete;
    ConnectionCheckRun& operator=(const ConnectionCheckRun&) = delete;

private:
    struct Handoff;
    std::shared_ptr<Handoff> m_handoff;
    std::thread m_thread;
};

}  // namespace orvex
