#pragma once
// The ports a user can choose from: every COM number with a device behind
// it, what that device is and who holds it. The CLI prints this list and
// the GUI shows it as a table, so both tell the same story.
#include <string>
#include <vector>

#include "link/DeviceInfo.h"
#include "link/PortMap.h"
#include "link/SerialDevices.h"

namespace orvex {

struct PortEntry {
    int com = 0;
    std::string device;
    DeviceState state = DeviceState::Missing;
    std::vector<DeviceHolder> holders;
    DeviceInfo info;
    bool remembered = false;
};

// "present", "missing" or "in use".
const char* DeviceStateName(DeviceState state);
// "name[pid]", "?" for a name that could not be read.
std::string HolderText(const DeviceHolder& holder);
// "0403:6001"; "" when the device tells neither id.
std::string UsbIdText(const DeviceInfo& info);

// The entries in COM order; rememberedCom (the number the port settings
// file holds) is marked, and kept even where Windows does not have it. root is where
// the system's /dev, /sys and /proc are seen (POSIX; ignored on Windows).
std::vector<PortEntry> ListPorts(const PortMap& map, int rememberedCom, const std::string& root = "/");

}  // namespace orvex
