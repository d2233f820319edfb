#pragma once
// The form's side of the radio link: the programming protocol with its echo
// removal and handshake, Read from Radio, Write to Radio and the transfer
// watchdog. Runs on the owner's event loop; pauses between bytes are timers.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/EventLoop.h"
#include "link/RadioPortBase.h"
#include "link/Sequencer.h"
#include "link/TransferStages.h"
#include "link/TransferForm.h"

namespace orvex {

// How the last transfer ended, for front ends that report it (the CLI's
// exit status). CompletedWithErrors: it ran to its end, but the radio gave
// an answer the link had to report on the way, so what it holds is in doubt.
enum class TransferOutcome { None, Running, Completed, CompletedWithErrors, Failed };

// How the radio's wrong answers to written blocks reach the user. Summary:
// once, when the write has ended, naming the blocks; a box that waits for
// the user never opens while the radio waits for the next block. EachAtOnce:
// each as it comes, and the write then ends with its completion message, as
// a log that never waits for anyone prints it.
enum class WrongAnswerReport { Summary, EachAtOnce };

// The port search's side of a probe: whether one is running, and the
// radio's answer to it, which the receive handler spots; a Read or Write
// that goes ahead ends the search.
class IProbeListener {
public:
    virtual ~IProbeListener() = default;
    virtual bool ProbeRunning() const = 0;
    virtual void OnProbeAnswered() = 0;
    virtual void OnTransferCommand() {}
};

// What the port search and the presence probe ask of the link: a port
// opened for one device check, the check itself, and who hears the answer.
class IProbeLink {
public:
    virtual void SetProbeListener(IProbeListener* listener) = 0;
    virtual IProbeListener* ProbeListener() const = 0;
    // Opens the device for one probe: no retry, no message.
    virtual bool ProbeOpen(int index) = 0;
    // The device check of a probe.
    virtual void SendProbe() = 0;
    // A watchdog still waiting must not speak once the user stopped.
    virtual void SilenceWatchdog() = 0;

protected:
    ~IProbeLink() = default;
};

// What a write that leaves the radio in doubt tells the user.
struct WriteDoubtAdvice {
    WrongAnswerReport wrongAnswers = WrongAnswerReport::Summary;
    // Whether it tells the user how to get back to known settings (on
    // unless turned off: Write and Verify tells its own way back).
    bool recoveryAdvice = true;
    // The backup of the last read, for that advice to name ("" for none).
    std::function<std::string()> lastBackup{};
};

// What the link is doing at one moment, for front ends and tests.
struct LinkActivity {
    // A Read or Write has been given and is opening the port: the transfer
    // will follow unless the port refuses.
    bool starting = false;
    // Steps or pauses are pending: a blocking sender would be asleep now.
    bool pausing = false;
    bool transfer = false;  // a transfer holds the form
    bool watchdogRunning = false;
    // Still inside a wait, even if told to stop: its message may yet come.
    bool watchdogWaiting = false;

    // A transfer, a start sequence or a pending pause is under way.
    bool Busy() const { return starting || pausing || transfer; }
    // ... and no watchdog that could still speak: the last command has
    // said all it will.
    bool Settled() const { return !Busy() && !watchdogRunning && !watchdogWaiting; }
};

class CRadioLink : private IPortListener, private IProbeLink {
public:
    static constexpr int kMaxBatch = 40;  // a batch this size or larger is dropped unread
    static constexpr int kWatchdogMs = 2000;

    // Resolves a zero-based port index to the device to open.
    using PortResolver = std::function<std::string(int index)>;

    CRadioLink(ITransferForm& form, IEventLoop& loop, std::unique_ptr<IRadioPort> port, PortResolver resolver);
    ~CRadioLink() override;
    CRadioLink(const CRadioLink&) = delete;
    CRadioLink& operator=(const CRadioLink&) = delete;

    // ---- Commands (refused silently while a transfer runs) -------------
    void OnReadFromRadio();
    void OnWriteToRadio();

    // ---- Port -----------------------------------------------------------
    // Opens the configured port; the result arrives through done (0 or -1).
    void OpenRadioPort(std::function<void(int)> done = {});
    void CloseRadioPort();
    void StopTransfer();

    void SetConfiguredPort(int index) { m_nConfiguredPort = index; }
    // The port the user chose or the search found: the next opening uses it,
    // and pane 1 of the status bar shows it at once.
    void ChoosePort(int index);
    int ConfiguredPort() const { return m_nConfiguredPort; }
    // The device the configured port stands for now.
    std::string ConfiguredDevice() const { return m_resolve(m_nConfiguredPort); }
    IRadioPort& Port() { return *m_pComm; }

    // ---- For the port search ----------------------------------------------
    IProbeLink& Probes() { return *this; }

    // ---- A write that leaves the radio in doubt -------------------------
    void SetDoubtAdvice(WriteDoubtAdvice advice) { m_doubt = std::move(advice); }
    const WriteDoubtAdvice& DoubtAdvice() const { return m_doubt; }

    // ---- State for front ends and tests ---------------------------------
    LinkActivity Activity() const;
    TransferOutcome Outcome() const { return m_outcome; }

    // Runs fn when the protocol's pending steps are done (at once if idle):
    // commands arriving during a pause wait for it, as they would have
    // waited for a blocked user interface.
    void WhenIdle(std::function<void()> fn) { m_seq.WhenIdle(std::move(fn)); }
    // Runs fn once, from the loop and never inside this call, as soon as
    // Activity().Settled() holds: after the last message of the command under
    // way, a watchdog's late one included (soon when settled already; a
    // command started before then is waited for as well).
    void WhenSettled(std::function<void()> fn);
    // While set, a completed read's records and flags go to taker rather
    // than into the form, which still locks, shows progress and unlocks as
    // for any read; an empty taker gives them back to the form.
    void TakeReadsWith(std::function<void(const ReadImage&)> taker) { m_readTaker = std::move(taker); }
    // Waits ms as one of the link's steps, then runs fn.
    void After(int ms, std::function<void()> fn) {
        m_seq.Wait(ms);
        m_seq.Then(std::move(fn));
    }

    // Receive handler: takes what the port's queue holds. The watcher's
    // notification ends here; a front end may also call it directly.
    void OnPortData();

private:
    // How the watchdog leaves a transfer that ends.
    enum class WatchdogAtEnd { Stop, KeepRunning, StopWithoutWake, Expired };
    // One end of a transfer: what it does to the state, and its message.
    struct TransferEnd {
        TransferOutcome outcome;  // Running: left as it is, to be set later
        WatchdogAtEnd watchdog;
        bool markDone = false;    // later batches are not interpreted
        bool toIdle = false;      // the direction goes back to idle
        bool resetStage = false;  // the handshake stage goes back to its start
        std::string_view message{};
        MsgIcon icon = MsgIcon::None;
        // Shown before the rest of the transfer's state changes: the table
        // is still locked while it is up (the watchdog has ended already).
        bool messageFirst = false;
        // Shown only if this transfer has shown no such message yet, and
        // then a watchdog that is still waiting stays silent.
        bool onceOnly = false;
    };

    // IProbeLink.
    void SetProbeListener(IProbeListener* listener) override { m_probe = listener; }
    IProbeListener* ProbeListener() const override { return m_probe; }
    bool ProbeOpen(int index) override;
    void SendProbe() override;
    void SilenceWatchdog() override { m_bMsgShown = true; }

    // IPortListener: called on the watcher thread.
    void OnPortData(std::uint16_t portId) override;
    void OnPortQueueFull() override;
    void OnPortHangUp() override;

    // Pane 1 of the status bar shows the port in use.
    void ShowPortInPane(int comNumber);

    // The receive handler's steps, in order.
    bool DeferWhilePausing();
    int DrainQueue(std::array<std::uint8_t, kMaxBatch>& data);
    bool AnswerProbe();
    bool ReleaseUnsolicited();
    int TakeIntoPending(const std::uint8_t* batch, int n, std::uint8_t* working);
    void RemoveEcho();
    // The radio's answer to a written block: reported unless it is the
    // expected byte; it counts as an acknowledge either way.
    void TakeBlockReply(int& n, std::uint8_t* data);
    void Dispatch(std::uint8_t* data, int n);

    // The checks every transfer command makes first; false: do not start
    // (now: a running transfer, a refused question; or later, queued).
    bool TransferMayStart(void (CRadioLink::*command)());
    void BeginTransfer(TransferDirection direction, int checkPauseMs);
    void HandleReadByte(const std::uint8_t* batch, int count);
    // One byte of the handshake or of the records' acknowledges.
    void HandleReadAnswer(std::uint8_t answer);
    void TakeRecord(const std::uint8_t* batch, int count);
    void HandleReadNak();
    bool ApplyClosingBlock(const std::uint8_t* batch, int count);
    void HandleWriteByte(const std::uint8_t* batch, int count);
    void HandleWriteNak();
    void SendChannelBlock();
    void SendClosingBlock();
    void CompleteWrite();
    // Sends the last byte of a block and stands in for the radio's answer.
    void AwaitReply(std::uint8_t expected);

    void SendByte(std::uint8_t value, int delayMs);
    void PopRecvFront();
    void EndTransfer(const TransferEnd& end, std::string detail = {});
    void Say(std::string_view text, MsgIcon icon, std::string detail = {}, MsgKind kind = MsgKind::Report);
    // A message that leaves a running transfer running.
    void SayWhileRunning(std::string_view text, MsgIcon icon);
    // The radio answered the block just sent with another byte.
    void NoteWrongAnswer();
    void NoteLostBytes();
    TransferOutcome CompletedOutcome() const;
    // The lines a write in doubt adds to its message: the blocks the radio
    // did not confirm, and (after firstAdvice) the way back.
    std::string NotConfirmedLine() const;
    std::string Advice(std::string_view firstAdvice) const;
    // detail with what a failing write has left in the radio.
    std::string WithWhatIsLeft(std::string detail) const;

    // Settled waiters: asked for after each change that may settle the
    // link; they run from the loop, one at a time while it stays settled.
    void NotifyIfSettled();
    void RunSettledWaiters();

    // Watchdog.
    void StartWatchdog();
    void KickWatchdog();
    void StopWatchdog(bool signal);
    void ArmWatchdog();
    void OnWatchdogTimeout();

    void ResetTransferState(TransferDirection direction);
    void Tell(TransferEvent::Kind kind, TransferDirection direction);
    // What this write sends, taken from the form the first time it is needed.
    const WriteImage& TakeWriteImage();

    ITransferForm& m_form;
    IEventLoop& m_loop;
    std::unique_ptr<IRadioPort> m_pComm;
    PortResolver m_resolve;
    Sequencer m_seq;
    IProbeListener* m_probe = nullptr;
    int m_nConfiguredPort = 0;
    bool m_bStarting = false;  // a command's start sequence is running
    bool m_bRunning = false;   // a transfer holds the form (Started told, Ended not yet)
    bool m_bDataDeferred = false;
    int m_deferredCommands = 0;  // Reads and Writes given during a pause, still to run
    TransferOutcome m_outcome = TransferOutcome::None;
    bool m_bBytesLost = false;  // received bytes were lost during this transfer
    // The blocks of this write the radio answered wrongly, in order: rows
    // 1..10 (P1..P0), then kChClosingBlock for the closing block.
    std::vector<int> m_unconfirmed;
    WriteDoubtAdvice m_doubt;
    std::function<void(const ReadImage&)> m_readTaker;
    std::deque<std::function<void()>> m_settledWaiters;
    bool m_bSettleCheckPosted = false;  // a check is posted to the loop
    bool m_bSettleHooked = false;       // a check waits for the sequence's end

    // Transfer state, named as the protocol describes it.
    TransferDirection m_nDirection = TransferDirection::Idle;
    std::int8_t m_nStage = kStageStart;
    std::uint8_t m_nCh = kChHandshake;
    int m_nSubState = kSubStateStart;
    int m_nTimeoutCount = 1;
    bool m_bAwaitReply = false;
    std::uint8_t m_byExpectedLast = 0;
    std::uint8_t m_byLastRaw = 0;
    bool m_bTransferDone = false;
    ReadImage m_readImage;    // what this read has brought so far
    std::optional<WriteImage> m_writeImage;  // what this write sends, once taken
    std::deque<std::uint8_t> m_pSentBytes;
    std::deque<std::uint8_t> m_pRecvBytes;
    bool m_bMsgShown = false;
    // The radio refused a record checksum and will send the record again,
    // in a burst of its own that answers nothing the link has just sent.
    bool m_bResendDue = false;
    std::uint8_t m_bySlotA = 0;
    std::uint8_t m_bySlotB = 0;

    bool m_bWatchRunning = false;
    bool m_bWatchArmed = false;
    IEventLoop::TimerId m_watchTimer = 0;

    // Posted notifications must not outlive the link.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace orvex
