#include "link/DeviceEvents.h"

#include "link/PortMap.h"

namespace orvex {

std::string DeviceEventNews(const DeviceEvent& event, int com, const std::string& product) {
    // The device's last name part: "ttyUSB0" of /dev/ttyUSB0, "COM3" of \\.\COM3.
    const std::string name = event.device.substr(event.device.find_last_of("/\\") + 1);
    const std::string port = "COM" + std::to_string(com);
    const bool namedByPort = ParseComName(name) == com;
    const bool added = event.kind == DeviceEvent::Kind::Added;
    std::string what = added && !product.empty() ? product : namedByPort ? std::string() : name;
    if (added && !product.empty() && !namedByPort) what += " (" + name + ")";
    const std::string verb = added ? "connected" : "disconnected";
    return what.empty() ? port + " " + verb : port + ": " + what + " " + verb;
}

}  // namespace orvex
