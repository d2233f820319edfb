#include <windows.h>

#include <set>

#include "link/PortMap.h"
#include "link/SerialDevices.h"
#include "link/WindowsPorts.h"

namespace orvex {
namespace {

std::string ComDevice(int n) { return std::string(kWin32ComPrefix) + std::to_string(n); }

// The ports that can be opened now, and those of cables plugged in whose
// driver failed: the user must see those too, to choose and check them.
std::set<int> KnownComNumbers() {
    std::set<int> known = DosComNumbers();
    for (const WindowsPortNode& node : ReadWindowsDeviceTree())
        if (const auto com = ParseComName(node.portName)) known.insert(*com);
    return known;
}

}  // namespace

std::vector<std::string> NumberedSerialDevices() { return {}; }

std::string FixedComDevice(int comNumber) { return ComDevice(comNumber); }

// Whether a port is in use shows only by opening it, which could disturb
// the program using it; only presence is reported.
struct DeviceStates::Snapshot {
    std::set<int> known;
};

DeviceStates::DeviceStates() : m_snapshot(std::make_unique<Snapshot>(Snapshot{KnownComNumbers()})) {}

DeviceStates::~DeviceStates() = default;

DeviceState DeviceStates::Of(const std::string& device) const {
    if (device.rfind(kWin32ComPrefix, 0) == 0) {
        const auto com = ComNumberOfDevice(device);
        return com && m_snapshot->known.count(*com) ? DeviceState::Present : DeviceState::Missing;
    }
    return ::GetFileAttributesA(device.c_str()) != INVALID_FILE_ATTRIBUTES ? DeviceState::Present
                                                                          : DeviceState::Missing;
}

std::vector<DeviceHolder> DeviceStates::HoldersOf(const std::string&) const { return {}; }

}  // namespace orvex
