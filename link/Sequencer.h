#pragma once
// Runs the protocol's steps in order with their pauses, without blocking the
// owner's thread: a pause is a timer, not a sleep. While steps are pending
// the link counts as busy, and work that would have waited for the pause
// (received data, user commands) waits for the sequence to finish.
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/EventLoop.h"

namespace orvex {

class Sequencer {
public:
    using Action = std::function<void()>;
    using Writer = std::function<void(std::uint8_t)>;

    Sequencer(IEventLoop& loop, Writer writer) : m_loop(loop), m_write(std::move(writer)) {}
    ~Sequencer() { Cancel(); }

    // Writes value, then pauses pauseMs before the next step.
    void Send(std::uint8_t value, int pauseMs) { Add({Kind::Send, value, pauseMs, {}}); }
    void Wait(int ms) { Add({Kind::Wait, 0, ms, {}}); }
    // Runs fn in turn; steps fn adds run before the steps queued after it.
    void Then(Action fn) { Add({Kind::Action, 0, 0, std::move(fn)}); }

    bool Busy() const { return m_pausing || m_running || !m_steps.empty(); }
    // Runs fn once nothing is pending (at once when idle).
    void WhenIdle(Action fn);
    // Drops every pending step and pause (not the idle callbacks).
    void Cancel();

private:
    enum class Kind { Send, Wait, Action };
    struct Step {
        Kind kind;
        std::uint8_t value;
        int ms;
        Action fn;
    };

    void Add(Step step);
    void Pump();
    void Pause(int ms);

    IEventLoop& m_loop;
    Writer m_write;
    std::deque<Step> m_steps;
    std::vector<Step>* m_insert = nullptr;  // steps added by the running action
    std::deque<Action> m_idle;
    bool m_pausing = false;
    bool m_running = false;
    bool m_inIdle = false;
    IEventLoop::TimerId m_timer = 0;
    std::uint64_t m_generation = 0;  // guards timers of a cancelled sequence
};

}  // namespace orvex
