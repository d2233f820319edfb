#pragma once
// A form, a radio link and the port search on a virtual-time loop, with the
// simulated cable and radio on one COM number and dead lines on the others.
// Every open, message and status text is kept with the loop time it
// happened at, so tests can speak about ticks.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/EventLoop.h"
#include "link/PortSearch.h"
#include "link/RadioLink.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "tools/sim/SimLinePort.h"
#include "tools/sim/SimRadio.h"
#include "ui/model/FormModel.h"

namespace orvex::test {

inline constexpr std::string_view kRangeHint = "TOTAL FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz";

// The status line while port n is being checked (the blank at the end is
// part of the text users know).
inline std::string CheckingText(int com) {
    return "CHECKING : COM" + std::to_string(com) + " , 'AUTO STOP' Please Any Key ";
}

// Pane 1 of the status bar for COM n: 24 blanks, then the number.
inline std::string PaneText(int com) { return std::string(24, ' ') + "ComPort:" + std::to_string(com); }

// The device the rig's resolver gives for COM n.
inline std::string SimDevice(int com) { return "/dev/sim/COM" + std::to_string(com); }

// The simulated line, remembering every open attempt. FailNextOpens makes
// the next n opens of one name fail and later ones succeed.
class ProbePort : public sim::SimLinePort {
public:
    struct Open {
        std::int64_t atMs;
        std::string name;
        bool ok;
    };

    ProbePort(IEventLoop& loop, sim::SimRadio& radio) : SimLinePort(loop, radio), m_clock(loop) {}

    bool OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) override {
        bool ok = false;
        if (auto it = m_failNext.find(name); it != m_failNext.end() && it->second > 0) {
            --it->second;
            ClosePort();
            m_ownError = {.where = name, .why = "device or resource busy"};
        } else {
            m_ownError = {};
            ok = SimLinePort::OpenPort(name, baudRate, portId);
        }
        opens.push_back({m_clock.NowMs(), name, ok});
        return ok;
    }
    Problem LastError() const override { return m_ownError == Problem{} ? SimLinePort::LastError() : m_ownError; }

    void FailNextOpens(const std::string& name, int n) { m_failNext[name] = n; }

    // Open attempts from the index-th on (see Mark).
    std::vector<Open> OpensFrom(std::size_t index) const {
        return index < opens.size() ? std::vector<Open>(opens.begin() + static_cast<long>(index), opens.end())
                                    : std::vector<Open>{};
    }
    std::size_t Mark() const { return opens.size(); }

    std::vector<Open> opens;

private:
    const IEventLoop& m_clock;
    std::map<std::string, int> m_failNext;
    Problem m_ownError;
};

class TimedPrompter : public ScriptedPrompter {
public:
    struct Seen {
        std::int64_t atMs;
        UserMessage message;
    };

    void SetClock(const IEventLoop& loop) { m_clock = &loop; }

    MsgAnswer Show(const UserMessage& message) override {
        seen.push_back({m_clock ? m_clock->NowMs() : -1, message});
        return ScriptedPrompter::Show(message);
    }

    int Count(std::string_view text) const {
        int n = 0;
        for (const Seen& s : seen) n += s.message.text == text;
        return n;
    }
    const Seen* Find(std::string_view text) const {
        for (const Seen& s : seen)
            if (s.message.text == text) return &s;
        return nullptr;
    }

    std::vector<Seen> seen;

private:
    const IEventLoop* m_clock = nullptr;
};

// Status line and port pane as they changed, with the time of each change.
class StatusLog : public IFormObserver {
public:
    struct Change {
        std::int64_t atMs;
        std::string text;
        bool operator==(const Change&) const = default;
    };

    StatusLog(const IEventLoop& loop, const FormModel& form) : m_loop(loop), m_form(form) {
        m_lastStatus = form.View().StatusText();
        m_lastPane = form.View().PortPaneText();
    }

    void OnFormChanged(unsigned changes) override {
        if (!(changes & kChangeStatus)) return;
        if (m_form.View().StatusText() != m_lastStatus) {
            m_lastStatus = m_form.View().StatusText();
            status.push_back({m_loop.NowMs(), m_lastStatus});
        }
        if (m_form.View().PortPaneText() != m_lastPane) {
            m_lastPane = m_form.View().PortPaneText();
            pane.push_back({m_loop.NowMs(), m_lastPane});
        }
    }

    std::vector<Change> StatusSince(std::int64_t atMs) const {
        std::vector<Change> out;
        for (const Change& c : status)
            if (c.atMs >= atMs) out.push_back(c);
        return out;
    }

    std::vector<Change> status;
    std::vector<Change> pane;

private:
    const IEventLoop& m_loop;
    const FormModel& m_form;
    std::string m_lastStatus;
    std::string m_lastPane;
};

inline void PrintTo(const StatusLog::Change& c, std::ostream* os) { *os << c.atMs << " ms \"" << c.text << "\""; }

struct SearchRig {
    using Resolver = CRadioLink::PortResolver;

    // fileName: where the search keeps the remembered port, inside dir.
    explicit SearchRig(Resolver resolve = [](int index) { return SimDevice(index + 1); },
                       const std::string& fileName = "ORVEX.CFG")
        : portFile(dir.File(fileName)) {
        prompter.SetClock(loop);
        form.StartUp();
        auto line = std::make_unique<ProbePort>(loop, radio);
        port = line.get();
        link = std::make_unique<CRadioLink>(form, loop, std::move(line), std::move(resolve));
        search = std::make_unique<CPortSearch>(form, *link, loop, portFile);
        log = std::make_unique<StatusLog>(loop, form);
        form.AddObserver(log.get());
    }
    ~SearchRig() {
        form.RemoveObserver(log.get());
        search.reset();
        link.reset();
    }
    SearchRig(const SearchRig&) = delete;
    SearchRig& operator=(const SearchRig&) = delete;

    // The cable and radio hang on COM n only; other numbers are dead lines.
    void PlaceRadio(int com) { port->SetRadioDevice(SimDevice(com)); }
    void NoRadio() { port->SetRadioDevice("/dev/sim/nowhere"); }
    void Refuse(int com) { port->RefuseOpen(SimDevice(com)); }

    // Nothing is pending: no search, no stop tick, no pause, no transfer.
    bool Settled() const {
        return search->Settled() && !search->Active() && !link->Activity().Busy() && !link->Activity().watchdogRunning;
    }
    bool RunUntilSettled(std::int64_t maxMs = 60'000) {
        return loop.RunUntil([this] { return Settled(); }, maxMs);
    }
    bool RunUntilStatus(const std::string& text, std::int64_t maxMs = 60'000) {
        return loop.RunUntil([&] { return form.View().StatusText() == text; }, maxMs);
    }
    // Runs until the link's pending pause (if any) is over.
    void RunUntilIdle() {
        loop.RunUntil([this] { return !link->Activity().pausing; }, 10'000);
    }

    // Starts Auto Search and returns the time it was started at; searchMark
    // is where its open attempts begin in port->opens.
    std::int64_t StartSearch() {
        const std::int64_t at = loop.NowMs();
        searchMark = port->Mark();
        search->OnAutoSearch();
        return at;
    }

    std::string FileText() const {
        const Bytes b = ReadBytes(portFile);
        return std::string(b.begin(), b.end());
    }
    void SetFileText(const std::string& text) { WriteBytes(portFile, Bytes(text.begin(), text.end())); }

    TempDir dir;
    std::string portFile;
    EventLoop loop{EventLoop::Clock::Virtual};
    TimedPrompter prompter;
    FormModel form{prompter};
    sim::SimRadio radio{sim::SampleMemory()};
    ProbePort* port = nullptr;
    std::unique_ptr<CRadioLink> link;
    std::unique_ptr<CPortSearch> search;
    std::unique_ptr<StatusLog> log;
    std::size_t searchMark = 0;
};

}  // namespace orvex::test
