#include "link/PortNotifierWin32.h"

#include <windows.h>
#include <dbt.h>

#include "files/SystemError.h"
#include "link/SerialDevices.h"
#include "link/WindowsPorts.h"

namespace orvex {
namespace {

constexpr const wchar_t* kWindowClass = L"OrvexPortNotifier";

// GUID_DEVINTERFACE_COMPORT, whose header is the driver kit's.
constexpr GUID kComPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

}  // namespace

struct Win32PortNotifier::Impl {
    Handler handler;
    std::function<std::set<int>()> comNumbers;
    PortPresenceTracker tracker;
    HWND window = nullptr;
    HDEVNOTIFY interfaces = nullptr;

    void Tell(bool added, int com) {
        if (handler)
            handler(DeviceEvent{added ? DeviceEvent::Kind::Added : DeviceEvent::Kind::Removed,
                                std::string(kWin32ComPrefix) + std::to_string(com)});
    }

    void OnDeviceChange(WPARAM what, LPARAM data) {
        if (what != DBT_DEVICEARRIVAL && what != DBT_DEVICEREMOVECOMPLETE) return;
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
        if (!header) return;
        const bool added = what == DBT_DEVICEARRIVAL;
        if (header->dbch_devicetype == DBT_DEVTYP_PORT) {
            const auto* port = reinterpret_cast<const DEV_BROADCAST_PORT_W*>(header);
            // A port's name is ASCII: "COM3" (printer ports are no news).
            std::string name;
            for (const wchar_t* c = port->dbcp_name; *c; ++c) name += *c < 0x80 ? static_cast<char>(*c) : '?';
            const auto com = ComNumberOfDevice(name);
            if (com && tracker.Named(added, *com)) Tell(added, *com);
        } else if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            const PortPresenceTracker::Changes changes = tracker.Rescanned(comNumbers());
            for (const int com : changes.removed) Tell(false, com);
            for (const int com : changes.added) Tell(true, com);
        }
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
            ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        } else if (message == WM_DEVICECHANGE) {
            if (auto* self = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA)))
                self->OnDeviceChange(w, l);
            return TRUE;
        }
        return ::DefWindowProcW(window, message, w, l);
    }
};

Win32PortNotifier::Win32PortNotifier(Handler handler, std::function<std::set<int>()> comNumbers)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->handler = std::move(handler);
    m_impl->comNumbers = comNumbers ? std::move(comNumbers) : std::function<std::set<int>()>(DosComNumbers);
}

Win32PortNotifier::~Win32PortNotifier() {
    if (m_impl->interfaces) ::UnregisterDeviceNotification(m_impl->interfaces);
    if (m_impl->window) ::DestroyWindow(m_impl->window);
}

Outcome<void> Win32PortNotifier::Start() {
    if (m_impl->window) return {};
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW cls{};
    cls.cbSize = sizeof cls;
    cls.lpfnWndProc = &Impl::Procedure;
    cls.hInstance = instance;
    cls.lpszClassName = kWindowClass;
    // A second notifier of the process finds the class made already.
    if (!::RegisterClassExW(&cls) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return Problem{.what = "cannot register the device news window",
                       .why = SystemErrorText(static_cast<int>(::GetLastError()))};
    m_impl->tracker = PortPresenceTracker(m_impl->comNumbers());
    // Top-level and never shown: the ports' news goes to top-level windows.
    // Where there is no desktop to make one on (Wine without a display), a
    // message-only window still hears the interfaces' news.
    for (const HWND parent : {HWND(nullptr), HWND_MESSAGE}) {
        m_impl->window = ::CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, parent, nullptr, instance,
                                           m_impl.get());
        if (m_impl->window) break;
    }
    if (!m_impl->window)
        return Problem{.what = "cannot make the device news window",
                       .why = SystemErrorText(static_cast<int>(::GetLastError()))};
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    // Without it the ports' own news still comes.
    m_impl->interfaces = ::RegisterDeviceNotificationW(m_impl->window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return {};
}

bool Win32PortNotifier::Listening() const { return m_impl->window != nullptr; }

void* Win32PortNotifier::Window() const { return m_impl->window; }

}  // namespace orvex
