#pragma once
// What the protocol code needs from a serial port. The protocol owns a port
// through this interface, so a fake or a pseudo-terminal can stand in.
#include <cstdint>
#include <mutex>
#include <string>

#include "link/ByteQueue.h"
#include "settings/Problem.h"

namespace orvex {

// Told about a port's events. Called on the port's watcher thread: an
// implementation hands the event over to its own thread and returns at
// once; it must not block on that thread.
class IPortListener {
public:
    virtual ~IPortListener() = default;
    // A burst of bytes (possibly none) has been drained into the queue.
    virtual void OnPortData(std::uint16_t portId) = 0;
    // A drained chunk did not fit into the queue and was dropped whole.
    virtual void OnPortQueueFull() = 0;
    // The device went away (cable pulled, pseudo-terminal closed). The
    // watcher has ended; the port stays "open" until ClosePort.
    virtual void OnPortHangUp() = 0;
};

class IRadioPort {
public:
    virtual ~IRadioPort() = default;

    // Opens and configures the port and starts the watcher. On failure,
    // LastError() says what failed, where, why and the fix.
    virtual bool OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) = 0;
    // Stops the watcher and releases the port. Safe to call when closed.
    virtual void ClosePort() = 0;
    virtual bool IsConnected() const = 0;
    // Returns the number of bytes written.
    virtual int WriteComm(const std::uint8_t* bytes, int count) = 0;
    virtual Problem LastError() const = 0;
    // The opening that is current has hung up. A hang-up reported for an
    // opening that has since been closed (and the port opened again) is old
    // news and must not end the new one.
    virtual bool HasHungUp() const { return true; }
    virtual void SetListener(IPortListener* listener) = 0;

    // The receive queue, under the port's lock: the watcher fills it while
    // the owner may be taking bytes out.
    template <typename F>
    auto WithQueue(F&& f) {
        std::lock_guard lock(m_queueMutex);
        return f(m_QueueRead);
    }

protected:
    std::mutex m_queueMutex;
    CByteQueue m_QueueRead;
};

}  // namespace orvex
