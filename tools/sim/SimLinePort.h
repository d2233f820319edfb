#pragma once
// A port whose other end is a simulated cable and radio, on the owner's
// event loop: no device, no threads. Bytes written come back as echo, the
// radio answers after its delay, and whatever arrives within the burst gap
// is handed over as one batch, as the serial watcher would.
#include <cstdint>
#include <string>
#include <vector>

#include "link/EventLoop.h"
#include "link/RadioPortBase.h"
#include "tools/sim/SimRadio.h"

namespace orvex::sim {

struct LineEvent {
    std::int64_t atMs;
    bool fromApp;  // true: the application wrote it; false: it reached the application
    std::uint8_t byte;
};

class SimLinePort : public IRadioPort {
public:
    struct Options {
        int answerDelayMs = 2;
        int wireMs = 1;  // one byte on the wire, rounded up to the loop's unit
        int burstGapMs = 80;
        bool echo = true;
    };

    SimLinePort(IEventLoop& loop, SimRadio& radio, Options options);
    SimLinePort(IEventLoop& loop, SimRadio& radio) : SimLinePort(loop, radio, Options{}) {}
    ~SimLinePort() override;

    bool OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) override;
    void ClosePort() override;
    bool IsConnected() const override { return m_connected; }
    int WriteComm(const std::uint8_t* bytes, int count) override;
    Problem LastError() const override { return m_error; }
    void SetListener(IPortListener* listener) override { m_listener = listener; }

    // Names that fail to open, to try the open-failure paths.
    void RefuseOpen(std::string name) { m_refused.push_back(std::move(name)); }
    // Lets the next n opens of a refused name fail, then succeed.
    void FailOpens(int n) { m_failOpens = n; }
    // Only this device has the cable and radio on it; any other name opens
    // a dead line (no echo, no answer). Empty: every name has the radio.
    void SetRadioDevice(std::string name) { m_radioDevice = std::move(name); }

    // The radio is taken off the cable: the cable still echoes, nothing
    // answers. Answers already on the wire still arrive.
    void RadioAway();
    // A radio is plugged into the cable (another one, or the same again).
    void ConnectRadio(SimRadio& radio);
    bool RadioPresent() const { return m_radio != nullptr; }
    // The cable is pulled: an open port hangs up, and no open succeeds
    // until it is plugged in again.
    void Unplug();
    void Plug() { m_unplugged = false; }

    const std::vector<LineEvent>& Log() const { return m_log; }
    std::vector<std::uint8_t> WrittenBytes() const;
    int Opens() const { return m_opens; }
    const std::string& OpenedName() const { return m_name; }

private:
    void Arrive(std::uint8_t byte, int inMs);
    void EndBurst();
    void HangUpSoon();

    IEventLoop& m_loop;
    SimRadio* m_radio;  // null: no radio on the cable
    Options m_opt;
    IPortListener* m_listener = nullptr;
    bool m_connected = false;
    std::string m_name;
    Problem m_error;
    std::vector<std::string> m_refused;
    std::string m_radioDevice;
    bool m_unplugged = false;
    int m_failOpens = -1;  // opens of a refused name still to fail; -1: all
    int m_opens = 0;
    std::vector<std::uint8_t> m_line;  // the burst being received
    IEventLoop::TimerId m_burstTimer = 0;
    bool m_burstArmed = false;
    std::int64_t m_radioFreeAt = 0;  // the radio's answers keep their order
    std::uint64_t m_generation = 0;
    std::vector<IEventLoop::TimerId> m_timers;
    std::vector<LineEvent> m_log;
};

}  // namespace orvex::sim
