#pragma once
// Whether a radio answers on the configured port, asked once a second: the
// port is opened for one device check, given a moment for the answer and
// closed again, so that a transfer can open it between two probes. Batch
// programming waits through it for the next radio to be plugged in and for
// the last one to be taken away.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/EventLoop.h"
#include "link/RadioLink.h"

namespace orvex {

class RadioPresence : private IProbeListener {
public:
    static constexpr int kProbeEveryMs = 1000;
    // Longer than the line's burst gap and the radio's answer together; an
    // answered probe is still held to it, so that the radio's reply to the
    // link's answer has arrived before the port closes.
    static constexpr int kAnswerWaitMs = 300;

    enum class Finding {
        Answering,  // the radio answered the device check
        Silent,     // the port opened, nothing answered: no radio, or one switched off
        NoPort,     // the port did not open: the cable is not plugged in, or taken
    };
    struct Probe {
        Finding finding = Finding::Silent;
        std::string detail;  // NoPort: the port's own reason
    };
    using Report = std::function<void(const Probe&)>;

    RadioPresence(CRadioLink& link, IEventLoop& loop);
    ~RadioPresence() override;
    RadioPresence(const RadioPresence&) = delete;
    RadioPresence& operator=(const RadioPresence&) = delete;

    // Probes now and every second until a radio answers, then calls done
    // with that probe (from the loop, the port closed). Replaces a wait
    // under way.
    void AwaitRadio(Report done);
    // The same until no radio answers: a silent line or a port that does
    // not open, which done tells apart.
    void AwaitDeparture(Report done);
    // Stops waiting; done is not called. The port is left closed.
    void Cancel();

    // Hears every probe's finding as it is made.
    void SetObserver(Report observer) { m_observer = std::move(observer); }
    bool Waiting() const { return m_waiting; }

private:
    enum class Want { Radio, Departure };

    // IProbeListener: the link spots the radio's answer to the device check.
    bool ProbeRunning() const override { return m_probing; }
    void OnProbeAnswered() override { m_answered = true; }

    void Await(Want want, Report done);
    void ProbeWhenIdle();
    void ProbeNow();
    void Conclude(Probe probe);
    void ReleaseProbe();
    void Schedule(int ms, std::function<void()> fn);

    CRadioLink& m_link;
    IEventLoop& m_loop;
    Report m_observer;
    Report m_done;
    Want m_want = Want::Radio;
    bool m_waiting = false;
    bool m_probing = false;   // a device check is out, its answer awaited
    bool m_answered = false;  // ... and the radio answered it
    bool m_timerArmed = false;
    IEventLoop::TimerId m_timer = 0;
    IProbeListener* m_previousListener = nullptr;
    std::int64_t m_probeStartedAt = 0;
    std::uint64_t m_generation = 0;  // a wait's tasks run only while it is the current one
};

}  // namespace orvex
