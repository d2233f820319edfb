// Read from Radio: the radio's ten records and channel flags into the form.
#include <algorithm>

#include "link/LinkTexts.h"
#include "link/RadioLink.h"
#include "settings/ProtocolBytes.h"
#include "settings/RadioImage.h"
#include "settings/Trace.h"

namespace orvex {

bool CRadioLink::TransferMayStart(void (CRadioLink::*command)()) {
    // Bytes that arrived during the pause go first, as the watcher's
    // synchronous notification went before a queued command: left for
    // later, the last echo of a finished transfer would open this one.
    if (m_seq.Busy() || m_bDataDeferred) {
        // Given and waiting: the link is not settled until it has run, or a
        // command waiting for the link would take the last transfer's
        // outcome for this one's.
        ++m_deferredCommands;
        m_seq.WhenIdle([this, command, alive = std::weak_ptr<bool>(m_alive)] {
            --m_deferredCommands;
            (this->*command)();
            if (alive.lock()) NotifyIfSettled();  // a question asked may have closed the window
        });
        return false;
    }
    if (m_bStarting || m_bRunning) return false;
    // From here on the outcome is this command's: None while it has not
    // started a transfer, so a refused question or a port that will not
    // open is never taken for the last transfer's result.
    m_outcome = TransferOutcome::None;
    if (m_probe) m_probe->OnTransferCommand();
    return GoOnPastUnfinishedEdit(m_form);
}

bool GoOnPastUnfinishedEdit(ITransferForm& form) {
    if (!form.TakeEditPending()) return true;
    const MsgAnswer answer =
        form.Prompter().Show(UserMessage{std::string(texts::kEditNotFinished), {}, MsgIcon::None, MsgButtons::YesNo});
    return answer == MsgAnswer::Yes;
}

void CRadioLink::BeginTransfer(TransferDirection direction, int checkPauseMs) {
    m_bRunning = true;
    Tell(TransferEvent::Kind::Started, direction);
    ResetTransferState(direction);
    m_outcome = TransferOutcome::Running;
    m_seq.Wait(100);
    m_seq.Then([this, checkPauseMs] {
        m_bStarting = false;
        StartWatchdog();
        Trace("DC1. SEND QM_PROTO_CHK_DEV!\n");
        SendByte(QM_PROTO_CHK_DEV, checkPauseMs);
    });
}

void CRadioLink::OnReadFromRadio() {
    if (!TransferMayStart(&CRadioLink::OnReadFromRadio)) return;
    m_nStage = kStageStart;
    m_bTransferDone = false;
    m_bAwaitReply = false;
    m_bStarting = true;
    StopTransfer();
    m_seq.Wait(200);
    m_seq.Then([this] {
        OpenRadioPort([this](int result) {
            if (result != 0) {
                m_bStarting = false;
                NotifyIfSettled();
                return;
            }
            BeginTransfer(TransferDirection::Reading, 1);
        });
    });
}

void CRadioLink::HandleReadByte(const std::uint8_t* batch, int count) {
    if (count >= kRecordBatchMin && m_nStage == kStageBlocks && batch[0] == QM_PROTO_NAK) {
        // A refusal with the resent record behind it in one burst: the
        // refusal comes first. Taken as the record's first byte, it would
        // store the record shifted and answer it with a wrong checksum.
        HandleReadNak();
        if (m_bTransferDone || m_nStage != kStageBlocks || count - 1 < kRecordBatchMin) return;  // the rest waits for its remainder
        ++batch;
        --count;
    }
    if (count >= kRecordBatchMin && m_nStage == kStageBlocks) {
        TakeRecord(batch, count);
        return;
    }
    HandleReadAnswer(batch[0]);
}

void CRadioLink::HandleReadAnswer(std::uint8_t answer) {
    switch (answer) {
        case QM_PROTO_CHK_DEV_ACK:
            Trace("DC1. RECEIVE QM_PROTO_CHK_DEV_ACK!\n");
            m_nTimeoutCount = 1;
            PopRecvFront();
            SendByte(QM_PROTO_SET_UPLOAD, 1);
            ++m_nStage;
            return;
        case QM_PROTO_SET_DOWNLOAD_ACK:
            Trace("DC2. RECEIVE QM_PROTO_SET_DOWNLOAD_ACK!\n");
            m_nTimeoutCount = 1;
            m_nSubState = kSubStateRecordsAsked;
            PopRecvFront();
            SendByte(QM_PROTO_UPLOAD_REQ, 1);
            ++m_nStage;
            return;
        case QM_PROTO_READY:
            if (m_nStage != kStageBlocks) return;
            m_nTimeoutCount = 1;
            m_nSubState = kSubStateRecords;
            PopRecvFront();
            m_nCh = 1;
            SendByte(QM_PROTO_ACK, 1);
            return;
        case QM_PROTO_ACK:
            if (m_nStage != kStageBlocks) return;
            PopRecvFront();
            m_nTimeoutCount = 1;
            SendByte(QM_PROTO_ACK, 1);
            ++m_nCh;
            return;
        case QM_PROTO_NAK:
            HandleReadNak();
            return;
        case QM_PROTO_CHK_DEV:
        case QM_PROTO_UPLOAD_REQ:
        case QM_PROTO_SET_DOWNLOAD:
        case QM_PROTO_SET_UPLOAD:
        case QM_PROTO_UNNAMED_45:
            // Our own bytes coming back a second time. Left at the front
            // they would block every byte behind them, so they go.
            ++m_nStage;
            PopRecvFront();
            return;
        default:
            m_pComm->WithQueue([](CByteQueue& q) { q.Clear(); });
            m_nSubState = kSubStateStart;
            return;
    }
}

void CRadioLink::TakeRecord(const std::uint8_t* batch, int count) {
    // The radio's acknowledge, not the record, moves the counter on.
    if (m_nCh >= 1 && m_nCh <= kChannelCount) {
        m_bResendDue = false;
        // A short batch again leaves the bytes an earlier one brought.
        const auto size = static_cast<std::size_t>(std::min<int>(count, ChannelEntry::kSize));
        std::vector<std::uint8_t>& record = m_readImage.records[m_nCh - 1];
        if (record.size() < size) record.resize(size);
        std::copy_n(batch, size, record.begin());
        const std::uint8_t checksum = CalcChecksum(batch, kRecordBatchMin);
        Trace("m_nCh = %d\n", m_nCh);
        Trace("checksum  = %x ,CheckSum = %x\n", count > 10 ? batch[10] : 0, checksum);
        SendByte(checksum, 1);
    }
    // A record nobody asked for (m_nCh not 1..10) is dropped, not answered.
    m_pRecvBytes.erase(m_pRecvBytes.begin(),
                       m_pRecvBytes.begin() + std::min<std::size_t>(count, m_pRecvBytes.size()));
}

void CRadioLink::HandleReadNak() {
    PopRecvFront();
    const bool recordRefused = m_nStage == kStageBlocks && m_nCh >= 1 && m_nCh <= kChannelCount;
    if (m_nCh == kChannelCount && m_nStage == kStageBlocks) {  // refusal during the tenth record
        m_bResendDue = true;
        return;
    }
    if (m_nTimeoutCount != 0) {
        m_bResendDue = recordRefused;
        if (m_nSubState == kSubStateRecordsAsked) {
            // The radio refused the record request: start over.
            ResetTransferState(TransferDirection::Reading);
            m_nStage = kStageStart;
            SendByte(QM_PROTO_CHK_DEV, 1);
        }
        --m_nTimeoutCount;
        return;
    }
    // A second refusal without an accepted step between: give up quietly;
    // the watchdog tells the user.
    EndTransfer({.outcome = TransferOutcome::Failed,
                 .watchdog = WatchdogAtEnd::KeepRunning,
                 .markDone = true,
                 .resetStage = true});
}

bool CRadioLink::ApplyClosingBlock(const std::uint8_t* batch, int count) {
    // A block too short to hold all 23 flags is not applied: its missing
    // bytes would be stale buffer contents. The read then does not complete.
    const auto flags = DecodeClosingBlock(std::span<const std::uint8_t>(batch, static_cast<std::size_t>(count)));
    if (!flags) return false;
    m_readImage.flags = *flags;
    if (m_readTaker)
        m_readTaker(m_readImage);
    else
        m_form.ApplyReadImage(m_readImage);
    ++m_nCh;
    return true;
}

}  // namespace orvex
