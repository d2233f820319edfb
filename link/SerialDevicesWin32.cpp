#include <windows.h>

#include <algorithm>
#include <set>

#include "link/PortMap.h"
#include "link/SerialDevices.h"

namespace orvex {
namespace {

// The COM numbers among the system's DOS device names.
std::set<int> KnownComNumbers() {
    std::vector<char> names(64 * 1024);
    for (;;) {
        const DWORD n = ::QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (n != 0) break;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() > 16 * 1024 * 1024) return {};
        names.resize(names.size() * 2);
    }
    std::set<int> found;
    for (const char* p = names.data(); *p; p += std::char_traits<char>::length(p) + 1)
        if (const auto com = ParseComName(p)) found.insert(*com);
    return found;
}

std::string ComDevice(int n) { return std::string(kWin32ComPrefix) + std::to_string(n); }

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
        const auto com = ParseComName(device.substr(kWin32ComPrefix.size() - 3));
        return com && m_snapshot->known.count(*com) ? DeviceState::Present : DeviceState::Missing;
    }
    return ::GetFileAttributesA(device.c_str()) != INVALID_FILE_ATTRIBUTES ? DeviceState::Present
                                                                          : DeviceState::Missing;
}

std::vector<DeviceHolder> DeviceStates::HoldersOf(const std::string&) const { return {}; }

}  // namespace orvex
