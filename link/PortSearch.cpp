#include "link/PortSearch.h"

#include <cstdio>
#include <utility>

#include "link/LinkTexts.h"
#include "link/PortSettingsFile.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

std::string Format(std::string_view format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, std::string(format).c_str(), value);
    return text;
}

}  // namespace

CPortSearch::CPortSearch(ITransferForm& form, CRadioLink& link, IEventLoop& loop, PortSettingsPlaces settings)
    : m_form(form), m_link(link), m_loop(loop), m_settings(std::move(settings)) {
    m_link.Probes().SetProbeListener(this);
}

CPortSearch::~CPortSearch() {
    StopTimer();
    m_link.Probes().SetProbeListener(nullptr);
}

void CPortSearch::StartTimer() {
    StopTimer();
    m_timerRunning = true;
    m_timer = m_loop.StartTimer(kTickMs, [this] {
        m_timerRunning = false;
        StartTimer();  // periodic until stopped
        // A tick waits for a pause in progress, like any timer message. A
        // tick still waiting when the timer is stopped or started again
        // belongs to a search that is over: a restarted search must not run
        // it the moment its own wait ends.
        const std::uint64_t tick = m_generation;
        m_link.WhenIdle([this, tick] {
            if (tick == m_generation) OnTimer();
        });
    });
}

void CPortSearch::StopTimer() {
    if (m_timerRunning) m_loop.CancelTimer(m_timer);
    m_timerRunning = false;
    ++m_generation;
}

void CPortSearch::SetCheckingText(int comNumber) {
    m_checkingText = Format(texts::kCheckingFormat, comNumber);
    m_form.SetStatusText(m_checkingText);
}

void CPortSearch::OnAutoSearch() {
    if (m_link.Activity().pausing) {
        m_link.WhenIdle([this] { OnAutoSearch(); });
        return;
    }
    if (m_form.IsTableLocked()) return;
    // A cancel left over from another command (Read, Save, ...) must not
    // end this search before it has probed anything.
    m_bCancelled = false;
    m_link.StopTransfer();
    m_link.After(500, [this] {
        StopTimer();
        m_bSearchActive = true;
        m_bSearchFound = false;
        m_nPortIndex = 0;
        m_toProbe.clear();
        if (m_probeList) {
            m_toProbe = m_probeList();
        } else {
            for (int com = 1; com <= kPortIndexMax + 1; ++com) m_toProbe.push_back(com);
        }
        m_nextProbe = 0;
        SetCheckingText(m_toProbe.empty() ? 1 : m_toProbe.front());
        StartTimer();
        // The first port is probed at once; waiting a tick for it would only
        // make the user wait.
        if (!m_toProbe.empty()) OnTimer();
    });
}

void CPortSearch::OnTimer() {
    if (std::exchange(m_bCancelled, false)) {
        StopTimer();
        m_bSearchActive = false;
        m_form.ShowColumnHintAfter(m_checkingText);
        return;
    }
    if (!m_bSearchActive) return;
    if (m_bSearchFound) {
        Trace("USB OK!!!%d\n", m_nPortIndex);
        StopTimer();
        m_bSearchActive = false;
        m_bSearchFound = false;
        m_link.ChoosePort(m_nPortIndex - 1);
        m_form.ShowColumnHintAfter(m_checkingText);
        // The port is used for this run either way; the user must know when
        // the next start will not find it.
        std::string detail;
        const std::string identity = m_identityOf ? m_identityOf(m_nPortIndex) : std::string{};
        const Outcome<RememberedPort> written = WritePortSettingsTo(m_settings, m_nPortIndex - 1, identity);
        if (!written)
            detail = "COM" + std::to_string(m_nPortIndex) +
                     " is not remembered for the next start: " + written.problem().Text();
        // A port remembered in the second place is found there, but the
        // user who looks for the first place's file must learn where it is.
        else if (written.value().moved) m_form.SetStatusText(MovedPortSettingsText(m_nPortIndex, m_settings));
        m_form.Prompter().Show(UserMessage{std::string(texts::kSearchSuccess), detail, MsgIcon::None, MsgButtons::Ok});
        Trace("============ %d ==============\n", m_nPortIndex - 1);
        return;
    }
    if (m_nextProbe >= m_toProbe.size()) {
        StopTimer();
        m_bSearchActive = false;
        // The last port probed has no radio; holding it would only keep
        // other programs off it.
        m_link.StopTransfer();
        m_form.Prompter().Show(UserMessage{std::string(texts::kSearchFailure), {}, MsgIcon::Stop, MsgButtons::Ok});
        m_form.ShowColumnHintAfter(m_checkingText);
        return;
    }
    const int com = m_toProbe[m_nextProbe++];
    m_link.StopTransfer();
    if (m_link.Probes().ProbeOpen(com - 1)) {
        StopTimer();
        Trace("CHECKING : COM%d GOOD\n", com);
        m_link.Probes().SendProbe();
        StartTimer();
    } else {
        Trace("CHECKING: COM%d FAIL\n", com);
    }
    SetCheckingText(com);
    m_nPortIndex = com;
}

void CPortSearch::OnProbeAnswered() {
    m_bSearchFound = true;
    // The radio answered: say so now rather than at the end of the probe's
    // 200 ms, once the link has sent its reply. A tick, a stop or a new
    // search in between makes this call stale.
    const std::uint64_t probe = m_generation;
    m_loop.Post([this, probe, alive = std::weak_ptr<bool>(m_alive)] {
        if (!alive.lock()) return;
        m_link.WhenIdle([this, probe] {
            if (probe == m_generation && m_bSearchActive && m_bSearchFound) OnTimer();
        });
    });
}

void CPortSearch::OnAutoStop() {
    if (m_link.Activity().pausing) {
        m_link.WhenIdle([this] { OnAutoStop(); });
        return;
    }
    m_bSearchActive = false;
    m_link.Probes().SilenceWatchdog();
    m_form.Prompter().Show(UserMessage{std::string(texts::kSearchStopped), {}, MsgIcon::None, MsgButtons::Ok});
    StartTimer();
    Cancel();
    m_link.StopTransfer();
    m_link.OpenRadioPort();
}

}  // namespace orvex
