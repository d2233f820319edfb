#include "link/RadioLink.h"

#include <algorithm>
#include <cstdio>

#include "link/LinkTexts.h"
#include "settings/ProtocolBytes.h"
#include "settings/QMDataMng.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

// The detail of a lost connection.
constexpr std::string_view kHungUp = "the device hung up";

}  // namespace

CRadioLink::CRadioLink(ITransferForm& form, IEventLoop& loop, std::unique_ptr<IRadioPort> port,
                       PortResolver resolver)
    : m_form(form),
      m_loop(loop),
      m_pComm(std::move(port)),
      m_resolve(std::move(resolver)),
      m_seq(loop, [this](std::uint8_t value) { m_pComm->WriteComm(&value, 1); }) {
    m_pComm->SetListener(this);
}

CRadioLink::~CRadioLink() {
    m_seq.Cancel();
    if (m_bWatchArmed) m_loop.CancelTimer(m_watchTimer);
    m_pComm->ClosePort();
    m_pComm->SetListener(nullptr);
}

LinkActivity CRadioLink::Activity() const {
    return {.starting = m_bStarting || m_deferredCommands > 0,
            .pausing = m_seq.Busy(),
            .transfer = m_bRunning,
            .watchdogRunning = m_bWatchRunning,
            .watchdogWaiting = m_bWatchArmed};
}

// ---- Settled waiters -----------------------------------------------------

void CRadioLink::WhenSettled(std::function<void()> fn) {
    m_settledWaiters.push_back(std::move(fn));
    NotifyIfSettled();
}

void CRadioLink::NotifyIfSettled() {
    if (m_settledWaiters.empty()) return;
    if (m_seq.Busy()) {
        // The end of a pause is the sequence's, not the link's: it is asked for.
        if (!m_bSettleHooked) {
            m_bSettleHooked = true;
            m_seq.WhenIdle([this] {
                m_bSettleHooked = false;
                NotifyIfSettled();
            });
        }
        return;
    }
    if (m_bSettleCheckPosted || !Activity().Settled()) return;
    // Posted: the change that settled the link may be followed at once, in
    // the same call, by a step that unsettles it again.
    m_bSettleCheckPosted = true;
    std::weak_ptr<bool> alive = m_alive;
    m_loop.Post([this, alive] {
        if (!alive.lock()) return;
        m_bSettleCheckPosted = false;
        RunSettledWaiters();
    });
}

void CRadioLink::RunSettledWaiters() {
    // A waiter that starts a command leaves the others waiting for its end.
    const std::weak_ptr<bool> alive = m_alive;
    while (!m_settledWaiters.empty() && Activity().Settled()) {
        std::function<void()> fn = std::move(m_settledWaiters.front());
        m_settledWaiters.pop_front();
        fn();
        if (!alive.lock()) return;
    }
    NotifyIfSettled();
}

void CRadioLink::Say(std::string_view text, MsgIcon icon, std::string detail, MsgKind kind) {
    m_form.Prompter().Show(UserMessage{std::string(text), std::move(detail), icon, MsgButtons::Ok, kind});
}

void CRadioLink::SayWhileRunning(std::string_view text, MsgIcon icon) {
    // Reading a box is no silence of the radio: the watchdog waits until it
    // is closed, then gives the radio its full time again. Left running, it
    // would end the transfer and put its own message on top.
    const bool paused = m_bWatchRunning && m_bWatchArmed;
    if (paused) {
        m_loop.CancelTimer(m_watchTimer);
        m_bWatchArmed = false;
    }
    Say(text, icon);
    if (paused && m_bWatchRunning && !m_bWatchArmed) ArmWatchdog();
}

void CRadioLink::NoteWrongAnswer() {
    m_unconfirmed.push_back(m_nCh - 1);  // the counter has moved past the block answered
    if (m_doubt.wrongAnswers == WrongAnswerReport::EachAtOnce) SayWhileRunning(texts::kChecksumError, MsgIcon::Stop);
}

void CRadioLink::NoteLostBytes() {
    // Bytes were lost: a write that still runs to its end is in doubt.
    if (m_bRunning) m_bBytesLost = true;
}

std::string CRadioLink::NotConfirmedLine() const {
    std::string names;
    for (std::size_t i = 0; i < m_unconfirmed.size(); ++i) {
        if (i > 0) names += i + 1 == m_unconfirmed.size() ? " and " : ", ";
        const int block = m_unconfirmed[i];
        names += block == kChClosingBlock ? std::string(texts::kClosingBlockName) : RowLabel(block);
    }
    return std::string(texts::kNotConfirmedIntro) + names + ".";
}

std::string CRadioLink::Advice(std::string_view firstAdvice) const {
    std::string out(firstAdvice);
    const std::string backup = m_doubt.lastBackup ? m_doubt.lastBackup() : std::string();
    if (!backup.empty()) out += "\n" + std::string(texts::kLastBackupIntro) + backup;
    return out;
}

std::string CRadioLink::WithWhatIsLeft(std::string detail) const {
    const auto add = [&detail](const std::string& line) {
        if (!detail.empty()) detail += '\n';
        detail += line;
    };
    // Wrong answers not told yet are told with the end they led to.
    if (m_doubt.wrongAnswers == WrongAnswerReport::Summary && !m_unconfirmed.empty()) add(NotConfirmedLine());
    // Blocks sent stay in the radio; before the first one it holds what it held.
    const bool blockSent = m_nCh > 1;
    if (blockSent && m_doubt.recoveryAdvice) add(Advice(texts::kCutOffAdvice));
    return detail;
}

// ---- Ends of a transfer ------------------------------------------------------

void CRadioLink::EndTransfer(const TransferEnd& end, std::string detail) {
    bool say = !end.message.empty();
    if (say && end.onceOnly) {
        say = !m_bMsgShown;
        m_bMsgShown = true;
    }
    // The watchdog goes first: while the end's message is up it can neither
    // end the transfer a second time nor cover the message with its own.
    switch (end.watchdog) {
        case WatchdogAtEnd::Stop: StopWatchdog(true); break;
        case WatchdogAtEnd::StopWithoutWake: StopWatchdog(false); break;
        case WatchdogAtEnd::Expired: m_bWatchRunning = false; break;
        case WatchdogAtEnd::KeepRunning: break;
    }
    if (say && end.outcome == TransferOutcome::Failed && m_nDirection == TransferDirection::Writing)
        detail = WithWhatIsLeft(std::move(detail));
    if (say && end.messageFirst) Say(end.message, end.icon, detail);
    if (end.markDone) m_bTransferDone = true;
    const TransferDirection direction = m_nDirection;
    if (end.toIdle) m_nDirection = TransferDirection::Idle;
    if (end.outcome == TransferOutcome::Completed)
        m_outcome = CompletedOutcome();
    else if (end.outcome == TransferOutcome::Failed && m_outcome == TransferOutcome::Running)
        m_outcome = TransferOutcome::Failed;
    m_bRunning = false;
    Tell(TransferEvent::Kind::Ended, direction);
    if (end.outcome == TransferOutcome::Completed && m_outcome == TransferOutcome::Completed)
        Tell(TransferEvent::Kind::Confirmed, direction);
    if (say && !end.messageFirst)
        Say(end.message, end.icon, detail,
            end.outcome == TransferOutcome::Completed ? MsgKind::Completion : MsgKind::Report);
    if (end.resetStage) m_nStage = kStageStart;
    NotifyIfSettled();
}

TransferOutcome CRadioLink::CompletedOutcome() const {
    return m_bBytesLost || !m_unconfirmed.empty() ? TransferOutcome::CompletedWithErrors : TransferOutcome::Completed;
}

// ---- Port -------------------------------------------------------------

void CRadioLink::OnPortData(std::uint16_t) {
    std::weak_ptr<bool> alive = m_alive;
    m_loop.Post([this, alive] {
        if (alive.lock()) OnPortData();
    });
}

void CRadioLink::OnPortQueueFull() {
    std::weak_ptr<bool> alive = m_alive;
    m_loop.Post([this, alive] {
        if (!alive.lock()) return;
        NoteLostBytes();
        SayWhileRunning(texts::kQueueFull, MsgIcon::None);
    });
}

void CRadioLink::OnPortHangUp() {
    std::weak_ptr<bool> alive = m_alive;
    m_loop.Post([this, alive] {
        if (!alive.lock() || !m_pComm->HasHungUp()) return;
        // The device is gone: a transfer cannot go on, and the port must be
        // released so that it can be opened again once the cable is back.
        const bool running = m_bRunning;
        m_seq.Cancel();
        m_bStarting = false;
        StopWatchdog(true);
        m_pComm->ClosePort();
        if (!running) {
            m_nDirection = TransferDirection::Idle;
            // A write whose closing message was still to come (the table is
            // unlocked for it) ends here: its message went with the pause,
            // so this one tells what it would have and that the line went.
            if (m_outcome == TransferOutcome::Running) {
                m_outcome = TransferOutcome::Failed;
                Say(texts::kPortLost, MsgIcon::Stop, WithWhatIsLeft(std::string(kHungUp)));
            }
            NotifyIfSettled();
            return;
        }
        m_bMsgShown = true;
        EndTransfer({.outcome = TransferOutcome::Failed,
                     .watchdog = WatchdogAtEnd::Stop,
                     .toIdle = true,
                     .message = texts::kPortLost,
                     .icon = MsgIcon::Stop},
                    std::string(kHungUp));
    });
}

bool CRadioLink::ProbeOpen(int index) {
    return m_pComm->OpenPort(m_resolve(index), kBaudRate, 0);
}

void CRadioLink::SendProbe() { SendByte(QM_PROTO_CHK_DEV, 3); }

void CRadioLink::ChoosePort(int index) {
    SetConfiguredPort(index);
    ShowPortInPane(index + 1);
}

void CRadioLink::ShowPortInPane(int comNumber) {
    char pane[64];
    std::snprintf(pane, sizeof pane, std::string(texts::kPortPaneFormat).c_str(), comNumber);
    TransferEvent shown;
    shown.kind = TransferEvent::Kind::PortShown;
    shown.portPane = pane;
    m_form.OnTransferEvent(shown);
}

void CRadioLink::OpenRadioPort(std::function<void(int)> done) {
    if (!done) done = [](int) {};
    const int index = m_nConfiguredPort;
    const std::string name = m_resolve(index);
    auto opened = [this, index] { ShowPortInPane(index + 1); };
    if (m_pComm->OpenPort(name, kBaudRate, 0)) {
        opened();
        done(0);
        return;
    }
    CloseRadioPort();
    m_seq.Wait(500);
    m_seq.Then([this, name, opened, done] {
        if (m_pComm->OpenPort(name, kBaudRate, 0)) {
            // The second attempt counts: the port is ready, so say so.
            opened();
            done(0);
            return;
        }
        const std::string why = m_pComm->LastError().Text();
        Say(texts::kCantOpenPort, MsgIcon::Stop, name.empty() ? "COM" + std::to_string(m_nConfiguredPort + 1) + ": " + why : why);
        done(-1);
    });
}

void CRadioLink::CloseRadioPort() {
    if (m_pComm->IsConnected()) m_pComm->ClosePort();
    if (m_bRunning) {
        if (m_outcome == TransferOutcome::Running) m_outcome = TransferOutcome::Failed;
        m_bRunning = false;
        Tell(TransferEvent::Kind::Ended, m_nDirection);
    }
    NotifyIfSettled();
}

void CRadioLink::StopTransfer() {
    StopWatchdog(true);
    m_nDirection = TransferDirection::Idle;
    CloseRadioPort();
}

void CRadioLink::SendByte(std::uint8_t value, int delayMs) {
    m_seq.Send(value, delayMs);
    m_pSentBytes.push_back(value);
}

void CRadioLink::AwaitReply(std::uint8_t expected) {
    m_bAwaitReply = true;
    m_byExpectedLast = expected;
    m_pSentBytes.push_back(expected);  // stands for the radio's answer
}

void CRadioLink::ResetTransferState(TransferDirection direction) {
    m_nDirection = direction;
    m_nSubState = kSubStateStart;
    m_nTimeoutCount = 1;
    m_nCh = kChHandshake;
    m_bMsgShown = false;
    m_bResendDue = false;
    m_bBytesLost = false;
    m_unconfirmed.clear();
    m_pSentBytes.clear();
    m_pRecvBytes.clear();
    m_readImage = {};
    m_writeImage.reset();
}

void CRadioLink::Tell(TransferEvent::Kind kind, TransferDirection direction) {
    TransferEvent event;
    event.kind = kind;
    event.direction = direction;
    m_form.OnTransferEvent(event);
}

void CRadioLink::PopRecvFront() {
    if (!m_pRecvBytes.empty()) m_pRecvBytes.pop_front();
}

// ---- Receive handler -----------------------------------------------------

void CRadioLink::OnPortData() {
    if (DeferWhilePausing()) return;
    if (m_bRunning) {
        TransferEvent progress;
        progress.channels = m_nCh;
        m_form.OnTransferEvent(progress);
    }

    std::array<std::uint8_t, kMaxBatch> data{};
    int n = DrainQueue(data);
    if (n == 0) return;
    m_byLastRaw = data[n - 1];
    if (AnswerProbe() || ReleaseUnsolicited()) return;
    if (!m_bRunning) return;  // nothing is interpreted outside a transfer

    n = TakeIntoPending(data.data(), n, data.data());
    if (m_bAwaitReply) TakeBlockReply(n, data.data());
    if (n == 0) return;  // echo only

    KickWatchdog();
    if (m_bTransferDone) return;
    Dispatch(data.data(), n);
}

bool CRadioLink::DeferWhilePausing() {
    if (!m_seq.Busy()) return false;
    // The previous step's pause is still running; the bytes wait in the
    // queue, as they would have for a sleeping sender.
    if (!m_bDataDeferred) {
        m_bDataDeferred = true;
        m_seq.WhenIdle([this, alive = std::weak_ptr<bool>(m_alive)] {
            m_bDataDeferred = false;
            OnPortData();
            if (alive.lock()) NotifyIfSettled();  // a message shown may have closed the window
        });
    }
    return true;
}

int CRadioLink::DrainQueue(std::array<std::uint8_t, kMaxBatch>& data) {
    int n = 0;
    bool getFailed = false;
    m_pComm->WithQueue([&](CByteQueue& q) {
        n = q.GetSize();
        if (n >= kMaxBatch) {
            q.Clear();  // too large to be an answer: dropped unread
            return;
        }
        for (int i = 0; i < n; ++i)
            if (!q.GetByte(data[i])) getFailed = true;
    });
    if (n < 1 || n >= kMaxBatch) return 0;
    if (getFailed) {
        NoteLostBytes();
        SayWhileRunning(texts::kGetByteFailed, MsgIcon::None);
    }
    std::string dbg = "strDbgRecvData - ";
    for (int i = 0; i < n; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02x ", data[i]);
        dbg += hex;
    }
    Trace("%s (Echo %d) (size %d)\n", dbg.c_str(), static_cast<int>(m_pSentBytes.size()), n);
    return n;
}

bool CRadioLink::AnswerProbe() {
    if (!m_probe || !m_probe->ProbeRunning() || m_byLastRaw != QM_PROTO_CHK_DEV_ACK) return false;
    m_probe->OnProbeAnswered();
    SendByte(QM_PROTO_SET_UPLOAD, 1);
    return true;
}

bool CRadioLink::ReleaseUnsolicited() {
    if (!m_pSentBytes.empty() || m_bResendDue) return false;
    // Not the answer to anything sent: release the transfer; the watchdog,
    // told to stop without a wake-up, reports at the end of its current wait.
    EndTransfer({.outcome = TransferOutcome::Failed, .watchdog = WatchdogAtEnd::StopWithoutWake});
    return true;
}

int CRadioLink::TakeIntoPending(const std::uint8_t* batch, int n, std::uint8_t* working) {
    m_pRecvBytes.insert(m_pRecvBytes.end(), batch, batch + n);
    RemoveEcho();
    const int pending = static_cast<int>(std::min<std::size_t>(m_pRecvBytes.size(), kMaxBatch));
    std::copy(m_pRecvBytes.begin(), m_pRecvBytes.begin() + pending, working);
    return pending;
}

void CRadioLink::RemoveEcho() {
    // Each sent byte, oldest first, consumes the first equal pending byte
    // wherever it stands; unmatched sent bytes wait for the next batch.
    const std::size_t m = m_pSentBytes.size();
    std::size_t j = 0;
    for (std::size_t k = 0; k < m && j < m_pSentBytes.size(); ++k) {
        const auto it = std::find(m_pRecvBytes.begin(), m_pRecvBytes.end(), m_pSentBytes[j]);
        if (it != m_pRecvBytes.end()) {
            m_pRecvBytes.erase(it);
            m_pSentBytes.erase(m_pSentBytes.begin() + static_cast<std::ptrdiff_t>(j));
        } else {
            ++j;
        }
    }
}

void CRadioLink::TakeBlockReply(int& n, std::uint8_t* data) {
    if (m_pSentBytes.empty()) {
        // The whole block and an answer equal to the expected byte were
        // seen; a different byte behind them is still a wrong answer.
        if (m_byExpectedLast != m_byLastRaw) NoteWrongAnswer();
        m_pRecvBytes.push_back(QM_PROTO_ACK);
        n = 1;
    } else if (n == 0) {
        return;  // more echo is on its way
    } else {
        // The radio answered with another byte than the expected one, in
        // this batch or in one of its own after the echo. The entry that
        // stood for its answer will never be matched, and left in place it
        // would swallow the echo of the next block and stall the write.
        NoteWrongAnswer();
        if (m_pSentBytes.back() == m_byExpectedLast) m_pSentBytes.pop_back();
    }
    m_bAwaitReply = false;
    data[0] = QM_PROTO_ACK;  // whatever the radio answered counts as an acknowledge
}

void CRadioLink::Dispatch(std::uint8_t* data, int n) {
    if (m_nStage == kStageBlocks) {
        const bool reading = m_nDirection == TransferDirection::Reading;
        const bool writing = m_nDirection == TransferDirection::Writing;
        if (reading && m_nCh >= kChClosingBlock && !ApplyClosingBlock(data, n)) return;
        if (writing && m_nCh == kChClosingBlock) {
            SendClosingBlock();
            return;
        }
        if (reading && m_nCh == kChComplete)
            EndTransfer({.outcome = TransferOutcome::Completed,
                         .watchdog = WatchdogAtEnd::Stop,
                         .markDone = true,
                         .toIdle = true,
                         .resetStage = true,
                         .message = texts::kUploadComplete});
        else if (writing && m_nCh == kChComplete)
            CompleteWrite();
    }
    if (m_nDirection == TransferDirection::Reading)
        HandleReadByte(data, n);
    else if (m_nDirection == TransferDirection::Writing)
        HandleWriteByte(data, n);
}

// ---- Watchdog ------------------------------------------------------------

void CRadioLink::StartWatchdog() {
    if (m_bWatchArmed) m_loop.CancelTimer(m_watchTimer);
    m_bWatchArmed = false;
    m_bWatchRunning = true;
    ArmWatchdog();
}

void CRadioLink::ArmWatchdog() {
    m_bWatchArmed = true;
    m_watchTimer = m_loop.StartTimer(kWatchdogMs, [this] { OnWatchdogTimeout(); });
}

void CRadioLink::KickWatchdog() {
    if (!m_bWatchArmed) return;
    m_loop.CancelTimer(m_watchTimer);
    m_bWatchArmed = false;
    // The wait ends: a running watchdog starts its 2 s again, a stopped one
    // leaves.
    if (m_bWatchRunning)
        ArmWatchdog();
    else
        NotifyIfSettled();
}

void CRadioLink::StopWatchdog(bool signal) {
    m_bWatchRunning = false;
    if (signal && m_bWatchArmed) {
        m_loop.CancelTimer(m_watchTimer);
        m_bWatchArmed = false;
    }
}

void CRadioLink::OnWatchdogTimeout() {
    m_bWatchArmed = false;
    --m_nTimeoutCount;
    if (m_nTimeoutCount > 0) {
        if (m_bWatchRunning)
            ArmWatchdog();
        else
            NotifyIfSettled();
        return;
    }
    EndTransfer({.outcome = TransferOutcome::Failed,
                 .watchdog = WatchdogAtEnd::Expired,
                 .message = texts::kTimeout,
                 .messageFirst = true,
                 .onceOnly = true});
}

}  // namespace orvex
