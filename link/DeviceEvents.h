#pragma once
// Serial devices coming and going while the program runs, as the system
// reports them. The GUI listens to the real source; tests feed their own.
#include <functional>
#include <string>

namespace orvex {

struct DeviceEvent {
    enum class Kind { Added, Removed };
    Kind kind = Kind::Added;
    std::string device;  // the device node, e.g. /dev/ttyUSB0, or \\.\COM3 on Windows
};

// The status line's news of an event for COM number com: "COM1: FT232R USB
// UART (ttyUSB0) connected", "COM1: ttyUSB0 disconnected"; where the device
// is named by its COM number itself (Windows), "COM3: USB-SERIAL CH340
// connected" and "COM3 disconnected". product is "" when the device tells
// none.
std::string DeviceEventNews(const DeviceEvent& event, int com, const std::string& product);

class IDeviceEventSource {
public:
    using Handler = std::function<void(const DeviceEvent&)>;
    virtual ~IDeviceEventSource() = default;
    // Replaces the handler; null stops the deliveries. Events arrive on the
    // thread of the program's event loop.
    virtual void SetHandler(Handler handler) = 0;
};

}  // namespace orvex
