#pragma once
// The owner thread's event loop as the link code sees it: posted tasks and
// single-shot timers. The GUI supplies one over its toolkit's loop; the CLI
// and the tests use EventLoop below, in real or in virtual time.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

namespace orvex {

class IEventLoop {
public:
    using Callback = std::function<void()>;
    using TimerId = std::uint64_t;

    virtual ~IEventLoop() = default;
    // Runs fn on the loop's thread soon. Callable from any thread.
    virtual void Post(Callback fn) = 0;
    // Runs fn once, ms milliseconds from now. Loop thread only.
    virtual TimerId StartTimer(int ms, Callback fn) = 0;
    // Cancelling a timer that has fired or was cancelled does nothing.
    virtual void CancelTimer(TimerId id) = 0;
    // Milliseconds on the loop's clock.
    virtual std::int64_t NowMs() const = 0;
};

class EventLoop : public IEventLoop {
public:
    enum class Clock { Real, Virtual };

    explicit EventLoop(Clock clock = Clock::Real);

    void Post(Callback fn) override;
    TimerId StartTimer(int ms, Callback fn) override;
    void CancelTimer(TimerId id) override;
    std::int64_t NowMs() const override;

    // Runs tasks and timers until done() holds (true) or maxMs pass on the
    // loop's clock (false). In virtual time the clock jumps from timer to
    // timer, so minutes of protocol run in microseconds.
    bool RunUntil(const std::function<bool()>& done, std::int64_t maxMs);
    void RunFor(std::int64_t ms) {
        RunUntil([] { return false; }, ms);
    }
    // Asks a running RunUntil to return (any thread).
    void Quit();

private:
    bool RunPosted();
    bool RunOneDueTimer(std::int64_t nowUs);
    std::int64_t NowUs() const;
    std::int64_t RealNowUs() const;

    // Microseconds inside, so that a 1 ms pause is never cut short by
    // rounding of the clock.
    const Clock m_clock;
    std::int64_t m_virtualNowUs = 0;
    std::int64_t m_realStartUs = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Callback> m_posted;
    bool m_quit = false;

    struct Timer {
        std::int64_t dueUs;
        TimerId id;
        bool operator<(const Timer& o) const { return dueUs != o.dueUs ? dueUs < o.dueUs : id < o.id; }
    };
    std::map<Timer, Callback> m_timers;  // loop thread only
    std::map<TimerId, std::int64_t> m_timerDue;
    TimerId m_nextId = 1;
};

}  // namespace orvex
