// Write to Radio: the form's frequencies, band plan, emergency channel and
// (for South Africa) channel flags into the radio.
#include "link/LinkTexts.h"
#include "link/RadioLink.h"
#include "settings/ProtocolBytes.h"
#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"

namespace orvex {

void CRadioLink::OnWriteToRadio() {
    if (!TransferMayStart(&CRadioLink::OnWriteToRadio)) return;
    if (!m_form.MayWrite()) return;
    m_nStage = kStageStart;
    m_bTransferDone = false;
    m_bAwaitReply = false;
    m_bStarting = true;
    StopTransfer();
    OpenRadioPort([this](int result) {
        if (result != 0) {
            m_bStarting = false;
            Tell(TransferEvent::Kind::NotStarted, TransferDirection::Writing);
            NotifyIfSettled();
            return;
        }
        BeginTransfer(TransferDirection::Writing, 3);
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
        case QM_PROTO_SET_DOWNLOAD_ACK:
            m_nTimeoutCount = 1;
            PopRecvFront();
            // What the write sends is taken as the radio asks for it: the
            // plan Mode Select shows now, from here on the one written.
            m_writeImage.reset();
            SendByte(TakeWriteImage().bandPlan, 3);
            ++m_nStage;
            return;
        case QM_PROTO_READY:
            if (m_nStage != kStageBlocks) return;
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
    if (m_nCh == kChannelCount && m_nStage == kStageBlocks) return;
    if (m_nTimeoutCount == 0 || m_nCh == kChHandshake) {
        // The refusal is the message: the watchdog has nothing to add.
        EndTransfer({.outcome = TransferOutcome::Failed,
                     .watchdog = WatchdogAtEnd::Stop,
                     .markDone = true,
                     .message = m_nTimeoutCount == 0 ? texts::kRadioError : texts::kPleaseAgain,
                     .icon = MsgIcon::Stop,
                     .messageFirst = true,
                     .onceOnly = true});
        return;
    }
    --m_nTimeoutCount;
}

const WriteImage& CRadioLink::TakeWriteImage() {
    if (!m_writeImage) m_writeImage = m_form.TakeWriteImage();
    return *m_writeImage;
}

void CRadioLink::SendChannelBlock() {
    const int c = m_nCh;
    const WriteImage& image = TakeWriteImage();
    const std::string& cell = image.cells.at(static_cast<std::size_t>(c - 1));
    const BlockFrequency rx = EncodeBlockFrequency(cell, kReceiveOffsetMHz);
    if (!rx.ok) {
        EndTransfer({.outcome = TransferOutcome::Failed,
                     .watchdog = WatchdogAtEnd::Stop,
                     .markDone = true,
                     .toIdle = true,
                     .message = texts::kFrequencyOutOfRange,
                     .icon = MsgIcon::Stop,
                     .messageFirst = true},
                    RowLabel(c) + ": \"" + cell + "\"");
        return;
    }
    const BlockFrequency tx = EncodeBlockFrequency(cell, 0.0);
    ComputeSlots(image.bandPlan, c, m_bySlotA, m_bySlotB);
    const auto block = BuildChannelBlock({m_bySlotA, m_bySlotB, rx, tx, image.emgChannel});
    for (const std::uint8_t b : block) SendByte(b, 10);
    AwaitReply(QM_PROTO_BLOCK_END);
    ++m_nCh;
    PopRecvFront();
    m_nTimeoutCount = 1;
}

void CRadioLink::SendClosingBlock() {
    PopRecvFront();
    if (const auto& flags = TakeWriteImage().flags)
        for (const int flag : *flags) SendByte(static_cast<std::uint8_t>(flag & 0xFF), 50);
    SendByte(QM_PROTO_CLOSING, 50);
    AwaitReply(QM_PROTO_CLOSING);
    ++m_nCh;
}

void CRadioLink::CompleteWrite() {
    SendByte(QM_PROTO_ACK, 3);
    m_pSentBytes.push_back(QM_PROTO_ACK);  // the radio's acknowledge, if it sends one
    ++m_nCh;
    // The outcome waits for the message: a line lost in the pause before it
    // leaves the write unconfirmed.
    EndTransfer({.outcome = TransferOutcome::Running,
                 .watchdog = WatchdogAtEnd::Stop,
                 .markDone = true,
                 .toIdle = true,
                 .resetStage = true});
    m_seq.Wait(300);
    m_seq.Then([this] {
        m_outcome = CompletedOutcome();
        if (m_outcome == TransferOutcome::Completed) Tell(TransferEvent::Kind::Confirmed, TransferDirection::Writing);
        if (m_doubt.wrongAnswers == WrongAnswerReport::Summary && !m_unconfirmed.empty()) {
            std::string detail = NotConfirmedLine();
            if (m_doubt.recoveryAdvice) detail += "\n" + Advice(texts::kPartlyWritten);
            Say(texts::kChecksumError, MsgIcon::Stop, std::move(detail));
            return;
        }
        Say(texts::kDownloadComplete, MsgIcon::None, {}, MsgKind::Completion);
    });
}

}  // namespace orvex
