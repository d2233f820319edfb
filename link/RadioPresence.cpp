#include "link/RadioPresence.h"

#include <algorithm>

namespace orvex {

RadioPresence::RadioPresence(CRadioLink& link, IEventLoop& loop) : m_link(link), m_loop(loop) {}

RadioPresence::~RadioPresence() { Cancel(); }

void RadioPresence::AwaitRadio(Report done) { Await(Want::Radio, std::move(done)); }

void RadioPresence::AwaitDeparture(Report done) { Await(Want::Departure, std::move(done)); }

void RadioPresence::Await(Want want, Report done) {
    Cancel();
    m_want = want;
    m_done = std::move(done);
    m_waiting = true;
    ProbeWhenIdle();
}

void RadioPresence::Cancel() {
    ++m_generation;
    if (m_timerArmed) m_loop.CancelTimer(m_timer);
    m_timerArmed = false;
    if (m_probing) {
        ReleaseProbe();
        m_link.CloseRadioPort();
    }
    m_waiting = false;
    m_done = nullptr;
}

void RadioPresence::Schedule(int ms, std::function<void()> fn) {
    if (m_timerArmed) m_loop.CancelTimer(m_timer);
    m_timerArmed = true;
    const std::uint64_t generation = m_generation;
    m_timer = m_loop.StartTimer(ms, [this, generation, fn = std::move(fn)] {
        m_timerArmed = false;
        if (generation == m_generation) fn();
    });
}

void RadioPresence::ProbeWhenIdle() {
    // A transfer still finishing owns the port; the probe waits for it.
    const std::uint64_t generation = m_generation;
    m_link.WhenIdle([this, generation] {
        if (generation != m_generation) return;
        if (m_link.Activity().Busy()) {
            Schedule(kProbeEveryMs, [this] { ProbeWhenIdle(); });
            return;
        }
        ProbeNow();
    });
}

void RadioPresence::ProbeNow() {
    m_probeStartedAt = m_loop.NowMs();
    if (!m_link.Probes().ProbeOpen(m_link.ConfiguredPort())) {
        Conclude({Finding::NoPort, m_link.Port().LastError().Text()});
        return;
    }
    m_previousListener = m_link.Probes().ProbeListener();
    m_link.Probes().SetProbeListener(this);
    m_probing = true;
    m_answered = false;
    m_link.Probes().SendProbe();
    Schedule(kAnswerWaitMs, [this] {
        // The link's reply to an answer may still be pausing on the line.
        const std::uint64_t generation = m_generation;
        m_link.WhenIdle([this, generation] {
            if (generation != m_generation) return;
            const bool answered = m_answered;
            ReleaseProbe();
            m_link.CloseRadioPort();
            Conclude({answered ? Finding::Answering : Finding::Silent, {}});
        });
    });
}

void RadioPresence::ReleaseProbe() {
    m_probing = false;
    m_link.Probes().SetProbeListener(m_previousListener);
    m_previousListener = nullptr;
}

void RadioPresence::Conclude(Probe probe) {
    const std::uint64_t generation = m_generation;
    if (m_observer) m_observer(probe);
    if (generation != m_generation) return;  // the observer ended or replaced the wait
    const bool wanted = (m_want == Want::Radio) == (probe.finding == Finding::Answering);
    if (!wanted) {
        const auto spent = static_cast<int>(m_loop.NowMs() - m_probeStartedAt);
        Schedule(std::max(0, kProbeEveryMs - spent), [this] { ProbeWhenIdle(); });
        return;
    }
    m_waiting = false;
    ++m_generation;
    const Report done = std::move(m_done);
    m_done = nullptr;
    if (done) done(probe);
}

}  // namespace orvex
