// The parts of the serial port every platform shares.
#include "link/CRadioPort.h"

#include "settings/Trace.h"

namespace orvex {

CRadioPort::~CRadioPort() {
    ClosePort();
    if (m_watcher.joinable()) m_watcher.join();
}

void CRadioPort::Fail(Problem why) {
    std::lock_guard lock(m_errorMutex);
    m_lastError = std::move(why);
}

Problem CRadioPort::LastError() const {
    std::lock_guard lock(m_errorMutex);
    return m_lastError;
}

bool CRadioPort::BeginOpen(const std::string& name, std::uint16_t portId) {
    ClosePort();
    if (m_watcher.joinable()) m_watcher.join();  // a watcher that ended by itself
    m_bConnected = false;
    m_wPortId = portId;
    m_portName = name;
    Fail({});
    if (name.empty()) {
        Fail({.why = "no device is mapped to this port", .fix = m_unmappedFix});
        return false;
    }
    return true;
}

std::shared_ptr<CRadioPort::Session> CRadioPort::CurrentSession() const {
    std::lock_guard lock(m_sessionMutex);
    return m_session;
}

std::shared_ptr<CRadioPort::Session> CRadioPort::TakeSession() {
    std::lock_guard lock(m_sessionMutex);
    return std::move(m_session);
}

bool CRadioPort::StartWatcher(const std::shared_ptr<Session>& session) {
    {
        std::lock_guard lock(m_sessionMutex);
        m_session = session;
    }
    m_bConnected = true;
    try {
        // A listener may close the port from the watcher's first event; the
        // watcher waits until its handle is stored (see ThreadWatchComm).
        std::lock_guard lock(m_watcherMutex);
        m_watcher = std::thread(&CRadioPort::ThreadWatchComm, this, session);
    } catch (const std::system_error& e) {
        Fail({.what = "cannot start the watcher thread", .where = m_portName, .why = e.what(),
              .layout = Problem::Layout::ReasonAside});
        ClosePort();
        return false;
    }
    return true;
}

void CRadioPort::ClosePort() {
    m_bConnected = false;
    std::shared_ptr<Session> session = TakeSession();
    if (session) StopWatching(*session);
    EndWatcher();
    if (session) ReleaseDevice(*session);
}

void CRadioPort::EndWatcher() {
    if (!m_watcher.joinable()) return;
    // From inside a notification on the watcher itself the thread cannot be
    // joined; it checks the stop flag before it touches the port again and
    // ends on its own.
    if (m_watcher.get_id() == std::this_thread::get_id())
        m_watcher.detach();
    else
        m_watcher.join();
}

bool CRadioPort::StoreChunk(const std::uint8_t* chunk, int n) {
    const bool stored = WithQueue([&](CByteQueue& q) {
        if (CByteQueue::kBufferSize - q.GetSize() <= n) return false;
        for (int i = 0; i < n; ++i) q.PutByte(chunk[i]);
        return true;
    });
    if (!stored) {
        Trace("receive queue full: a burst was dropped\n");
        if (IPortListener* l = m_listener.load()) l->OnPortQueueFull();
    }
    return stored;
}

void CRadioPort::Notify() {
    if (IPortListener* l = m_listener.load()) l->OnPortData(m_wPortId);
}

void CRadioPort::ReportHangUp(bool stopping) {
    if (stopping) return;
    Trace("port hang-up\n");
    if (IPortListener* l = m_listener.load()) l->OnPortHangUp();
}

}  // namespace orvex
