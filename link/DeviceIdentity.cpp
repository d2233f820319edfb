#include "link/DeviceIdentity.h"

#include "link/DeviceInfo.h"
#include "link/PortSettingsFile.h"

namespace orvex {

std::string StableIdentity(const std::string& device, const std::string& root) {
    if (device.empty()) return {};
    const DeviceInfo info = ReadDeviceInfo(device, root);
    if (!info.byId.empty()) return std::string(kIdentityDevice) + info.byId;
    if (!info.serial.empty()) return std::string(kIdentitySerial) + info.serial;
    return {};
}

bool HasIdentity(const std::string& device, const std::string& identity, const std::string& root) {
    const std::string own = StableIdentity(device, root);
    if (own.empty() || identity.empty()) return false;
    if (own == identity) return true;
    // A device with a by-id name may have been remembered by its serial.
    if (identity.compare(0, kIdentitySerial.size(), kIdentitySerial) == 0)
        return ReadDeviceInfo(device, root).serial == identity.substr(kIdentitySerial.size());
    return false;
}

}  // namespace orvex
