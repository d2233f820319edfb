// The parts of the connection check every platform shares: the line test
// and the wording of the findings.
#include "link/ConnectionCheck.h"

#include <algorithm>
#include <atomic>

#include "settings/ProtocolBytes.h"

namespace orvex {

LineAnswer ClassifyLineAnswer(const std::vector<std::uint8_t>& received) {
    if (received.empty()) return LineAnswer::Silent;
    // A cable hears itself: the byte sent comes back first, and whatever
    // follows it is the radio's. A cable without echo gives the answer alone.
    std::size_t at = received.front() == QM_PROTO_CHK_DEV ? 1 : 0;
    if (at == received.size()) return LineAnswer::EchoOnly;
    if (received.size() - at == 1 && received[at] == QM_PROTO_CHK_DEV_ACK) return LineAnswer::Radio;
    return LineAnswer::Other;
}

const char* LineAnswerName(LineAnswer answer) {
    switch (answer) {
        case LineAnswer::Radio: return "answers";
        case LineAnswer::EchoOnly: return "echo-only";
        case LineAnswer::Silent: return "silent";
        case LineAnswer::Other: return "other";
        case LineAnswer::NotTested: break;
    }
    return "untested";
}

namespace {

// Hands the watcher's news to the loop, which does the reading.
class WakeLoop : public IPortListener {
public:
    explicit WakeLoop(EventLoop& loop) : m_loop(loop) {}
    void OnPortData(std::uint16_t) override { m_loop.Post([] {}); }
    void OnPortQueueFull() override { m_loop.Post([] {}); }
    void OnPortHangUp() override {
        m_hungUp = true;
        m_loop.Post([] {});
    }
    bool HungUp() const { return m_hungUp.load(); }

private:
    EventLoop& m_loop;
    std::atomic<bool> m_hungUp{false};
};

}  // namespace

LineTestResult RunLineTest(IRadioPort& port, const std::string& device, EventLoop& loop, int listenMs) {
    LineTestResult result;
    WakeLoop listener(loop);
    port.SetListener(&listener);
    if (!port.OpenPort(device, 9600, 0)) {
        result.openError = port.LastError().Text();
        port.SetListener(nullptr);
        return result;
    }
    const std::uint8_t check = QM_PROTO_CHK_DEV;
    port.WriteComm(&check, 1);
    const auto drain = [&] {
        port.WithQueue([&](CByteQueue& queue) {
            std::uint8_t byte = 0;
            while (queue.GetByte(byte)) result.received.push_back(byte);
        });
    };
    loop.RunUntil(
        [&] {
            drain();
            return listener.HungUp() || ClassifyLineAnswer(result.received) == LineAnswer::Radio;
        },
        listenMs);
    // A radio that answered gets no more time: anything after its answer
    // would be a stray byte that makes a good line look noisy.
    port.ClosePort();
    port.SetListener(nullptr);
    drain();
    result.answer = ClassifyLineAnswer(result.received);
    return result;
}

bool DeviceIsMissing(const std::vector<Finding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const Finding& f) { return f.check == "device" && f.result == FindingResult::Problem; });
}

Finding LineFinding(const LineTestResult& r, const PortPickingAdvice& picking) {
    Finding f;
    f.check = "line";
    if (!r.openError.empty()) {
        f.result = FindingResult::Problem;
        f.detail = "The port could not be opened for the line test: " + r.openError + ".";
        f.fix = "Deal with the problems above, then run the check again.";
        return f;
    }
    switch (r.answer) {
        case LineAnswer::Radio:
            f.detail = "Line test at 9600 8N1: the radio answered the device check.";
            break;
        case LineAnswer::EchoOnly:
            f.result = FindingResult::Problem;
            f.detail = "Line test at 9600 8N1: the cable echoed the byte, but the radio did not answer.";
            f.fix = "The cable works. Switch the radio on and plug the cable firmly into the radio's socket.";
            break;
        case LineAnswer::Silent:
            f.result = FindingResult::Problem;
            f.detail = "Line test at 9600 8N1: nothing came back, not even the cable's echo.";
            f.fix = "No programming cable answers on this port: pick the port of the cable (" + picking.listedAt +
                    "), and check the cable is plugged in and powered.";
            break;
        case LineAnswer::Other: {
            f.result = FindingResult::Problem;
            static const char* const hex = "0123456789ABCDEF";
            std::string bytes;
            for (std::size_t i = 0; i < r.received.size() && i < 16; ++i) {
                if (i) bytes += ' ';
                bytes += hex[r.received[i] >> 4];
                bytes += hex[r.received[i] & 15];
            }
            if (r.received.size() > 16) bytes += " ...";
            f.detail = "Line test at 9600 8N1: unexpected bytes came back (" + bytes + ").";
            f.fix = "Noise or another device is on this port: check it is the radio's programming cable, "
                    "and that no other program writes to it.";
            break;
        }
        case LineAnswer::NotTested:
            f.result = FindingResult::Note;
            f.detail = "The line was not tested.";
            break;
    }
    return f;
}

std::string FormatFindings(const std::vector<Finding>& findings) {
    std::string out;
    for (const Finding& f : findings) {
        const char* mark = f.result == FindingResult::Ok ? "ok     " : f.result == FindingResult::Problem ? "PROBLEM" : "note   ";
        out += std::string(mark) + "  " + f.detail + "\n";
        if (!f.fix.empty()) out += "         fix: " + f.fix + "\n";
    }
    return out;
}

}  // namespace orvex
