#pragma once
// What the operating system says about its serial devices. The COM numbers
// of the application mean devices through PortMap; this is where their
// names and states come from on each platform.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// Windows opens COM n by this name followed by n; the prefix lets port
// numbers above 9 open.
inline constexpr std::string_view kWin32ComPrefix = "\\\\.\\COM";

// The devices present now that COM numbers are handed out to, in COM order;
// none where the platform fixes the numbers (Windows).
std::vector<std::string> NumberedSerialDevices();

#ifndef _WIN32
// The serial devices under devRoot, in COM order: USB-serial adapters and
// USB modems (the cables) before on-board ports, each family in the order
// of its numbers. NumberedSerialDevices() is this scan of "/dev".
std::vector<std::string> ScanSerialDevices(const std::string& devRoot);
#endif

// The device COM n stands for when no override names one, where the
// platform fixes it (Windows: "\\.\COMn"); "" where the numbers are handed
// out to the present devices in order (Linux).
std::string FixedComDevice(int comNumber);

enum class DeviceState { Missing, Present, InUse };

// A program that holds a device open.
struct DeviceHolder {
    long pid = 0;
    std::string name;  // "" when the process ended before its name was read
    bool operator==(const DeviceHolder&) const = default;
};

// A snapshot of which devices exist and which some program holds open, as
// far as the platform lets us see without opening them.
class DeviceStates {
public:
    DeviceStates();
#ifndef _WIN32
    // The snapshot of a system whose /proc is under root; device names are
    // taken inside root too. DeviceStates() is DeviceStates("/").
    explicit DeviceStates(const std::string& root);
#endif
    ~DeviceStates();
    DeviceState Of(const std::string& device) const;
    // Who holds the device open, in pid order; none where the platform
    // does not tell (Windows).
    std::vector<DeviceHolder> HoldersOf(const std::string& device) const;

private:
    struct Snapshot;
    std::unique_ptr<Snapshot> m_snapshot;
};

}  // namespace orvex
