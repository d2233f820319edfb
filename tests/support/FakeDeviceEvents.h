#pragma once
// Devices coming and going as a test says, in place of the system's news.
#include <string>
#include <utility>

#include "link/DeviceEvents.h"

namespace orvex::test {

class FakeDeviceEvents : public IDeviceEventSource {
public:
    void SetHandler(Handler handler) override { m_handler = std::move(handler); }
    bool Connected() const { return static_cast<bool>(m_handler); }
    void Send(DeviceEvent::Kind kind, const std::string& device) {
        if (m_handler) m_handler(DeviceEvent{kind, device});
    }

private:
    Handler m_handler;
};

}  // namespace orvex::test
