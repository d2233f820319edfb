#pragma once
// Serial devices coming and going while the program runs, as the system
// reports them. The GUI listens to the real source; tests feed their own.
#include <functional>
#include <string>

namespace orvex {

struct DeviceEvent {
    enum class Kind { Added, Removed };
    Kind kind = Kind::Added;
    std::string device;  // the device node, e.g. /dev/ttyUSB0
};

class IDeviceEventSource {
public:
    using Handler = std::function<void(const DeviceEvent&)>;
    virtual ~IDeviceEventSource() = default;
    // Replaces the handler; null stops the deliveries. Events arrive on the
    // thread of the program's event loop.
    virtual void SetHandler(Handler handler) = 0;
};

}  // namespace orvex
