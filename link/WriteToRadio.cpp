// Write to Radio: the form's frequencies, band plan, emergency channel and
// (for South Africa) channel flags into the radio.
#include "link/LinkTexts.h"
#include "link/RadioLink.h"
#include "settings/ProtocolBytes.h"
#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"
#include "settings/Trace.h"

namespace orvex {

void CRadioLink::OnWriteToRadio() {
    if (!TransferMayStart(&CRadioLink::OnWriteToRadio)) return;
    if (m_form.ModeSelection() < 0) {
        // Its byte would go out as 0xFF and the slot numbers of every
        // block would be made up.
        Say(texts::kNoBandPlan, MsgIcon::Stop, std::string(texts::kNoBandPlanDetail));
        m_form.ClearEditPending();
        m_form.EnableFormControls(true);
        return;
    }
    m_form.EnableFormControls(false);
    if (!m_form.CheckEmgChannelForWrite()) {
        m_form.ClearEditPending();
        return;
    }
    m_form.DisableBandSectionForWrite();
    m_nStage = 0;
    m_bTransferDone = false;
    m_bAwaitReply = false;
    m_bStarting = true;
    StopTransfer();
    OpenRadioPort([this](int result) {
        if (result != 0) {
            m_bStarting = false;
            m_form.EnableFormControls(true);
            return;
        }
        m_form.LockChannelTable();
        ResetTransferState(2);
        m_outcome = TransferOutcome::Running;
        m_seq.Wait(100);
        m_seq.Then([this] {
            m_bStarting = false;
            StartWatchdog();
            SendByte(QM_PROTO_CHK_DEV, 3);
        });
    });
}

void CRadioLink::HandleWriteByte(const std::uint8_t* batch, int count) {
    if (count > 4) return;  // left pending
    switch (batch[0]) {
        case QM_PROTO_CHK_DEV_ACK:
            m_nTimeoutCount = 1;
            PopRecvFront();
            SendByte(QM_PROTO_SET_DOWNLOAD, 3);
            ++m_nStage;
            return;
        case QM_PROTO_SET_DOWNLOAD_ACK: {
            m_nTimeoutCount = 1;
            PopRecvFront();
            // The band plan is the one Mode Select shows at this moment.
            m_form.Settings().m_nBandPlan = static_cast<std::uint8_t>(m_form.ModeSelection() & 0xFF);
            SendByte(m_form.Settings().m_nBandPlan, 3);
            ++m_nStage;
            return;
        }
        case QM_PROTO_READY:
            if (m_nStage != 2) return;
            m_nCh = 1;
            SendChannelBlock();
            return;
        case QM_PROTO_ACK:
            if (m_nCh < 1 || m_nCh > kChannelCount) {
                // Before the radio said it is ready there is no channel to
                // send; a block for the title row would carry stale slots.
                PopRecvFront();
                return;
            }
            SendChannelBlock();
            return;
        case QM_PROTO_NAK:
            HandleWriteNak();
            return;
        default:
            if (m_nTimeoutCount != 0) --m_nTimeoutCount;
            return;
    }
}

void CRadioLink::HandleWriteNak() {
    if (m_nCh == kChannelCount && m_nStage == 2) return;
    if (m_nTimeoutCount == 0 || m_nCh == 0) {
        if (!m_bMsgShown) {
            m_bMsgShown = true;
            Say(m_nTimeoutCount == 0 ? texts::kRadioError : texts::kPleaseAgain, MsgIcon::Stop);
        }
        EndTransferUnlocked();
        m_bTransferDone = true;
        return;
    }
    --m_nTimeoutCount;
}

void CRadioLink::SendChannelBlock() {
    const int c = m_nCh;
    const std::string text = m_form.CellText(c);
    const BlockFrequency rx = EncodeBlockFrequency(text, kReceiveOffsetMHz);
    if (!rx.ok) {
        Say(texts::kFrequencyOutOfRange, MsgIcon::Stop, RowLabel(c) + ": \"" + text + "\"");
        m_bTransferDone = true;
        StopWatchdog(true);
        m_nDirection = 0;
        EndTransferUnlocked();
        return;
    }
    const BlockFrequency tx = EncodeBlockFrequency(text, 0.0);
    RadioSettings& s = m_form.Settings();
    ComputeSlots(s.m_nBandPlan, c, m_bySlotA, m_bySlotB);
    if (s.m_nBandPlan == kBandPlanSouthAfrica) m_form.FindEmgIndex();
    const auto block = BuildChannelBlock({m_bySlotA, m_bySlotB, rx, tx, s.m_nEmgChannel});
    for (const std::uint8_t b : block) SendByte(b, 10);
    m_bAwaitReply = true;
    m_byExpectedLast = QM_PROTO_BLOCK_END;
    m_pSentBytes.push_back(QM_PROTO_BLOCK_END);  // the radio's answer
    ++m_nCh;
    PopRecvFront();
    m_nTimeoutCount = 1;
}

void CRadioLink::SendClosingBlock() {
    PopRecvFront();
    const RadioSettings& s = m_form.Settings();
    if (s.m_nBandPlan == kBandPlanSouthAfrica)
        for (const int flag : s.b_CHcheck) SendByte(static_cast<std::uint8_t>(flag & 0xFF), 50);
    SendByte(QM_PROTO_CLOSING, 50);
    m_bAwaitReply = true;
    m_byExpectedLast = QM_PROTO_CLOSING;
    m_pSentBytes.push_back(QM_PROTO_CLOSING);
    ++m_nCh;
}

void CRadioLink::CompleteWrite() {
    SendByte(QM_PROTO_ACK, 3);
    m_pSentBytes.push_back(QM_PROTO_ACK);
    ++m_nCh;
    m_bTransferDone = true;
    StopWatchdog(true);
    m_nDirection = 0;
    m_form.UnlockChannelTable();
    m_form.EnableFormControls(true);
    m_nStage = 0;
    m_seq.Wait(300);
    m_seq.Then([this] {
        m_outcome = CompletedOutcome();
        Say(texts::kDownloadComplete, MsgIcon::None);
    });
}

}  // namespace orvex
