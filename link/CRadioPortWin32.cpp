// The serial port on the Win32 communications calls, with overlapped I/O.
#include <windows.h>

#include <mutex>

#include "files/SystemError.h"
#include "link/CRadioPort.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

constexpr DWORD kEventMask = EV_RXCHAR | EV_TXEMPTY;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// A write of a few bytes at 9600 baud takes milliseconds; a driver that
// holds one longer than this has stalled, and the missing echo will tell.
constexpr DWORD kWriteWaitMs = 1000;
// Where the driver cannot wait for port events, the watcher looks at the
// input count this often; well inside the 80 ms burst gap.
constexpr DWORD kPollMs = 10;
// Event waits that fail one after another before the watcher stops asking.
constexpr int kWaitFailuresBeforePolling = 3;

class Event {
public:
    Event() : m_h(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_error(m_h ? 0 : ::GetLastError()) {}
    ~Event() {
        if (m_h) ::CloseHandle(m_h);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return m_h; }
    DWORD error() const { return m_error; }

private:
    HANDLE m_h;
    DWORD m_error;
};

Problem DescribeOpenError(const std::string& name, DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
            return {.where = name, .why = "no such device", .fix = "is the cable plugged in?"};
        // Windows refuses a COM port that another program holds open with
        // "access denied".
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return {.where = name, .why = "device busy", .fix = "another program is using it",
                    .layout = Problem::Layout::FixAfter};
        case ERROR_INVALID_NAME:
            return {.where = name, .why = "not a valid port name"};
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return {.where = name, .why = "not a serial device"};
    }
    return {.where = name, .why = SystemErrorText(static_cast<int>(error))};
}

Problem Why(const std::string& name, const char* what, DWORD error = ::GetLastError()) {
    return {.what = what, .where = name, .why = SystemErrorText(static_cast<int>(error)),
            .layout = Problem::Layout::ReasonAside};
}

}  // namespace

struct CRadioPort::Session {
    HANDLE hComm = INVALID_HANDLE_VALUE;
    Event readDone, writeDone, waitDone;
    Event wake;  // set by ClosePort: the watcher stops whatever it waits for
    OVERLAPPED readOv{}, writeOv{}, waitOv{};
    DWORD events = 0;  // filled in when a pending event wait completes
    // Taken around starting an event wait and around the stop with its empty
    // event mask, so that no wait can begin after the mask is cleared: some
    // drivers (Wine's among them) keep such a wait pending for ever and
    // cannot cancel it.
    std::mutex waitMutex;
    std::atomic<bool> stop{false};
    std::atomic<bool> hungUp{false};

    Session() {
        readOv.hEvent = readDone.get();
        writeOv.hEvent = writeDone.get();
        waitOv.hEvent = waitDone.get();
    }
    ~Session() { CloseDevice(); }
    DWORD EventError() const {
        for (const Event* e : {&readDone, &writeDone, &waitDone, &wake})
            if (!e->get()) return e->error();
        return 0;
    }
    void CloseDevice() {
        if (hComm == INVALID_HANDLE_VALUE) return;
        ::PurgeComm(hComm, kPurgeAll);
        ::CloseHandle(hComm);
        hComm = INVALID_HANDLE_VALUE;
    }
    // Waits for an overlapped operation, or for ClosePort. On the wake-up the
    // operation is cancelled and its end awaited, so that the record is free
    // again; false then, and false when it failed.
    bool Finish(OVERLAPPED& ov, DWORD& count) {
        const HANDLE both[2] = {ov.hEvent, wake.get()};
        const DWORD w = ::WaitForMultipleObjects(2, both, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0) {
            ::CancelIoEx(hComm, &ov);
            ::GetOverlappedResult(hComm, &ov, &count, TRUE);
            return false;
        }
        return ::GetOverlappedResult(hComm, &ov, &count, FALSE) != 0;
    }
    // Clears the error state; false when the device no longer answers.
    bool InputWaiting(DWORD& waiting) {
        DWORD errors = 0;
        COMSTAT status{};
        waiting = 0;
        if (!::ClearCommError(hComm, &errors, &status)) return false;
        waiting = status.cbInQue;
        return true;
    }
};

bool CRadioPort::HasHungUp() const {
    const std::shared_ptr<Session> session = CurrentSession();
    return session && session->hungUp;
}

namespace {

// 8N1 at the radio's rate with no flow control, DTR on and RTS off, as the
// POSIX port sets its line.
void SetLineSettings(DCB& dcb, unsigned baudRate) {
    dcb.BaudRate = baudRate;
    dcb.fBinary = TRUE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

}  // namespace

bool CRadioPort::OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) {
    if (!BeginOpen(name, portId)) return false;
    auto session = std::make_shared<Session>();
    if (const DWORD error = session->EventError()) {
        Fail(Why(name, "cannot create the port's events", error));
        return false;
    }
    session->hComm = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (session->hComm == INVALID_HANDLE_VALUE) {
        Fail(DescribeOpenError(name, ::GetLastError()));
        return false;
    }
    const HANDLE h = session->hComm;
    if (!::SetCommMask(h, kEventMask)) {
        Fail(DescribeOpenError(name, ::GetLastError()));
        return false;
    }
    if (!::SetupComm(h, kDriverQueueSize, kDriverQueueSize) || !::PurgeComm(h, kPurgeAll)) {
        Fail(Why(name, "cannot set up the driver's queues"));
        return false;
    }
    // A read that has begun ends when the burst gap passes without a byte;
    // writes never time out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kBurstGapMs;
    if (!::SetCommTimeouts(h, &timeouts)) {
        Fail(Why(name, "the device refused the time-outs"));
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) {
        Fail(Why(name, "cannot read the line settings"));
        return false;
    }
    SetLineSettings(dcb, baudRate);
    if (!::SetCommState(h, &dcb)) {
        Fail(Why(name, "the device refused the line settings"));
        return false;
    }

    return StartWatcher(session);
}

void CRadioPort::StopWatching(Session& session) {
    {
        std::lock_guard lock(session.waitMutex);
        session.stop = true;
        // An empty mask ends a pending event wait at once.
        if (session.hComm != INVALID_HANDLE_VALUE) ::SetCommMask(session.hComm, 0);
    }
    ::SetEvent(session.wake.get());
}

void CRadioPort::ReleaseDevice(Session& session) { session.CloseDevice(); }

int CRadioPort::WriteComm(const std::uint8_t* bytes, int count) {
    const std::shared_ptr<Session> session = CurrentSession();
    if (!session || session->hComm == INVALID_HANDLE_VALUE || count <= 0) return 0;
    const HANDLE h = session->hComm;
    DWORD written = 0;
    if (::WriteFile(h, bytes, static_cast<DWORD>(count), &written, &session->writeOv))
        return static_cast<int>(written);
    if (::GetLastError() != ERROR_IO_PENDING) {
        DWORD waiting = 0;
        session->InputWaiting(waiting);  // clears the error state
        return 0;
    }
    if (::WaitForSingleObject(session->writeOv.hEvent, kWriteWaitMs) == WAIT_OBJECT_0 &&
        ::GetOverlappedResult(h, &session->writeOv, &written, FALSE))
        return static_cast<int>(written);
    // Errors are not reported upwards; what went out is counted.
    ::CancelIoEx(h, &session->writeOv);
    ::GetOverlappedResult(h, &session->writeOv, &written, TRUE);
    DWORD waiting = 0;
    session->InputWaiting(waiting);
    return static_cast<int>(written);
}

int CRadioPort::ReadComm(Session& session, std::uint8_t* buffer, int maxCount, bool& hungUp) {
    DWORD waiting = 0;
    if (!session.InputWaiting(waiting)) {
        hungUp = true;
        return 0;
    }
    if (waiting == 0) return 0;
    DWORD got = 0;
    // The read collects the whole burst: it ends kBurstGapMs after the last
    // byte (the interval time-out) or when the buffer is full.
    if (::ReadFile(session.hComm, buffer, static_cast<DWORD>(maxCount), &got, &session.readOv))
        return static_cast<int>(got);
    if (::GetLastError() != ERROR_IO_PENDING || !session.Finish(session.readOv, got)) {
        DWORD ignored = 0;
        if (!session.stop && !session.InputWaiting(ignored)) hungUp = true;
    }
    return static_cast<int>(got);
}

void CRadioPort::ThreadWatchComm(std::shared_ptr<Session> session) {
    { std::lock_guard lock(m_watcherMutex); }  // OpenPort has stored m_watcher
    std::uint8_t chunk[kDrainChunk];
    bool hungUp = false;
    int waitFailures = 0;
    bool idle = false;  // the last round found nothing to do: pause before the next
    while (!session->stop && !hungUp) {
        if (idle && ::WaitForSingleObject(session->wake.get(), kPollMs) == WAIT_OBJECT_0) break;
        idle = false;
        bool received = false;
        if (waitFailures < kWaitFailuresBeforePolling) {
            bool waited = false;
            DWORD error = 0, ignored = 0;
            {
                std::lock_guard lock(session->waitMutex);
                if (session->stop) break;
                session->events = 0;
                waited = ::WaitCommEvent(session->hComm, &session->events, &session->waitOv) != 0;
                if (!waited) error = ::GetLastError();
            }
            if (!waited && error == ERROR_IO_PENDING) waited = session->Finish(session->waitOv, ignored);
            if (session->stop) break;
            // A wait that reports nothing counts as a failed one, so that a
            // driver doing that cannot make the watcher spin.
            if (waited && session->events != 0) {
                waitFailures = 0;
                received = (session->events & EV_RXCHAR) != 0;
                if (!received) continue;
            } else if (++waitFailures == kWaitFailuresBeforePolling) {
                Trace("port events unavailable, watching the input count\n");
            }
        }
        if (!received) {
            // No event to go by: bytes waiting count as characters received.
            DWORD waiting = 0;
            if (!session->InputWaiting(waiting)) {
                hungUp = true;
                break;
            }
            idle = waiting == 0;
            if (idle) continue;
        }
        int drained = 0;
        for (;;) {
            const int n = ReadComm(*session, chunk, kDrainChunk, hungUp);
            if (n <= 0 || session->stop) break;
            drained += n;
            if (!StoreChunk(chunk, n) && session->stop) return;
            if (hungUp) break;
        }
        if (session->stop) return;
        Notify();
        // Bytes were waiting but none could be read: not again at once.
        idle = drained == 0 && waitFailures > 0;
    }
    if (hungUp) {
        session->hungUp = true;
        ReportHangUp(session->stop);
    }
}

}  // namespace orvex
