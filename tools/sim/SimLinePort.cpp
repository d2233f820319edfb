#include "tools/sim/SimLinePort.h"

#include <algorithm>

namespace orvex::sim {

SimLinePort::SimLinePort(IEventLoop& loop, SimRadio& radio, Options options)
    : m_loop(loop), m_radio(&radio), m_opt(options) {}

SimLinePort::~SimLinePort() { ClosePort(); }

bool SimLinePort::OpenPort(const std::string& name, unsigned, std::uint16_t) {
    ClosePort();
    ++m_opens;
    m_name = name;
    if (m_unplugged) {
        m_error = {.where = name, .why = "no such device", .fix = "is the cable plugged in?"};
        return false;
    }
    const bool refused = std::find(m_refused.begin(), m_refused.end(), name) != m_refused.end();
    // A countdown that has run out lets the name open; without one it
    // never opens.
    if (refused && m_failOpens != 0) {
        if (m_failOpens > 0) --m_failOpens;
        m_error = {.where = name, .why = "no such device", .fix = "is the cable plugged in?"};
        return false;
    }
    m_error = {};
    m_connected = true;
    return true;
}

void SimLinePort::ClosePort() {
    m_connected = false;
    ++m_generation;
    for (const auto id : m_timers) m_loop.CancelTimer(id);
    m_timers.clear();
    if (m_burstArmed) m_loop.CancelTimer(m_burstTimer);
    m_burstArmed = false;
    m_line.clear();
}

std::vector<std::uint8_t> SimLinePort::WrittenBytes() const {
    std::vector<std::uint8_t> out;
    for (const LineEvent& e : m_log)
        if (e.fromApp) out.push_back(e.byte);
    return out;
}

int SimLinePort::WriteComm(const std::uint8_t* bytes, int count) {
    if (!m_connected || m_unplugged) return 0;
    if (!m_radioDevice.empty() && m_name != m_radioDevice) return count;  // nobody there
    for (int i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        m_log.push_back({m_loop.NowMs(), true, b});
        if (m_opt.echo) Arrive(b, m_opt.wireMs);
        const std::int64_t now = m_loop.NowMs();
        std::int64_t at = std::max(now + m_opt.wireMs, m_radioFreeAt);
        if (!m_radio) continue;
        for (const Emission& e : m_radio->Feed(b)) {
            at += e.delayMs == 0 ? m_opt.answerDelayMs : e.delayMs;
            for (const std::uint8_t out : e.bytes) {
                Arrive(out, static_cast<int>(at - now));
                at += m_opt.wireMs;
            }
        }
        m_radioFreeAt = at;
        if (m_radio->HangUpDue()) HangUpSoon();
    }
    return count;
}

void SimLinePort::HangUpSoon() {
    const std::uint64_t generation = m_generation;
    m_timers.push_back(m_loop.StartTimer(0, [this, generation] {
        if (generation != m_generation || !m_listener) return;
        m_connected = false;
        m_listener->OnPortHangUp();
    }));
}

void SimLinePort::ConnectRadio(SimRadio& radio) {
    m_radio = &radio;
    m_radioFreeAt = 0;
}

void SimLinePort::RadioAway() {
    if (m_radio) m_radio->LineDropped();
    m_radio = nullptr;
}

void SimLinePort::Unplug() {
    m_unplugged = true;
    if (m_radio) m_radio->LineDropped();
    if (m_connected) HangUpSoon();
}

void SimLinePort::Arrive(std::uint8_t byte, int inMs) {
    const std::uint64_t generation = m_generation;
    m_timers.push_back(m_loop.StartTimer(inMs, [this, byte, generation] {
        if (generation != m_generation || !m_connected) return;
        m_log.push_back({m_loop.NowMs(), false, byte});
        m_line.push_back(byte);
        if (m_burstArmed) m_loop.CancelTimer(m_burstTimer);
        m_burstArmed = true;
        m_burstTimer = m_loop.StartTimer(m_opt.burstGapMs, [this] { EndBurst(); });
    }));
}

void SimLinePort::EndBurst() {
    m_burstArmed = false;
    std::vector<std::uint8_t> burst;
    burst.swap(m_line);
    // Drained in chunks as the watcher does; a chunk that does not fit is lost.
    for (std::size_t at = 0; at < burst.size(); at += 2048) {
        const std::size_t n = std::min<std::size_t>(2048, burst.size() - at);
        const bool stored = WithQueue([&](CByteQueue& q) {
            if (CByteQueue::kBufferSize - q.GetSize() <= static_cast<int>(n)) return false;
            for (std::size_t i = 0; i < n; ++i) q.PutByte(burst[at + i]);
            return true;
        });
        if (!stored && m_listener) m_listener->OnPortQueueFull();
    }
    if (m_listener) m_listener->OnPortData(0);
}

}  // namespace orvex::sim
