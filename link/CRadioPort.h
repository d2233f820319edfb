#pragma once
// The serial port: 9600 8N1, raw, no flow control, DTR on, RTS off,
// exclusive, with a watcher thread that moves every received burst into the
// receive queue. One implementation on POSIX termios, one on Win32
// communications calls with overlapped I/O; this header is shared.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "link/RadioPortBase.h"

namespace orvex {

// What to do about a COM number with no device behind it, as the command
// line says it; a front end with a port list of its own names that instead.
inline constexpr std::string_view kUnmappedPortFix = "see 'orvex-cli ports'";

class CRadioPort : public IRadioPort {
public:
    // 80 ms without a new byte ends a burst; a read takes at most 2048 bytes.
    static constexpr int kBurstGapMs = 80;
    static constexpr int kDrainChunk = 2048;
    // The driver's queues each way (where the platform lets us size them).
    static constexpr int kDriverQueueSize = 4096;

    explicit CRadioPort(std::string_view unmappedFix = kUnmappedPortFix) : m_unmappedFix(unmappedFix) {}
    ~CRadioPort() override;
    CRadioPort(const CRadioPort&) = delete;
    CRadioPort& operator=(const CRadioPort&) = delete;

    bool OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) override;
    void ClosePort() override;
    bool IsConnected() const override { return m_bConnected.load(); }
    int WriteComm(const std::uint8_t* bytes, int count) override;
    Problem LastError() const override;
    bool HasHungUp() const override;
    void SetListener(IPortListener* listener) override { m_listener.store(listener); }

private:
    struct Session;  // one opening: descriptors and the watcher's stop flag

    void ThreadWatchComm(std::shared_ptr<Session> session);
    // Reads what is waiting, then keeps reading until the burst gap passes
    // or max bytes are in; 0 when nothing was waiting.
    int ReadComm(Session& session, std::uint8_t* buffer, int maxCount, bool& hungUp);
    void Fail(Problem why);
    // The first steps of every opening: the previous one closed and its
    // watcher gone, the name and id kept. False for an empty name.
    bool BeginOpen(const std::string& name, std::uint16_t portId);
    // The last: the session becomes the open port and its watcher starts.
    bool StartWatcher(const std::shared_ptr<Session>& session);
    // Tells the session's watcher to stop and wakes it from any wait.
    static void StopWatching(Session& session);
    // Waits for the stopped watcher to end (it has been told to stop).
    void EndWatcher();
    // Gives the device up once no watcher touches it any more.
    static void ReleaseDevice(Session& session);
    // Puts a drained chunk into the queue whole, or drops it whole when it
    // does not fit (and says so); false when dropped.
    bool StoreChunk(const std::uint8_t* chunk, int n);
    void Notify();
    void ReportHangUp(bool stopping);

    // The current opening. The owner's thread swaps it; a listener may
    // close the port from the watcher's thread, so it is read and swapped
    // under its lock.
    std::shared_ptr<Session> CurrentSession() const;
    std::shared_ptr<Session> TakeSession();

    std::shared_ptr<Session> m_session;
    mutable std::mutex m_sessionMutex;
    std::thread m_watcher;
    std::mutex m_watcherMutex;  // held while m_watcher is being stored
    std::atomic<bool> m_bConnected{false};
    std::atomic<IPortListener*> m_listener{nullptr};
    std::uint16_t m_wPortId = 0;
    std::string m_portName;
    const std::string m_unmappedFix;
    mutable std::mutex m_errorMutex;
    Problem m_lastError;
};

}  // namespace orvex
