#pragma once
// The link's event loop on top of Qt's: posted tasks run on the GUI thread,
// timers are precise single shots. In virtual time (for tests) the clock
// stands still until the owner runs it on: the timers then fire in due
// order at once, with the toolkit's events handled between them, so the
// protocol's pauses and the watchdog take no wall-clock time.
#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <map>
#include <utility>

#include "link/EventLoop.h"

class QTimer;

namespace orvex {

class QtEventLoop : public QObject, public IEventLoop {
    Q_OBJECT
public:
    enum class Time { Real, Virtual };

    explicit QtEventLoop(Time time = Time::Real, QObject* parent = nullptr);
    ~QtEventLoop() override;

    void Post(Callback fn) override;
    TimerId StartTimer(int ms, Callback fn) override;
    void CancelTimer(TimerId id) override;
    std::int64_t NowMs() const override { return m_time == Time::Virtual ? m_virtualNowMs : m_clock.elapsed(); }

    bool IsVirtual() const { return m_time == Time::Virtual; }
    // Virtual time only: handles the toolkit's events and fires the timers
    // due until done() holds (true) or maxMs have passed on the clock.
    bool RunUntil(const std::function<bool()>& done, std::int64_t maxMs);
    void RunFor(std::int64_t ms) {
        RunUntil([] { return false; }, ms);
    }

private:
    const Time m_time;
    QElapsedTimer m_clock;
    std::map<TimerId, QTimer*> m_timers;
    // Virtual time: the timers by due time, then by the order they were set.
    std::int64_t m_virtualNowMs = 0;
    std::map<std::pair<std::int64_t, TimerId>, Callback> m_virtualTimers;
    TimerId m_nextId = 1;
};

}  // namespace orvex
