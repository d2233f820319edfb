#pragma once
// The system's serial port events on Windows, handed to the view on the
// GUI's event loop.
#include <QObject>
#include <memory>
#include <string>

#include "link/DeviceEvents.h"
#include "settings/Problem.h"

namespace orvex {

class Win32PortNotifier;

class Win32DeviceEvents : public QObject, public IDeviceEventSource {
    Q_OBJECT
public:
    explicit Win32DeviceEvents(QObject* parent = nullptr);
    ~Win32DeviceEvents() override;

    // Starts listening. Refused where the window for the system's news
    // cannot be made; the program then goes on without hot-plug news.
    Outcome<void> Start();
    bool Listening() const;
    void SetHandler(Handler handler) override { m_handler = std::move(handler); }

private:
    std::unique_ptr<Win32PortNotifier> m_notifier;
    Handler m_handler;
};

}  // namespace orvex
