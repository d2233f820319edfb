#include "link/Sequencer.h"

namespace orvex {

void Sequencer::Add(Step step) {
    if (m_insert) {
        m_insert->push_back(std::move(step));
        return;
    }
    m_steps.push_back(std::move(step));
    if (!m_running) Pump();
}

void Sequencer::WhenIdle(Action fn) {
    m_idle.push_back(std::move(fn));
    if (!Busy()) Pump();
}

void Sequencer::Cancel() {
    m_steps.clear();
    if (m_pausing) m_loop.CancelTimer(m_timer);
    m_pausing = false;
    ++m_generation;
}

void Sequencer::Pause(int ms) {
    if (ms <= 0) return;
    m_pausing = true;
    const std::uint64_t generation = m_generation;
    m_timer = m_loop.StartTimer(ms, [this, generation] {
        if (generation != m_generation) return;
        m_pausing = false;
        Pump();
    });
}

void Sequencer::Pump() {
    if (m_running) return;
    m_running = true;
    while (!m_pausing && !m_steps.empty()) {
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        switch (step.kind) {
            case Kind::Send:
                m_write(step.value);
                Pause(step.ms);
                break;
            case Kind::Wait:
                Pause(step.ms);
                break;
            case Kind::Action: {
                std::vector<Step> added;
                std::vector<Step>* outer = m_insert;
                m_insert = &added;
                step.fn();
                m_insert = outer;
                m_steps.insert(m_steps.begin(), std::make_move_iterator(added.begin()),
                               std::make_move_iterator(added.end()));
                break;
            }
        }
    }
    m_running = false;
    if (m_inIdle) return;
    m_inIdle = true;
    while (!Busy() && !m_idle.empty()) {
        Action fn = std::move(m_idle.front());
        m_idle.pop_front();
        fn();
    }
    m_inIdle = false;
}

}  // namespace orvex
