#include "link/DeviceInfo.h"
#include "link/WindowsPorts.h"

namespace orvex {

DeviceInfo ReadDeviceInfo(const std::string& device, const std::string&) {
    const std::vector<WindowsPortNode> nodes = ReadWindowsDeviceTree();
    const WindowsPortNode* node = FindPortNode(nodes, device);
    return node ? DeviceInfoOf(*node) : DeviceInfo{};
}

}  // namespace orvex
