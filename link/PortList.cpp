#include "link/PortList.h"

namespace orvex {

const char* DeviceStateName(DeviceState state) {
    return state == DeviceState::Missing ? "missing" : state == DeviceState::InUse ? "in use" : "present";
}

std::string HolderText(const DeviceHolder& h) {
    return (h.name.empty() ? std::string("?") : h.name) + "[" + std::to_string(h.pid) + "]";
}

std::string UsbIdText(const DeviceInfo& info) {
    if (info.vendorId.empty() && info.productId.empty()) return {};
    return (info.vendorId.empty() ? "????" : info.vendorId) + ":" + (info.productId.empty() ? "????" : info.productId);
}

std::vector<PortEntry> ListPorts(const PortMap& map, int rememberedCom, const std::string& root) {
#ifdef _WIN32
    (void)root;
    const DeviceStates states;
    const auto info = [](const std::string& device) { return ReadDeviceInfo(device); };
#else
    const DeviceStates states(root);
    const auto info = [&root](const std::string& device) { return ReadDeviceInfo(device, root); };
#endif
    std::vector<PortEntry> entries;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        PortEntry e;
        e.com = n;
        e.device = map.DeviceFor(n);
        if (e.device.empty()) continue;
        e.state = states.Of(e.device);
        e.remembered = n == rememberedCom;
        // Where every number has a fixed device (Windows), the absent ones
        // would only fill the list.
        if (e.state == DeviceState::Missing && e.device == FixedComDevice(n) && !e.remembered) continue;
        // A device unplugged since the snapshot shows as in use by nobody
        // or with no details: each part is read once and stands alone.
        e.holders = states.HoldersOf(e.device);
        if (e.state != DeviceState::Missing) e.info = info(e.device);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace orvex
