#pragma once
// "Auto Search": probes COM1..COM256, one port a tick, until a radio
// answers the device check; the port found is remembered in the port
// settings file. "Auto Stop" (or any key) ends it.
#include <cstdint>
#include <string>

#include "link/EventLoop.h"
#include "link/RadioLink.h"
#include "link/TransferForm.h"

namespace orvex {

class CPortSearch : private IProbeListener {
public:
    static constexpr int kTickMs = 200;

    CPortSearch(ITransferForm& form, CRadioLink& link, IEventLoop& loop, std::string settingsPath);
    ~CPortSearch();

    void OnAutoSearch();
    void OnAutoStop();
    // The search timer's tick (timer 1 of the form).
    void OnTimer();

    bool Active() const { return m_bSearchActive; }
    // Neither searching nor about to end a search at the next tick.
    bool Settled() const { return !m_timerRunning; }
    int PortIndex() const { return m_nPortIndex; }

private:
    // IProbeListener: the link spots the radio's answer to a probe.
    bool ProbeRunning() const override { return m_bSearchActive; }
    void OnProbeAnswered() override { m_bSearchFound = true; }

    void StartTimer();
    void StopTimer();
    void SetCheckingText(int comNumber);

    ITransferForm& m_form;
    CRadioLink& m_link;
    IEventLoop& m_loop;
    std::string m_settingsPath;
    int m_nPortIndex = 0;
    bool m_bSearchActive = false;
    bool m_bSearchFound = false;
    std::string m_checkingText;  // the status text the search last showed
    bool m_timerRunning = false;
    IEventLoop::TimerId m_timer = 0;
    std::uint64_t m_generation = 0;  // counts StopTimer calls; ticks of an older count are dropped
};

}  // namespace orvex
