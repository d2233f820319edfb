#pragma once
// Serial ports coming and going on Windows. A hidden top-level window of
// our own hears WM_DEVICECHANGE: the news of a port by its name, which the
// system sends every top-level window, and the news of a serial device
// interface, which it sends to those that asked, after which the DOS names
// tell what changed (a message-only window, made where no top-level one
// can be, hears only these). A change told both ways is handed on once.
// Windows only.
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "link/DeviceEvents.h"
#include "settings/Problem.h"

namespace orvex {

class Win32PortNotifier {
public:
    using Handler = std::function<void(const DeviceEvent&)>;
    // comNumbers: the COM numbers present now; null means DosComNumbers().
    explicit Win32PortNotifier(Handler handler, std::function<std::set<int>()> comNumbers = nullptr);
    ~Win32PortNotifier();
    Win32PortNotifier(const Win32PortNotifier&) = delete;
    Win32PortNotifier& operator=(const Win32PortNotifier&) = delete;

    // Makes the window, on the thread whose messages are dispatched (the
    // GUI's); the handler is then called on that thread. Refused when the
    // window could not be made.
    Outcome<void> Start();
    bool Listening() const;
    // The window the news goes to (an HWND), for tests that send it some.
    void* Window() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace orvex
