#pragma once
// A form and a radio link on a virtual-time loop, with either the simulated
// cable and radio at the far end or a bare port the test feeds by hand.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/EventLoop.h"
#include "link/RadioLink.h"
#include "settings/ProtocolBytes.h"
#include "settings/RadioImage.h"
#include "support/ScriptedPrompter.h"
#include "tools/sim/SimLinePort.h"
#include "tools/sim/SimRadio.h"
#include "ui/model/FormModel.h"

namespace orvex::test {

using Bytes = std::vector<std::uint8_t>;

// Every message with the loop time it appeared at and whether the channel
// table was still locked while it was on screen.
class TimedPrompter : public ScriptedPrompter {
public:
    struct Seen {
        std::string text;
        std::int64_t atMs;
        bool tableLocked;
        MsgIcon icon;
        MsgButtons buttons;
    };

    void Attach(const IEventLoop& loop, const ITransferForm& form) {
        m_loop = &loop;
        m_form = &form;
    }

    MsgAnswer Show(const UserMessage& message) override {
        seen.push_back({message.text, m_loop ? m_loop->NowMs() : -1, m_form && m_form->IsTableLocked(),
                        message.icon, message.buttons});
        if (onShow) onShow(message);
        return ScriptedPrompter::Show(message);
    }

    int Count(std::string_view text) const {
        return static_cast<int>(std::count_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.text == text; }));
    }
    // The first showing of text, or nullptr.
    const Seen* Find(std::string_view text) const {
        for (const Seen& s : seen)
            if (s.text == text) return &s;
        return nullptr;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const Seen& s : seen) out.push_back(s.text);
        return out;
    }

    std::vector<Seen> seen;
    // Runs while the message is on screen.
    std::function<void(const UserMessage&)> onShow;

private:
    const IEventLoop* m_loop = nullptr;
    const ITransferForm* m_form = nullptr;
};

// The simulated line, remembering when it was opened.
class TimedSimPort : public sim::SimLinePort {
public:
    TimedSimPort(IEventLoop& loop, sim::SimRadio& radio, Options options)
        : SimLinePort(loop, radio, options), m_clock(loop) {}

    bool OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) override {
        openedAt.push_back(m_clock.NowMs());
        return SimLinePort::OpenPort(name, baudRate, portId);
    }

    std::vector<std::int64_t> openedAt;

private:
    IEventLoop& m_clock;
};

// A line on which the echo and the radio's answer are instantaneous and a
// burst ends at once: the time between two written bytes is then exactly
// the pause the link keeps after the first of them.
inline sim::SimLinePort::Options TightLine() {
    sim::SimLinePort::Options o;
    o.answerDelayMs = 0;
    o.wireMs = 0;
    o.burstGapMs = 0;
    return o;
}

struct Written {
    std::int64_t atMs;
    std::uint8_t byte;
};

// Form, link and simulated radio, all on one virtual clock.
class SimRig {
public:
    explicit SimRig(sim::RadioMemory memory = sim::SampleMemory(), sim::Faults faults = {},
                    sim::SimLinePort::Options line = {})
        : radio(memory, faults) {
        prompter.Attach(loop, form);
        form.StartUp();
        auto owned = std::make_unique<TimedSimPort>(loop, radio, line);
        port = owned.get();
        link = std::make_unique<CRadioLink>(form, loop, std::move(owned), [](int) { return std::string("sim0"); });
    }
    ~SimRig() { link.reset(); }

    // Until the link is idle and its watchdog has ended; false on maxMs.
    bool RunUntilSettled(std::int64_t maxMs = 60000) {
        return loop.RunUntil([this] { return !link->Activity().Busy() && !link->Activity().watchdogRunning; }, maxMs);
    }
    bool RunUntilShown(std::string_view text, std::int64_t maxMs = 60000) {
        return loop.RunUntil([&] { return prompter.Count(text) > 0; }, maxMs);
    }
    // Runs until n of a write's channel blocks have gone out.
    bool RunUntilBlocksWritten(int n, std::int64_t maxMs = 60000) {
        return loop.RunUntil([&] { return WrittenBytes().size() >= 3 + n * kChannelBlockSize; }, maxMs);
    }
    // The pause before a write's completion message: the form is the
    // user's again, the write not yet confirmed.
    bool InFinalPause() const { return !form.View().IsTableLocked() && link->Outcome() == TransferOutcome::Running; }

    std::vector<Written> Writes() const {
        std::vector<Written> out;
        for (const sim::LineEvent& e : port->Log())
            if (e.fromApp) out.push_back({e.atMs, e.byte});
        return out;
    }
    Bytes WrittenBytes() const { return port->WrittenBytes(); }

    EventLoop loop{EventLoop::Clock::Virtual};
    TimedPrompter prompter;
    FormModel form{prompter};
    sim::SimRadio radio;
    TimedSimPort* port = nullptr;  // owned by the link
    std::unique_ptr<CRadioLink> link;
};

// A port with nothing at the far end: the test puts the bytes that arrive
// into the queue and calls the receive handler itself.
class HandPort : public IRadioPort {
public:
    explicit HandPort(const IEventLoop& loop) : m_clock(loop) {}

    bool OpenPort(const std::string&, unsigned, std::uint16_t) override {
        ++opens;
        m_connected = true;
        return true;
    }
    void ClosePort() override { m_connected = false; }
    bool IsConnected() const override { return m_connected; }
    int WriteComm(const std::uint8_t* bytes, int count) override {
        for (int i = 0; i < count; ++i) written.push_back({m_clock.NowMs(), bytes[i]});
        return count;
    }
    Problem LastError() const override { return {}; }
    void SetListener(IPortListener* l) override { listener = l; }

    void Put(const Bytes& bytes) {
        WithQueue([&](CByteQueue& q) {
            for (const std::uint8_t b : bytes) q.PutByte(b);
            return 0;
        });
    }
    int QueueSize() {
        return WithQueue([](CByteQueue& q) { return q.GetSize(); });
    }
    Bytes WrittenBytes() const {
        Bytes out;
        for (const Written& w : written) out.push_back(w.byte);
        return out;
    }

    std::vector<Written> written;
    int opens = 0;
    IPortListener* listener = nullptr;  // the link, told of what the watcher sees

private:
    const IEventLoop& m_clock;
    bool m_connected = false;
};

// Form and link over a HandPort: the test plays cable and radio.
class HandRig {
public:
    HandRig() {
        prompter.Attach(loop, form);
        form.StartUp();
        auto owned = std::make_unique<HandPort>(loop);
        port = owned.get();
        link = std::make_unique<CRadioLink>(form, loop, std::move(owned), [](int) { return std::string("hand0"); });
    }
    ~HandRig() { link.reset(); }

    // Lets every pending pause of the link run out.
    void Drain() {
        bool idle = false;
        link->WhenIdle([&] { idle = true; });
        loop.RunUntil([&] { return idle; }, 10000);
    }
    // One burst reaches the link: into the queue, then the notification.
    void Arrive(const Bytes& bytes) {
        Drain();
        port->Put(bytes);
        link->OnPortData();
        Drain();
    }
    // The bytes written since the last call.
    Bytes TakeWritten() {
        Bytes out;
        for (std::size_t i = m_taken; i < port->written.size(); ++i) out.push_back(port->written[i].byte);
        m_taken = port->written.size();
        return out;
    }

    // A read up to the point where record 1 is due: 0x11, 0x44, 0x15 and
    // 0xAA have been written, each answered together with its echo.
    void ReadThroughHandshake() {
        link->OnReadFromRadio();
        Drain();
        Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
        Arrive({QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK});
        Arrive({QM_PROTO_UPLOAD_REQ, QM_PROTO_READY});
        TakeWritten();
    }
    // Record r goes out with the echo of the 0xAA that asked for it; the
    // radio then acknowledges the checksum together with its echo.
    void ReadRecord(const Bytes& record) {
        Arrive(Concat({QM_PROTO_ACK}, record));
        const std::uint8_t checksum = CalcChecksum(record.data(), 10);
        Arrive({checksum, QM_PROTO_ACK});
        TakeWritten();
    }
    void WriteThroughHandshake() {
        link->OnWriteToRadio();
        Drain();
        Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
        Arrive({QM_PROTO_SET_DOWNLOAD, QM_PROTO_SET_DOWNLOAD_ACK});
        Arrive({static_cast<std::uint8_t>(form.ModeSelection()), QM_PROTO_READY});
    }

    static Bytes Concat(Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    EventLoop loop{EventLoop::Clock::Virtual};
    TimedPrompter prompter;
    FormModel form{prompter};
    HandPort* port = nullptr;  // owned by the link
    std::unique_ptr<CRadioLink> link;

private:
    std::size_t m_taken = 0;
};

// An 11-byte record: number, frequency code, band plan, emergency channel.
inline Bytes Record(std::uint8_t number, std::uint16_t code, std::uint8_t plan = 0, std::uint8_t emg = 0) {
    return {number, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code & 0xFF), plan, emg, 0, 0, 0, 0,
            0,      0};
}

}  // namespace orvex::test
