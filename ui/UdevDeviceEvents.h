#pragma once
// The system's serial device events on Linux: udev's monitor, read when
// its socket has something, on the GUI's event loop.
#include <QObject>
#include <memory>
#include <string>

#include "link/DeviceEvents.h"
#include "settings/Problem.h"

class QSocketNotifier;

namespace orvex {

class UdevDeviceEvents : public QObject, public IDeviceEventSource {
    Q_OBJECT
public:
    explicit UdevDeviceEvents(QObject* parent = nullptr);
    ~UdevDeviceEvents() override;

    // Starts listening. Refused where udev or its netlink socket is not
    // available (a container, a build without libudev); the program then
    // goes on without hot-plug news.
    Outcome<void> Start();
    bool Listening() const { return m_notifier != nullptr; }
    void SetHandler(Handler handler) override { m_handler = std::move(handler); }

private:
    void ReadEvents();
    void Close();

    struct Udev;
    std::unique_ptr<Udev> m_udev;
    QSocketNotifier* m_notifier = nullptr;
    Handler m_handler;
};

}  // namespace orvex
