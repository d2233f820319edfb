#include "link/ConnectionCheckRun.h"

#include <mutex>

#include "link/CRadioPort.h"

namespace orvex {

// What the thread hands the owner; the owner's side may have gone by the
// time the findings arrive.
struct ConnectionCheckRun::Handoff {
    std::mutex mutex;
    ConnectionCheckRun::Done done;  // emptied when the run goes
};

ConnectionCheckRun::ConnectionCheckRun(IEventLoop& owner, std::string device, CheckSources sources,
                                       PortFactory makePort, Done done)
    : m_handoff(std::make_shared<Handoff>()) {
    m_handoff->done = std::move(done);
    m_thread = std::thread([&owner, handoff = m_handoff, device = std::move(device), sources = std::move(sources),
                            makePort = std::move(makePort)] {
        std::vector<Finding> findings = CheckDevice(device, sources);
        LineTestResult line;
        if (!DeviceIsMissing(findings)) {
            EventLoop lineLoop(EventLoop::Clock::Real);
            std::unique_ptr<IRadioPort> port = makePort ? makePort(lineLoop) : std::make_unique<CRadioPort>();
            line = RunLineTest(*port, device, lineLoop);
            port.reset();  // closed on this thread, before the owner opens the device again
            findings.push_back(LineFinding(line, sources.picking));
        }
        const bool answers = line.answer == LineAnswer::Radio;
        // Posted only while the owner still waits: the loop may be gone
        // with it once the run is destroyed.
        std::lock_guard lock(handoff->mutex);
        if (!handoff->done) return;
        owner.Post([handoff, findings = std::move(findings), answers]() mutable {
            Done done;
            {
                std::lock_guard lock(handoff->mutex);
                done = std::move(handoff->done);
                handoff->done = nullptr;
            }
            if (done) done(std::move(findings), answers);
        });
    });
}

ConnectionCheckRun::~ConnectionCheckRun() {
    {
        std::lock_guard lock(m_handoff->mutex);
        m_handoff->done = nullptr;
    }
    if (m_thread.joinable()) m_thread.join();
}

}  // namespace orvex
