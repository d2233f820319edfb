#include "ui/Win32DeviceEvents.h"

#include "link/PortNotifierWin32.h"

namespace orvex {

Win32DeviceEvents::Win32DeviceEvents(QObject* parent) : QObject(parent) {}

Win32DeviceEvents::~Win32DeviceEvents() = default;

Outcome<void> Win32DeviceEvents::Start() {
    // The system's news arrives inside a message it sends and waits on: it
    // is handed on later, from the event loop, and not to a handler gone.
    m_notifier = std::make_unique<Win32PortNotifier>([this](const DeviceEvent& event) {
        QMetaObject::invokeMethod(
            this, [this, event] { if (m_handler) m_handler(event); }, Qt::QueuedConnection);
    });
    const Outcome<void> started = m_notifier->Start();
    if (!started) m_notifier.reset();
    return started;
}

bool Win32DeviceEvents::Listening() const { return m_notifier && m_notifier->Listening(); }

}  // namespace orvex
