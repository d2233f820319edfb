#pragma once
// Serial ports as the Windows device tree describes them: the port name,
// the name Device Manager shows, the hardware ids that carry the USB ids,
// the driver and whether the device works. Reading the tree is Windows
// code; everything made of what it read is plain code, run everywhere.
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/DeviceInfo.h"

namespace orvex {

// Device problem codes of the configuration manager that a cable meets.
inline constexpr unsigned long kProblemFailedStart = 10;    // the driver refused to start the device
inline constexpr unsigned long kProblemFailedInstall = 28;  // no driver is installed for it

struct WindowsPortNode {
    std::string portName;       // "COM3"; "" for an adapter Windows gave no port
    std::string friendlyName;   // "USB-SERIAL CH340 (COM3)"
    std::string description;    // "USB-SERIAL CH340"
    std::vector<std::string> hardwareIds;  // "USB\\VID_1A86&PID_7523&REV_0254", ...
    std::string manufacturer;   // "wch.cn"
    std::string service;        // the driver: "CH341SER_A64", "usbser", "FTSER2K"
    bool hasProblem = false;
    unsigned long problemCode = 0;  // meaningful with hasProblem
};

struct UsbIds {
    std::string vendorId;   // four lower-case hex digits
    std::string productId;
    bool operator==(const UsbIds&) const = default;
};

// The USB ids in a hardware or instance id: "USB\\VID_1A86&PID_7523&REV_0254",
// "FTDIBUS\\COMPORT&VID_0403&PID_6001", "FTDIBUS\\VID_0403+PID_6001+A5XK3RJTA\\0000".
std::optional<UsbIds> ParseUsbIds(std::string_view id);
// The first of the ids that carries USB ids.
std::optional<UsbIds> UsbIdsOf(const WindowsPortNode& node);

// Device Manager's name without the " (COM3)" Windows puts behind it; the
// description where there is no friendly name.
std::string ProductName(const WindowsPortNode& node);

// A USB device of a serial adapters' maker that Windows could not set up.
// It has no port at all then, so the ports alone would never show it.
bool IsFailedSerialAdapter(const WindowsPortNode& node);

// "USB ID 1a86:7523"; "" without USB ids.
std::string UsbIdPhrase(const WindowsPortNode& node);

// What is wrong with the device, for the port list: "driver did not start
// it (code 10)"; "" when nothing is.
std::string ProblemText(const WindowsPortNode& node);

DeviceInfo DeviceInfoOf(const WindowsPortNode& node);

// The node of a port named "\\.\COM3" or "COM3"; null when there is none.
const WindowsPortNode* FindPortNode(const std::vector<WindowsPortNode>& nodes, const std::string& device);

// The COM number of "\\.\COM3" or "COM3"; nullopt for any other name.
std::optional<int> ComNumberOfDevice(const std::string& device);

// Turns what Windows tells about ports coming and going into one event per
// change: a port's own arrival news and a rescan after a device interface
// changed may tell of the same port.
class PortPresenceTracker {
public:
    explicit PortPresenceTracker(std::set<int> present = {}) : m_present(std::move(present)) {}
    // A port named in the system's news; false when that was known already.
    bool Named(bool added, int com);
    // The ports present now: the numbers that came and went since.
    struct Changes {
        std::vector<int> added, removed;
    };
    Changes Rescanned(const std::set<int>& present);

private:
    std::set<int> m_present;
};

// What the connection check asks Windows; tests put their own in.
struct WindowsPortSystem {
    std::function<std::vector<WindowsPortNode>()> deviceTree;
    std::function<std::set<int>()> dosComNumbers;
    // Opens the device alone and closes it again at once: 0 when it opened,
    // else the system's error code (GetLastError) and its text.
    std::function<unsigned long(const std::string& device, std::string* text)> tryOpen;
};

#ifdef _WIN32
WindowsPortSystem ThisWindowsSystem();

// The serial ports present in the device tree, and the failed adapters of
// serial adapters' makers (IsFailedSerialAdapter).
std::vector<WindowsPortNode> ReadWindowsDeviceTree();
// The COM numbers among the system's DOS device names: the ports that can
// be opened now, whichever driver made them.
std::set<int> DosComNumbers();
#endif

}  // namespace orvex
