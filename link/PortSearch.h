#pragma once
// "Auto Search": probes COM1..COM256, one port a tick, until a radio
// answers the device check; the port found is remembered in the port
// settings file. "Auto Stop" (or any key) ends it.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "link/EventLoop.h"
#include "link/PortSettingsFile.h"
#include "link/RadioLink.h"
#include "link/TransferForm.h"

namespace orvex {

class CPortSearch : private IProbeListener {
public:
    static constexpr int kTickMs = 200;

    // The COM numbers worth probing, ascending, looked up afresh when a
    // search starts; the others are passed over without a tick.
    using ProbeList = std::function<std::vector<int>()>;

    CPortSearch(ITransferForm& form, CRadioLink& link, IEventLoop& loop, PortSettingsPlaces settings);
    ~CPortSearch();

    // Without a list every number, COM1..COM256, is probed.
    void SetProbeList(ProbeList list) { m_probeList = std::move(list); }
    // The identity line remembered with a port found (none without this).
    void SetIdentityOf(std::function<std::string(int comNumber)> identityOf) { m_identityOf = std::move(identityOf); }

    void OnAutoSearch();
    void OnAutoStop();
    // Ends a running or starting search at its next tick, without a word;
    // nothing when none runs.
    void Cancel() { m_bCancelled = true; }
    // The search timer's tick (timer 1 of the form).
    void OnTimer();

    bool Active() const { return m_bSearchActive; }
    // Neither searching nor about to end a search at the next tick.
    bool Settled() const { return !m_timerRunning; }
    int PortIndex() const { return m_nPortIndex; }

private:
    // IProbeListener: the link spots the radio's answer to a probe.
    bool ProbeRunning() const override { return m_bSearchActive; }
    void OnProbeAnswered() override;
    void OnTransferCommand() override { Cancel(); }

    void StartTimer();
    void StopTimer();
    void SetCheckingText(int comNumber);

    ITransferForm& m_form;
    CRadioLink& m_link;
    IEventLoop& m_loop;
    PortSettingsPlaces m_settings;
    ProbeList m_probeList;
    std::function<std::string(int)> m_identityOf;
    std::vector<int> m_toProbe;  // this search's COM numbers
    std::size_t m_nextProbe = 0;
    int m_nPortIndex = 0;  // the COM number probed last (0: none yet)
    bool m_bSearchActive = false;
    bool m_bSearchFound = false;
    bool m_bCancelled = false;  // to end at the next tick
    std::string m_checkingText;  // the status text the search last showed
    bool m_timerRunning = false;
    IEventLoop::TimerId m_timer = 0;
    std::uint64_t m_generation = 0;  // counts StopTimer calls; ticks of an older count are dropped
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // posted tasks must not outlive the search
};

}  // namespace orvex
