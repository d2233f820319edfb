#include "ui/Win32DeviceEvents.h"

#include "link/PortNotifierWin32.h"

namespace orvex {

Win32DeviceEvents::Win32DeviceEvents(QObject* parent) : QObject(parent) {}

Win32DeviceEvents::~Win32DeviceEvents() = default;

bool Win32DeviceEvents::Start(std::string* error) {
    // The system's news arrives inside a message it sends and waits on: it
    // is handed on later, from the event loop, and not to a handler gone.
    m_notifier = std::make_unique<Win32PortNotifier>([this](const DeviceEvent& event) {
        QMetaObject::invokeMethod(
            this, [this, event] { if (m_handler) m_handler(event); }, Qt::QueuedConnection);
    });
    if (m_notifier->Start(error)) return true;
    m_notifier.reset();
    return false;
}

bool Win32DeviceEvents::Listening() const { return m_notifier && m_notifier->Listening(); }

}  // namespace orvex
