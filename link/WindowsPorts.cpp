#include "link/WindowsPorts.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "link/PortMap.h"
#include "link/SerialDevices.h"

namespace orvex {
namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The four hex digits after key ("VID_") where key starts a part of the id
// (after its start, '\\', '&' or '+'), lower-cased; "" when none.
std::string HexAfter(std::string_view id, std::string_view key) {
    for (std::size_t at = 0; at + key.size() + 4 <= id.size(); ++at) {
        if (at > 0 && id[at - 1] != '\\' && id[at - 1] != '&' && id[at - 1] != '+') continue;
        if (!std::equal(key.begin(), key.end(), id.begin() + static_cast<long>(at),
                        [](char k, char c) { return Lower(k) == Lower(c); }))
            continue;
        const std::string_view digits = id.substr(at + key.size(), 4);
        const std::size_t end = at + key.size() + 4;
        // "VID_12345" is no four-digit id.
        if (!std::all_of(digits.begin(), digits.end(), IsHex) || (end < id.size() && IsHex(id[end]))) return {};
        std::string out(digits);
        for (char& c : out) c = Lower(c);
        return out;
    }
    return {};
}

// The makers of the usual programming cables' chips: FTDI, WCH (CH340),
// Prolific and Silicon Labs.
constexpr std::string_view kAdapterVendors[] = {"0403", "1a86", "067b", "10c4"};

}  // namespace

std::optional<UsbIds> ParseUsbIds(std::string_view id) {
    UsbIds ids{HexAfter(id, "VID_"), HexAfter(id, "PID_")};
    if (ids.vendorId.empty() || ids.productId.empty()) return std::nullopt;
    return ids;
}

std::optional<UsbIds> UsbIdsOf(const WindowsPortNode& node) {
    for (const std::string& id : node.hardwareIds)
        if (auto ids = ParseUsbIds(id)) return ids;
    return std::nullopt;
}

std::string ProductName(const WindowsPortNode& node) {
    std::string name = PrintableDeviceString(node.friendlyName.empty() ? node.description : node.friendlyName);
    // The port behind the name may be an older one than the port's own
    // name: any "(COMn)" at the end goes.
    const std::size_t open = name.rfind(" (");
    if (open != std::string::npos && name.back() == ')' &&
        ParseComName(name.substr(open + 2, name.size() - open - 3)))
        name.erase(open);
    return name;
}

bool IsFailedSerialAdapter(const WindowsPortNode& node) {
    if (!node.hasProblem) return false;
    const auto ids = UsbIdsOf(node);
    return ids && std::find(std::begin(kAdapterVendors), std::end(kAdapterVendors), ids->vendorId) !=
                      std::end(kAdapterVendors);
}

std::string UsbIdPhrase(const WindowsPortNode& node) {
    const auto ids = UsbIdsOf(node);
    return ids ? "USB ID " + ids->vendorId + ":" + ids->productId : std::string();
}

std::string ProblemText(const WindowsPortNode& node) {
    if (!node.hasProblem) return {};
    const std::string code = " (code " + std::to_string(node.problemCode) + ")";
    if (node.problemCode == kProblemFailedStart) return "driver did not start it" + code;
    if (node.problemCode == kProblemFailedInstall) return "no driver installed" + code;
    return "not working" + code;
}

DeviceInfo DeviceInfoOf(const WindowsPortNode& node) {
    DeviceInfo info;
    if (const auto ids = UsbIdsOf(node)) {
        info.vendorId = ids->vendorId;
        info.productId = ids->productId;
    }
    info.product = ProductName(node);
    info.manufacturer = PrintableDeviceString(node.manufacturer);
    info.driver = PrintableDeviceString(node.service);
    info.problem = ProblemText(node);
    return info;
}

std::optional<int> ComNumberOfDevice(const std::string& device) {
    if (device.rfind(kWin32ComPrefix, 0) == 0) return ParseComName(device.substr(kWin32ComPrefix.size() - 3));
    return ParseComName(device);
}

const WindowsPortNode* FindPortNode(const std::vector<WindowsPortNode>& nodes, const std::string& device) {
    const auto com = ComNumberOfDevice(device);
    if (!com) return nullptr;
    for (const WindowsPortNode& node : nodes)
        if (ParseComName(node.portName) == com) return &node;
    return nullptr;
}

bool PortPresenceTracker::Named(bool added, int com) {
    return added ? m_present.insert(com).second : m_present.erase(com) > 0;
}

PortPresenceTracker::Changes PortPresenceTracker::Rescanned(const std::set<int>& present) {
    Changes changes;
    std::set_difference(present.begin(), present.end(), m_present.begin(), m_present.end(),
                        std::back_inserter(changes.added));
    std::set_difference(m_present.begin(), m_present.end(), present.begin(), present.end(),
                        std::back_inserter(changes.removed));
    m_present = present;
    return changes;
}

}  // namespace orvex
